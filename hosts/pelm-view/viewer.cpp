// The viewer's entry points with the host's side of each argument list filled in.
#include "viewer.h"

namespace {

INT32 ReportProgress(UINT32 done, UINT32 total, void* userData) {
    const auto* progress = static_cast<const Viewer::Progress*>(userData);
    if (*progress) (*progress)(done, total);
    return 0;
}

}  // namespace

Viewer::Viewer(const ModuleInfo& module)
    : module_(module), viewer_(module.createInstance(nullptr)) {}

Viewer::~Viewer() {
    // Stops the worker before it returns, so no callback of ours runs for this viewer after.
    if (viewer_) module_.destroyInstance(viewer_);
}

bool Viewer::LoadFile(const std::u16string& path, Progress progress) {
    // The file path: memorySize 0, and the integer behind memoryResult is left alone.
    INT32 unusedResult = 0;
    return module_.loadImageSource(viewer_, path.c_str(), nullptr, 0, &unusedResult, 0, 0,
                                   ReportProgress, &progress) == 0;
}

bool Viewer::LoadMemory(const unsigned char* data, size_t size, Progress progress) {
    // The module keeps its own copy of the bytes.
    INT32 memoryResult = 0;
    return module_.loadImageSource(viewer_, nullptr, data, size, &memoryResult, 0, 0,
                                   ReportProgress, &progress) == 0;
}

bool Viewer::Attach(HWND window) {
    return module_.attachWindow(viewer_, window) == 0;
}

INT32 Viewer::Send(UINT32 message, WPARAM wParam, LPARAM lParam) {
    return module_.handleMessage(viewer_, message, wParam, lParam);
}

INT32 Viewer::Render(const RECT& source, const RECT& dest, BYTE interpolation) {
    return module_.render(viewer_, 0, &source, &dest, interpolation);
}

DisplayedSize Viewer::Size() {
    UINT32 size[2] = {0, 0};
    Send(VM_GETSIZE, reinterpret_cast<WPARAM>(size));
    return {static_cast<int>(size[0]), static_cast<int>(size[1])};
}

INT32 Viewer::DurationMs() {
    INT32 ms = 0;
    Send(VM_GETDURATION, reinterpret_cast<WPARAM>(&ms));
    return ms;
}

INT32 Viewer::PositionMs() {
    INT32 ms = 0;
    Send(VM_GETPOSITION, reinterpret_cast<WPARAM>(&ms));
    return ms;
}

void Viewer::SetBackground(uint32_t rgb) {
    const uint32_t bgr = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    Send(VM_SETBKCOLOR, bgr);
}
