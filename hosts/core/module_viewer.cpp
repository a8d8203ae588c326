#include "hosts/core/module_viewer.h"

#include <algorithm>
#include <string>

#include "module/viewer_messages.h"
#include "module/module_info.h"

namespace {

LPARAM PackWords(int low, int high) {
    const auto word = [](int v) { return static_cast<LPARAM>(std::clamp(v, 0, 0xFFFF)); };
    return word(low) | (word(high) << 16);
}

RECT ToRect(const PixelRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

}  // namespace

ModuleViewer::ModuleViewer(std::shared_ptr<const HostModule> module)
    : module_(std::move(module)), viewer_(module_->record().createInstance(nullptr)) {}

ModuleViewer::~ModuleViewer() {
    // Stops the worker before it returns, so no callback of the host's runs for it after.
    if (viewer_) module_->record().destroyInstance(viewer_);
}

int32_t ModuleViewer::ReportProgress(uint32_t done, uint32_t total, void* userData) {
    auto* self = static_cast<ModuleViewer*>(userData);
    self->frameCount_ = total;
    if (self->progress_ && *self->progress_) (*self->progress_)(done, total);
    return 0;
}

bool ModuleViewer::Load(const char16_t* path, const unsigned char* data, size_t size,
                        const Progress& progress) {
    if (!viewer_) return false;
    frameCount_ = 0;
    progress_ = &progress;
    // With the file source the integer behind memoryResult is left alone; with memory the
    // module writes 0 to it and keeps its own copy of the bytes.
    INT32 memoryResult = 0;
    const INT32 result =
        module_->record().loadImageSource(viewer_, reinterpret_cast<LPCWSTR>(path), data, size,
                                          &memoryResult, 0, 0, ReportProgress, this);
    progress_ = nullptr;
    return result == 0;
}

bool ModuleViewer::LoadFile(const std::filesystem::path& path, const Progress& progress) {
    // UTF-16 on both platforms: the path's native form on Windows, converted on Linux.
    const std::u16string wide = path.u16string();
    return Load(wide.c_str(), nullptr, 0, progress);
}

bool ModuleViewer::LoadMemory(const unsigned char* data, size_t size, const Progress& progress) {
    if (size == 0) return false;  // 0 would select the file source
    return Load(nullptr, data, size, progress);
}

bool ModuleViewer::Attach(void* window) {
    return viewer_ && module_->record().attachWindow(viewer_, static_cast<HWND>(window)) == 0;
}

int ModuleViewer::Render(const PixelRect& source, const PixelRect& dest,
                         Interpolation interpolation) {
    const RECT s = ToRect(source), d = ToRect(dest);
    return module_->record().render(viewer_, 0, &s, &d, static_cast<BYTE>(interpolation));
}

int ModuleViewer::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return module_->record().handleMessage(viewer_, message, static_cast<WPARAM>(wParam),
                                           static_cast<LPARAM>(lParam));
}

int ModuleViewer::Key(unsigned virtualKey) {
    return Send(WM_KEYDOWN, virtualKey);
}

void ModuleViewer::RightButtonDown(int x, int y) {
    Send(WM_RBUTTONDOWN, 0, PackWords(x, y));
}

void ModuleViewer::Resized(int width, int height) {
    Send(WM_SIZE, 0, PackWords(width, height));
}

void ModuleViewer::Play() {
    Send(VM_PLAY);
}

void ModuleViewer::Stop() {
    Send(VM_STOP);
}

int ModuleViewer::Rotate(int degrees) {
    return Send(VM_ROTATE, static_cast<uintptr_t>(static_cast<intptr_t>(degrees)));
}

void ModuleViewer::SetBackground(uint32_t rgb) {
    const uint32_t bgr = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    Send(VM_SETBKCOLOR, bgr);
}

PictureSize ModuleViewer::DisplayedSize() {
    UINT32 size[2] = {0, 0};
    Send(VM_GETSIZE, reinterpret_cast<uintptr_t>(size));
    return {static_cast<int>(size[0]), static_cast<int>(size[1])};
}

int ModuleViewer::DurationMs() {
    INT32 ms = 0;
    Send(VM_GETDURATION, reinterpret_cast<uintptr_t>(&ms));
    return ms;
}

int ModuleViewer::PositionMs() {
    INT32 ms = 0;
    Send(VM_GETPOSITION, reinterpret_cast<uintptr_t>(&ms));
    return ms;
}
