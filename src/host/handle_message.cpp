// HandleMessage: the host's window messages and requests, on the window thread.
#include <cstdint>

#include "host/context_menu.h"
#include "host/viewer_actions.h"
#include "module/viewer_messages.h"
#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "playback/transport.h"

namespace {

// The two unsigned 16-bit halves of a size or a point in lParam.
UINT LowHalf(LPARAM value) {
    return static_cast<UINT>(static_cast<UINT_PTR>(value) & 0xFFFF);
}
UINT HighHalf(LPARAM value) {
    return static_cast<UINT>((static_cast<UINT_PTR>(value) >> 16) & 0xFFFF);
}

INT32 HandleKey(TavorenGif* viewer, UINT32 key) {
    switch (key) {
        case 'G':
            ToggleBackground(viewer);
            return 2;
        case 'I':
            ToggleIeTiming(viewer);
            return 2;
        case 'P':
            if (viewer->running && !viewer->paused) {
                PausePlayback(viewer);
            } else {
                Play(viewer);  // resumes a paused worker or starts one
            }
            return 2;
        case 'S':
            // Also a worker that has been started but has not yet set `running` (and one in
            // its last instructions, after it cleared it: stopping that one repaints only).
            if (viewer->workerExists) StopAndShowRewound(viewer);
            return 2;
        case 'T':
            StepPlayback(viewer);
            return 2;
        default:
            return 0;
    }
}

// Any step, however large, ends in 0 to 359; the sum cannot overflow.
INT32 Rotate(TavorenGif* viewer, INT32 step) {
    if (!viewer->windowTarget) return -1;
    viewer->rotation = (viewer->rotation + step % 360 + 360) % 360;
    if (const HWND window = viewer->window) {
        PostMessageW(window, VM_NOTIFY, kNotifyRotated, 0);
        InvalidateRect(window, nullptr, TRUE);
    }
    return 0;
}

void SetHostBackground(TavorenGif* viewer, UINT32 packed) {
    const D2D1_COLOR_F color{static_cast<FLOAT>(packed & 0xFF) / 255.0f,
                             static_cast<FLOAT>((packed >> 8) & 0xFF) / 255.0f,
                             static_cast<FLOAT>((packed >> 16) & 0xFF) / 255.0f, 1.0f};
    viewer->WriteColor(viewer->hostBackgroundColor, color);
    if (!viewer->useImageBackground) viewer->WriteColor(viewer->backgroundColor, color);
}

// Writes a query's answer through wParam; a null pointer gets nothing, and -1.
template <typename T, typename... Values>
INT32 Answer(WPARAM wParam, Values... values) {
    T* out = reinterpret_cast<T*>(wParam);
    if (!out) return -1;
    ((*out++ = static_cast<T>(values)), ...);
    return 0;
}

}  // namespace

INT32 HandleMessage(TavorenGif* viewer, UINT32 message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (viewer->windowTarget) viewer->ResizeSurface(LowHalf(lParam), HighHalf(lParam));
            return -1;
        case WM_KEYDOWN:
            return HandleKey(viewer, static_cast<UINT32>(wParam));
        case WM_RBUTTONDOWN:
            return ShowContextMenu(viewer, LowHalf(lParam), HighHalf(lParam));
        case VM_PLAY:
            return Play(viewer);
        case VM_STOP:
            StopAndShowRewound(viewer);
            return 1;
        case VM_PAUSE:
            PausePlayback(viewer);
            return 0;
        case VM_GETSIZE:
        case VM_GETSIZE2:
            if (viewer->rotation == 0 || viewer->rotation == 180) {
                return Answer<UINT32>(wParam, viewer->width, viewer->height);
            }
            return Answer<UINT32>(wParam, viewer->height, viewer->width);
        case VM_GETCOLORBITS:
            return Answer<INT32>(wParam, viewer->colorBits);
        case VM_GETDURATION:
            return Answer<INT32>(wParam, viewer->totalDuration);
        case VM_GETPOSITION:
            return Answer<INT32>(wParam, viewer->elapsed.load());
        case VM_STEP:
            StepPlayback(viewer);
            return 0;
        case VM_ROTATE:
            return Rotate(viewer, static_cast<INT32>(static_cast<UINT32>(wParam)));
        case VM_SETBKCOLOR:
            SetHostBackground(viewer, static_cast<UINT32>(wParam));
            return 0;
        default:
            return 1;
    }
}
