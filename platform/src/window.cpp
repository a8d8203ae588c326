// Windows: what a host registered through tavoren_window.h. A handle is a number that is
// never given out twice, looked up in the registry, so a stale or made-up handle fails as a
// destroyed window does on Windows, also after a new window has taken the old one's memory.
//
// A call runs the host's callback outside the registry's lock (a callback may post, paint or
// call back in), but keeps the record busy; TavorenDestroyWindow waits until no call is
// under way before the record goes, so that no callback runs after it returns. A callback
// must not destroy its own window.
#include "window.h"

#include <tavoren_platform_probe.h>
#include <tavoren_window.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

struct Window {
    TavorenWindowCallbacks callbacks;
    int busy = 0;  // calls under way, guarded by registryLock
};

std::mutex registryLock;
std::condition_variable registryIdle;

std::unordered_map<uintptr_t, Window*>& Registry() {
    static std::unordered_map<uintptr_t, Window*> windows;
    return windows;
}
uintptr_t lastHandle = 0;  // guarded by registryLock; handles are multiples of 4 from 4 up

// The live window that `handle` names, or null with ERROR_INVALID_WINDOW_HANDLE as the last
// error; under registryLock.
Window* LookUpWindow(HWND handle) {
    const auto found = Registry().find(reinterpret_cast<uintptr_t>(handle));
    if (found == Registry().end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return found->second;
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

}  // namespace platform

using platform::WithWindow;

// A window comes to life registered, as CreateWindowEx makes one that IsWindow knows.
extern "C" HWND TavorenCreateWindow(const TavorenWindowCallbacks* callbacks) {
    if (!callbacks) return nullptr;
    auto* window = new platform::Window{*callbacks};
    std::lock_guard lock(platform::registryLock);
    platform::lastHandle += 4;
    platform::Registry().emplace(platform::lastHandle, window);
    return reinterpret_cast<HWND>(platform::lastHandle);
}

// As DestroyWindow: the handle is dead from here on, and no callback runs after the return.
extern "C" void TavorenDestroyWindow(HWND handle) {
    std::unique_lock lock(platform::registryLock);
    const auto found = platform::Registry().find(reinterpret_cast<uintptr_t>(handle));
    if (found == platform::Registry().end()) return;
    platform::Window* window = found->second;
    platform::Registry().erase(found);
    platform::registryIdle.wait(lock, [window] { return window->busy == 0; });
    delete window;
}

// GetClientRect: 0, 0 to the client size; FALSE with ERROR_INVALID_WINDOW_HANDLE for a
// handle that names no window.
extern "C" BOOL GetClientRect(HWND window, LPRECT rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithWindow(window, [&](const TavorenWindowCallbacks& c) {
        int width = 0, height = 0;
        if (c.clientSize) c.clientSize(c.context, &width, &height);
        *rect = {0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
    });
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
        for (const auto& [number, w] : platform::Registry()) {
            all.push_back(reinterpret_cast<HWND>(number));
        }
    }
    for (HWND w : all) InvalidateRect(w, nullptr, FALSE);
    return TRUE;
}

// Posts to a null window: Windows puts them in the calling thread's own queue, where a host
// never looks for them. Here they are only counted, for the tests.
std::atomic<long> threadQueuePosts{0};

extern "C" long TavorenThreadQueuePosts(void) {
    return threadQueuePosts.load();
}

// PostMessageW: queues the message for the window's thread from any thread; FALSE when the
// host's queue refuses it. A null window is the calling thread's queue, as on Windows.
extern "C" BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) {
        ++threadQueuePosts;
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
    return platform::Registry().count(reinterpret_cast<uintptr_t>(window)) != 0;
}

// SetForegroundWindow: the host's window manager decides what comes to the front; here it
// only tells whether the handle names a window.
extern "C" BOOL SetForegroundWindow(HWND window) {
    return IsWindow(window);
}

// ClientToScreen: the point moved by the client area's screen origin.
extern "C" BOOL ClientToScreen(HWND window, LPPOINT point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WithWindow(window, [&](const TavorenWindowCallbacks& c) {
        int x = 0, y = 0;
        if (c.clientOrigin) c.clientOrigin(c.context, &x, &y);
        point->x += x;
        point->y += y;
    });
}
