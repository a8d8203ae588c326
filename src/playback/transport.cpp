// The transport operations, on the window thread.
//
// A worker exists from the moment Play starts it until its very last access to the viewer
// (`workerExists`); it is `running` only between its first and its exit steps. The event
// handles are non-null exactly while the worker may still wait on them, and every signal is
// sent under the transport lock, so no request ever signals a handle the worker has closed.
//
// The flags say what is asked; the wake event only tells the worker to look at them. No
// request resets the wake: one that the worker has not taken yet may be the one it needs (it
// chose its unbounded wait and has not entered it). A wake that finds nothing asked does not
// move the worker on (see its wait).
#include "playback/transport.h"

#include <mutex>

#include "module/tavoren_gif.h"

namespace {

// A worker that has begun, or is about to, and has not run its exit steps: requests act on
// it. With the transport lock held.
bool TakesRequests(const TavorenGif* viewer) {
    return viewer->workerExists && viewer->stopEvent;
}

// Ends a pause so that the worker leaves the frame on screen at once: that frame has had its
// time. With the transport lock held; true when there was a pause to end.
bool EndPauseLocked(TavorenGif* viewer) {
    if (!viewer->paused) return false;
    viewer->paused = false;
    viewer->resumeRequested = true;
    return true;
}

// Play's start path, with the transport lock held. True when a worker was started.
bool StartWorker(TavorenGif* viewer) {
    // One worker at a time: a worker that has not yet set `running`, or is ending, still
    // exists, and a second one would replace its events.
    if (viewer->workerExists || !viewer->window || viewer->frameCount <= 1) return false;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // A worker without both events could not wait (a paused one would spin), and one that
    // failed to start would never clear `workerExists`: either way nothing is started.
    if (stop && wake) {
        viewer->stopEvent = stop;
        viewer->wakeEvent = wake;
        viewer->workerExists = true;
        // Nobody waits for the thread by its handle: the worker tells its end by
        // `workerExists`.
        if (HANDLE thread = CreateThread(nullptr, 0, AnimationThreadStart, viewer, 0, nullptr)) {
            CloseHandle(thread);
            return true;
        }
        viewer->workerExists = false;
        viewer->stopEvent = nullptr;
        viewer->wakeEvent = nullptr;
    }
    if (wake) CloseHandle(wake);
    if (stop) CloseHandle(stop);
    return false;
}

}  // namespace

INT32 Play(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    if (TakesRequests(viewer)) {
        viewer->stepRequested = false;
        if (EndPauseLocked(viewer)) SetEvent(viewer->wakeEvent);
        return 0;
    }
    StartWorker(viewer);
    return 0;
}

Interrupted PausePlayback(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    Interrupted interrupted = Interrupted::Nothing;
    if (TakesRequests(viewer)) {
        // A pending step has ended any pause: it is told apart before the flags change.
        if (viewer->stepRequested) {
            interrupted = Interrupted::Step;
        } else if (!viewer->paused) {
            interrupted = Interrupted::Playing;
        }
    }
    viewer->stepRequested = false;
    viewer->resumeRequested = false;
    if (TakesRequests(viewer)) viewer->paused = true;
    return interrupted;
}

void ResumeAfterPause(TavorenGif* viewer, Interrupted interrupted) {
    if (interrupted == Interrupted::Step) {
        StepPlayback(viewer);
    } else if (interrupted == Interrupted::Playing) {
        Play(viewer);
    }
}

void StepPlayback(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    if (TakesRequests(viewer)) {
        viewer->stepRequested = true;
        // Should a Play cancel the step before the worker takes it, the worker still moves on
        // at once out of a pause.
        EndPauseLocked(viewer);
        SetEvent(viewer->wakeEvent);
        return;
    }
    // A step that starts nothing is dropped, so that no later start takes it.
    if (StartWorker(viewer)) viewer->stepRequested = true;
}

void StopPlayback(TavorenGif* viewer) {
    {
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        // Also a worker that has not yet set `running`: it sees the stop at its first check.
        if (HANDLE stop = viewer->stopEvent) SetEvent(stop);
    }
    while (viewer->workerExists.load(std::memory_order_acquire)) Sleep(10);
}
