// The worker: composes the current frame, asks the window to repaint, waits out the frame's
// display time (or for a request), and advances, wrapping after the last frame.
#include <windows.h>
#include <mmsystem.h>

#include <mutex>

#include "module/tavoren_gif.h"
#include "playback/transport.h"

namespace {

// The wait after a frame has been shown. False when the stop event ended it.
bool WaitOutFrame(TavorenGif* viewer, const HANDLE events[2]) {
    for (;;) {
        const DWORD timeout = viewer->stepRequested ? 0
                              : viewer->paused      ? INFINITE
                                                    : viewer->frameDelay.load();
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (result == WAIT_OBJECT_0) return false;
        if (result == WAIT_OBJECT_0 + 1) ResetEvent(events[1]);
        // The flags, not the wake, say what was asked; they are read after the reset, so a
        // request that the reset dropped is still seen here.
        if (!viewer->paused) return true;
    }
}

void Advance(TavorenGif* viewer) {
    {
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        if (viewer->stepRequested) {
            viewer->paused = true;
            viewer->stepRequested = false;
        }
    }
    UINT next = viewer->currentFrame + 1;
    viewer->elapsed.fetch_add(static_cast<INT>(viewer->frameDelay.load()));
    if (next >= viewer->frameCount) {
        next = 0;
        viewer->elapsed = 0;
    }
    viewer->currentFrame = next;
}

// Runs one frame after another until a stop, a missing surface or a failed drawing call.
void Animate(TavorenGif* viewer, const HANDLE events[2]) {
    for (;;) {
        if (WaitForSingleObject(viewer->stopEvent, 0) == WAIT_OBJECT_0) return;
        if (!viewer->windowTarget || !viewer->composeTarget) return;
        if (!viewer->ApplyDisposal() || !viewer->ComposeFrame()) return;
        InvalidateRect(viewer->window, nullptr, FALSE);
        if (!WaitOutFrame(viewer, events)) return;
        Advance(viewer);
    }
}

}  // namespace

void AnimationThread(TavorenGif* viewer) {
    HANDLE events[2];
    {
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        events[0] = viewer->stopEvent;
        events[1] = viewer->wakeEvent;
        viewer->running = true;
        viewer->paused = false;
    }
    try {
        Animate(viewer, events);
    } catch (...) {
        // An unhandled breakpoint would end the host's process.
        if (IsDebuggerPresent()) DebugBreak();
    }
    {
        // Under the lock, so that a request sees either a live worker with open events or
        // a stopped viewer with none; a request made meanwhile changes nothing.
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        CloseHandle(events[1]);
        viewer->wakeEvent = nullptr;
        CloseHandle(events[0]);
        viewer->stopEvent = nullptr;
        viewer->currentFrame = 0;
        viewer->elapsed = 0;  // the position stays that of `currentFrame`
        viewer->paused = false;
        viewer->stepRequested = false;
        viewer->running = false;
    }
    // The last access: from here on the window thread may release or free the viewer.
    viewer->workerExists.store(false, std::memory_order_release);
}

DWORD WINAPI AnimationThreadStart(void* viewer) {
    // The host may unload the module as soon as the worker has cleared `workerExists`, while
    // this thread still has instructions of the module to run: the reference keeps the module
    // loaded until FreeLibraryAndExitThread, outside the module, has ended the thread.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&AnimationThreadStart), &module);
    // Waits time out on the system timer, by default every 15.6 ms on Windows: without a finer
    // resolution a 20 ms frame would last about 31 ms.
    const bool finerTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    AnimationThread(static_cast<TavorenGif*>(viewer));
    if (finerTimer) timeEndPeriod(1);
    if (module) FreeLibraryAndExitThread(module, 0);
    return 0;
}
