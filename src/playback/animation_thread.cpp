// The worker: composes the current frame, asks the window to repaint, waits until the frame's
// time on the animation's timeline has run out (or for a request), and advances, wrapping
// after the last frame.
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

// Why the worker leaves the frame on screen.
enum class Leave {
    Stay,      // not yet
    Asked,     // a step (the next frame is then held) or a resume
    TimeOver,  // the frame's time has run out while playing
    Stopped,
};

// Whether the worker leaves the frame on screen now, taking the request that makes it. With
// the transport lock held.
Leave LeavesFrameLocked(TavorenGif* viewer, bool timeOver) {
    if (viewer->stepRequested) {
        viewer->paused = true;
        viewer->stepRequested = false;
        viewer->resumeRequested = false;
        return Leave::Asked;
    }
    if (viewer->resumeRequested) {
        viewer->resumeRequested = false;
        return Leave::Asked;
    }
    return timeOver && !viewer->paused ? Leave::TimeOver : Leave::Stay;
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
    } else if (next < viewer->frameStarts.size()) {
        position = viewer->frameStarts[next];
    }
    viewer->currentFrame = next;
    viewer->elapsed = position;
}

// The wait after a frame has been shown, until `deadline`, ending with the advance to the
// next frame. A wake only says "look at the requests": when it finds none (its request was
// cancelled, or taken already) the frame keeps the rest of its time, up to the deadline.
Leave WaitOutFrame(TavorenGif* viewer, const HANDLE events[2], Clock::time_point deadline) {
    bool timeOver = false;
    for (;;) {
        DWORD timeout;
        {
            std::lock_guard<std::mutex> guard(viewer->transportLock);
            if (const Leave leave = LeavesFrameLocked(viewer, timeOver); leave != Leave::Stay) {
                AdvanceLocked(viewer);
                return leave;
            }
            timeout = viewer->paused ? INFINITE : MillisecondsUntil(deadline);
        }
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (result == WAIT_OBJECT_0) return Leave::Stopped;
        // The timeout ends the frame's time; so does a failed wait, which could not be
        // waited out again.
        if (result != WAIT_OBJECT_0 + 1 && timeout != INFINITE) timeOver = true;
    }
}

// Runs one frame after another until a stop, a missing surface or a failed drawing call.
// Each frame is due when the one before it ran out (the previous deadline), not when it came
// on screen after its decoding: the animation keeps its timeline, each frame's composition
// taken out of the frame before's time. A frame that comes more than its own time late (a
// slow decode, a loaded machine) takes the timeline up again from now instead of rushing
// frames to catch up, and so does one that a request brought (a resume, a step).
void Animate(TavorenGif* viewer, const HANDLE events[2]) {
    Clock::time_point due = Clock::now();
    for (;;) {
        if (WaitForSingleObject(viewer->stopEvent, 0) == WAIT_OBJECT_0) return;
        if (!viewer->ComposeNextFrame()) return;
        InvalidateRect(viewer->window, nullptr, FALSE);
        const Clock::duration time = std::chrono::milliseconds(viewer->frameDelay.load());
        if (const Clock::time_point now = Clock::now(); now - due > time) due = now;
        switch (WaitOutFrame(viewer, events, due + time)) {
            case Leave::Stopped:
                return;
            case Leave::TimeOver:
                due += time;
                break;
            default:
                due = Clock::now();
                break;
        }
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
