// Windows: what a host registered through tavoren_window.h. A handle is a number that is
// never given out twice, looked up in the registry, so a stale or made-up handle fails as a
// destroyed window does on Windows, also after a new window has taken the old one's memory.
//
// A call runs the host's callback outside the registry's lock (a callback may post, paint or
// call back in), but keeps the record busy; TavorenDestroyWindow waits until no call is
// under way before the record goes, so that no callback runs after it returns. A callback
// must not destroy its own window.
#include "user/window.h"

#include <tavoren_platform_probe.h>
#include <tavoren_window.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/handle_registry.h"

namespace platform {
namespace {

struct Window {
    TavorenWindowCallbacks callbacks;
    int busy = 0;  // calls under way, guarded by registryLock
};

std::mutex registryLock;
std::condition_variable registryIdle;

// Guarded by registryLock.
HandleRegistry<Window, HWND>& Registry() {
    static HandleRegistry<Window, HWND> windows;
    return windows;
}

// The live window that `handle` names, or null with ERROR_INVALID_WINDOW_HANDLE as the last
// error; under registryLock.
Window* LookUpWindow(HWND handle) {
    return Registry().Find(handle, ERROR_INVALID_WINDOW_HANDLE);
}

// Runs `call` with the window's callbacks; false when the handle names no live window.
template <typename Call>
bool WithWindow(HWND handle, Call call) {
    Window* window;
    {
        std::lock_guard lock(registryLock);
        if (!(window = LookUpWindow(handle))) return false;
        ++window->busy;
    }
    call(window->callbacks);
    {
        std::lock_guard lock(registryLock);
        --window->busy;
    }
    registryIdle.notify_all();
    return true;
}

// Two numbers that one of the window's callbacks answers (0, 0 when it has none): FALSE with
// ERROR_INVALID_PARAMETER when the caller gave nowhere to put them, as Win32 refuses a null
// out-parameter, and FALSE for a handle that names no window.
BOOL AskWindow(HWND handle, const void* out,
               void (*TavorenWindowCallbacks::*callback)(void*, int*, int*), int* first,
               int* second) {
    if (!out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithWindow(handle, [&](const TavorenWindowCallbacks& c) {
        if (c.*callback) (c.*callback)(c.context, first, second);
    });
}

// Posts to a null window: Windows puts them in the calling thread's own queue, where a host
// never looks for them. Here they are only counted, for the tests.
std::atomic<long> threadQueuePosts{0};

}  // namespace

// What a DXGI present to the window amounts to here.
BOOL PresentToWindow(HWND window, const BYTE* pixels, int width, int height, int stride) {
    return WithWindow(window, [&](const TavorenWindowCallbacks& c) {
        if (c.present) c.present(c.context, pixels, width, height, stride);
    });
}

// What DXGI reports as DXGI_STATUS_OCCLUDED for the window.
BOOL WindowOccluded(HWND window) {
    bool occluded = false;
    WithWindow(window, [&](const TavorenWindowCallbacks& c) {
        occluded = c.occluded && c.occluded(c.context) != 0;
    });
    return occluded;
}

// The host's modal menu loop runs inside the call, and the host may destroy the window from
// there (Windows then ends the menu): so the window is not kept busy, and nothing of its
// record is read after the tracker returns.
BOOL TrackWindowMenu(HWND handle, const TavorenMenuItem* items, int count, int x, int y,
                     UINT_PTR* chosen) {
    *chosen = 0;
    TavorenWindowCallbacks callbacks;
    {
        std::lock_guard lock(registryLock);
        Window* window = LookUpWindow(handle);
        if (!window) return FALSE;
        callbacks = window->callbacks;
    }
    if (callbacks.trackMenu) *chosen = callbacks.trackMenu(callbacks.context, items, count, x, y);
    return TRUE;
}

// Called from inside the tracker, as TrackWindowMenu leaves the window free.
void EndWindowMenu(HWND window) {
    WithWindow(window, [](const TavorenWindowCallbacks& c) {
        if (c.endMenu) c.endMenu(c.context);
    });
}

}  // namespace platform

using platform::WithWindow;

// A window comes to life registered, as CreateWindowEx makes one that IsWindow knows.
extern "C" HWND TavorenCreateWindow(const TavorenWindowCallbacks* callbacks) {
    if (!callbacks) return nullptr;
    auto window = std::make_unique<platform::Window>(platform::Window{*callbacks});
    std::lock_guard lock(platform::registryLock);
    return platform::Registry().Add(std::move(window));
}

// As DestroyWindow: the handle is dead from here on, and no callback runs after the return.
extern "C" void TavorenDestroyWindow(HWND handle) {
    std::unique_lock lock(platform::registryLock);
    const std::unique_ptr<platform::Window> window = platform::Registry().Remove(handle);
    if (!window) return;
    platform::registryIdle.wait(lock, [&window] { return window->busy == 0; });
}

// GetClientRect: 0, 0 to the client size; FALSE with ERROR_INVALID_WINDOW_HANDLE for a
// handle that names no window.
extern "C" BOOL GetClientRect(HWND window, LPRECT rect) {
    int width = 0, height = 0;
    if (!platform::AskWindow(window, rect, &TavorenWindowCallbacks::clientSize, &width, &height)) {
        return FALSE;
    }
    *rect = {0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
    return TRUE;
}

// InvalidateRect: asks for a paint from any thread; the rectangle and the erase flag are
// the host's to merge, as Windows merges invalid regions into one paint. A null window
// invalidates every window, as it does on Windows.
extern "C" BOOL InvalidateRect(HWND window, const RECT* /*rect*/, BOOL /*erase*/) {
    if (window) {
        return WithWindow(window, [](const TavorenWindowCallbacks& c) {
            if (c.invalidate) c.invalidate(c.context);
        });
    }
    std::vector<HWND> all;
    {
        std::lock_guard lock(platform::registryLock);
        all = platform::Registry().Handles();
    }
    for (HWND w : all) InvalidateRect(w, nullptr, FALSE);
    return TRUE;
}

extern "C" long TavorenThreadQueuePosts(void) {
    return platform::threadQueuePosts.load();
}

// PostMessageW: queues the message for the window's thread from any thread; FALSE when the
// host's queue refuses it. A null window is the calling thread's queue, as on Windows.
extern "C" BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) {
        ++platform::threadQueuePosts;
        return TRUE;
    }
    bool posted = false;
    const bool found = WithWindow(window, [&](const TavorenWindowCallbacks& c) {
        posted = c.post && c.post(c.context, message, wParam, lParam) != 0;
    });
    return found && posted;
}

// IsWindow: whether the handle names a live window.
extern "C" BOOL IsWindow(HWND window) {
    std::lock_guard lock(platform::registryLock);
    return platform::Registry().Contains(window);
}

// SetForegroundWindow: the host's window manager decides what comes to the front; here it
// only tells whether the handle names a window.
extern "C" BOOL SetForegroundWindow(HWND window) {
    return IsWindow(window);
}

// ClientToScreen: the point moved by the client area's screen origin.
extern "C" BOOL ClientToScreen(HWND window, LPPOINT point) {
    int x = 0, y = 0;
    if (!platform::AskWindow(window, point, &TavorenWindowCallbacks::clientOrigin, &x, &y)) {
        return FALSE;
    }
    point->x += x;
    point->y += y;
    return TRUE;
}
