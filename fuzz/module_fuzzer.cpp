// The whole module on the fuzzing thread, as a host drives it: a viewer created, the input
// loaded from memory, attached to a window, every frame composed in the playback worker's
// order (without the worker: the thread would make runs irreproducible), painted at two
// rotations and with rectangles from the ends of their range, asked the host's questions and
// given the keys and menu choices that need no worker, resized, loaded again, then
// destroyed. Every step runs whatever the load answered, as a careless host may go on.
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <vector>

#include "host/context_menu.h"
#include "module/viewer_messages.h"
#include "fuzz/live_objects_check.h"
#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "tests/support/test_window.h"
#include "fuzz/work_budget.h"

using Microsoft::WRL::ComPtr;

namespace {

INT32 CountProgress(UINT32 /*done*/, UINT32 /*total*/, void* userData) {
    ++*static_cast<unsigned*>(userData);
    return 0;
}

// FNV-1a: the window's size and the host colour vary with the input, reproducibly.
uint32_t Hash(const uint8_t* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

uint64_t FramePixels(TavorenGif* viewer, UINT index) {
    if (!viewer->decoder) return 0;
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(viewer->decoder->GetFrame(index, frame.GetAddressOf())) ||
        FAILED(frame->GetSize(&width, &height))) {
        return 0;
    }
    return uint64_t{width} * height;
}

// A point or a size as a window message carries it: x or width low, y or height high.
LPARAM Halves(int low, int high) {
    return static_cast<LPARAM>((static_cast<UINT32>(high) & 0xFFFF) << 16 |
                               (static_cast<UINT32>(low) & 0xFFFF));
}

uint64_t CanvasPixels(TavorenGif* viewer) {
    return uint64_t{viewer->width} * viewer->height;
}

// The worker's pass, through its own step: frame 0 to the last, then frame 0 again as it
// wraps, ending where the worker would end.
void ComposeFrames(TavorenGif* viewer, PixelBudget& budget) {
    const UINT count = viewer->frameCount;
    const UINT steps = count > 1 ? count + 1 : count;
    for (UINT step = 0; step < steps && step < kMaxFramesPerInput; ++step) {
        const UINT index = step % count;
        // The frame's own pixels, and the canvas: cleared or drawn on, saved for a
        // restore-to-previous and copied back.
        if (!budget.Take(FramePixels(viewer, index) + 2 * CanvasPixels(viewer))) return;
        viewer->currentFrame = index;
        if (!viewer->ComposeNextFrame()) return;
    }
}

// The whole displayed picture into the whole window; a still frame is decoded at each paint.
void Paint(TavorenGif* viewer, const TestWindow& window, int width, int height, PixelBudget& budget,
           BYTE interpolation) {
    if (viewer->frameCount == 1 &&
        !budget.Take(FramePixels(viewer, viewer->currentFrame) + CanvasPixels(viewer))) {
        return;
    }
    const bool turned = viewer->rotation == 90 || viewer->rotation == 270;
    const LONG w = static_cast<LONG>(turned ? viewer->height : viewer->width);
    const LONG h = static_cast<LONG>(turned ? viewer->width : viewer->height);
    const RECT source{0, 0, w, h};
    const RECT destination{0, 0, width, height};
    Render(viewer, 0, &source, &destination, interpolation);
    (void)window.Capture();
}

// Rectangles a careless host may pass: edges from the ends of the range, reversed or empty
// ones, and none at all; and any interpolation byte.
void PaintCarelessly(TavorenGif* viewer, uint32_t bits, PixelBudget& budget) {
    static const LONG kEdges[] = {INT32_MIN, -65536, -1, 0, 1, 7, 65535, INT32_MAX};
    auto edge = [&](int shift) { return kEdges[(bits >> shift) & 7]; };
    const RECT source{edge(0), edge(3), edge(6), edge(9)};
    const RECT destination{edge(12), edge(15), edge(18), edge(21)};
    for (int paint = 0; paint < 3; ++paint) {
        if (viewer->frameCount == 1 &&
            !budget.Take(FramePixels(viewer, viewer->currentFrame) + CanvasPixels(viewer))) {
            return;
        }
        Render(viewer, 0, paint == 1 ? nullptr : &source, paint == 2 ? nullptr : &destination,
               static_cast<BYTE>(bits >> 24));
    }
}

// A right click whose menu chooses what needs no worker: the timing rule or the background.
UINT_PTR ChooseDisplayOption(const std::vector<TestWindow::MenuItem>& items, POINT) {
    for (const auto& item : items) {
        if (item.id == kMenuIeTiming || item.id == kMenuBackground) return item.id;
    }
    return 0;
}

void AskAndTell(TavorenGif* viewer, TestWindow& window, uint32_t hash) {
    UINT32 size[2] = {};
    INT32 value = 0;
    HandleMessage(viewer, VM_GETSIZE, reinterpret_cast<WPARAM>(size), 0);
    HandleMessage(viewer, VM_GETSIZE2, reinterpret_cast<WPARAM>(size), 0);
    HandleMessage(viewer, VM_GETSIZE, 0, 0);
    HandleMessage(viewer, VM_GETCOLORBITS, reinterpret_cast<WPARAM>(&value), 0);
    HandleMessage(viewer, VM_GETDURATION, reinterpret_cast<WPARAM>(&value), 0);
    HandleMessage(viewer, VM_GETPOSITION, reinterpret_cast<WPARAM>(&value), 0);
    HandleMessage(viewer, VM_GETPOSITION, 0, 0);
    HandleMessage(viewer, VM_SETBKCOLOR, hash & 0xFFFFFF, 0);
    HandleMessage(viewer, WM_KEYDOWN, 'G', 0);
    HandleMessage(viewer, WM_KEYDOWN, 'I', 0);
    window.SetMenuScript(ChooseDisplayOption);
    HandleMessage(viewer, WM_RBUTTONDOWN, 0, Halves(3, 4));
    HandleMessage(viewer, WM_KEYDOWN, 'I', 0);
    HandleMessage(viewer, VM_GETDURATION, reinterpret_cast<WPARAM>(&value), 0);
    HandleMessage(viewer, WM_KEYDOWN, 'G', 0);
    HandleMessage(viewer, VM_PAUSE, 0, 0);
    HandleMessage(viewer, VM_STOP, 0, 0);
    HandleMessage(viewer, WM_KEYDOWN, 'S', 0);
    HandleMessage(viewer, WM_KEYDOWN, 'X', 0);
    HandleMessage(viewer, WM_USER + 1000, 1, 2);
}

void DriveViewer(const uint8_t* data, size_t size) {
    const uint32_t hash = Hash(data, size);
    const int width = static_cast<int>(hash % 97), height = static_cast<int>((hash >> 8) % 71);
    TestWindow window(width, height);
    TavorenGif* viewer = CreateInstance(nullptr);
    if (!viewer) return;

    unsigned progressCalls = 0;
    INT32 memoryResult = -7;
    LoadImageSource(viewer, nullptr, data, size, &memoryResult, 0, 0, CountProgress,
                    &progressCalls);
    AttachWindow(viewer, window.hwnd());

    PixelBudget budget(kModulePixelBudget);
    Paint(viewer, window, width, height, budget, 0);
    ComposeFrames(viewer, budget);
    Paint(viewer, window, width, height, budget, 1);
    HandleMessage(viewer, VM_ROTATE, 90, 0);
    Paint(viewer, window, width, height, budget, 0);
    HandleMessage(viewer, VM_ROTATE, static_cast<WPARAM>(static_cast<UINT32>(-450)), 0);
    PaintCarelessly(viewer, hash * 2654435761u, budget);
    HandleMessage(viewer, VM_ROTATE, static_cast<WPARAM>(INT32_MIN), 0);
    AskAndTell(viewer, window, hash);
    // The window's size changes, the surface follows, and the picture is painted again.
    const int resizedWidth = static_cast<int>((hash >> 16) % 61);
    const int resizedHeight = static_cast<int>((hash >> 24) % 43);
    window.SetClientSize(resizedWidth, resizedHeight);
    HandleMessage(viewer, WM_SIZE, 0, Halves(resizedWidth, resizedHeight));
    Paint(viewer, window, resizedWidth, resizedHeight, budget, 1);

    // The same image again into the same viewer, attached twice, and its first frame shown.
    LoadImageSource(viewer, nullptr, data, size, &memoryResult, 0, 0, nullptr, nullptr);
    AttachWindow(viewer, window.hwnd());
    AttachWindow(viewer, window.hwnd());
    if (viewer->frameCount > 0 && budget.Take(FramePixels(viewer, 0) + 2 * CanvasPixels(viewer))) {
        viewer->ComposeNextFrame();
    }
    Paint(viewer, window, resizedWidth, resizedHeight, budget, 0);

    DestroyInstance(viewer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LiveObjectsCheck check;
    DriveViewer(data, size);
    return 0;
}
