// The worker: composes the current frame, asks the window to repaint, waits out the frame's
// display time (or for a request), and advances, wrapping after the last frame.
#include <windows.h>
#include <mmsystem.h>

#include <chrono>
#include <mutex>

#include "module/tavoren_gif.h"
#include "playback/transport.h"

namespace {

using Clock = std::chrono::steady_clock;

// The whole milliseconds still to wait for `deadline`, rounded up, below INFINITE.
DWORD MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return left.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left.count());
}

// Whether the worker leaves the frame on screen now, taking the request that makes it: a
// step (the next frame is then held), a resume, or the end of the frame's time while not
// paused. With the transport lock held.
bool LeavesFrameLocked(TavorenGif* viewer, bool timeOver) {
    if (viewer->stepRequested) {
        viewer->paused = true;
        viewer->stepRequested = false;
        viewer->resumeRequested = false;
        return true;
    }
    if (viewer->resumeRequested) {
        viewer->resumeRequested = false;
        return true;
    }
    return timeOver && !viewer->paused;
}

// The next frame and its start time, wrapping after the last frame. With the transport lock
// held, so that a recomputation of the position sees the frame and its start together.
void AdvanceLocked(TavorenGif* viewer) {
    UINT next = viewer->currentFrame + 1;
    // Unsigned, as absurd sums wrap instead of overflowing.
    INT position = static_cast<INT>(static_cast<UINT>(viewer->elapsed.load()) + viewer->frameDelay);
    if (next >= viewer->frameCount) {
        next = 0;
        position = 0;
    }
    viewer->currentFrame = next;
    viewer->elapsed = position;
}

// The wait after a frame has been shown, ending with the advance to the next one. A wake only
// says "look at the requests": when it finds none (its request was cancelled, or taken
// already) the frame keeps the rest of its time, up to the deadline set when it was shown.
// False when the stop event ended the wait.
bool WaitOutFrame(TavorenGif* viewer, const HANDLE events[2]) {
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(viewer->frameDelay.load());
    bool timeOver = false;
    for (;;) {
        DWORD timeout;
        {
            std::lock_guard<std::mutex> guard(viewer->transportLock);
            if (LeavesFrameLocked(viewer, timeOver)) {
                AdvanceLocked(viewer);
                return true;
            }
            timeout = viewer->paused ? INFINITE : MillisecondsUntil(deadline);
        }
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (result == WAIT_OBJECT_0) return false;
        // The timeout ends the frame's time; so does a failed wait, which could not be
        // waited out again.
        if (result != WAIT_OBJECT_0 + 1 && timeout != INFINITE) timeOver = true;
    }
}

// Runs one frame after another until a stop, a missing surface or a failed drawing call.
void Animate(TavorenGif* viewer, const HANDLE events[2]) {
    for (;;) {
        if (WaitForSingleObject(viewer->stopEvent, 0) == WAIT_OBJECT_0) return;
        if (!viewer->ComposeNextFrame()) return;
        InvalidateRect(viewer->window, nullptr, FALSE);
        if (!WaitOutFrame(viewer, events)) return;
    }
}

}  // namespace

void AnimationThread(TavorenGif* viewer) {
    HANDLE events[2];
    {
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        events[0] = viewer->stopEvent;
        events[1] = viewer->wakeEvent;
        // `paused` is left as it is: clear since the last worker ended, unless a pause was
        // asked of this one before it began.
        viewer->running = true;
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
        viewer->resumeRequested = false;
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
