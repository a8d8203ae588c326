// The transport operations, on the window thread.
//
// A worker exists from the moment Play starts it until its very last access to the viewer
// (`workerExists`); it is `running` only between its first and its exit steps. The event
// handles are non-null exactly while the worker may still wait on them, and every signal is
// sent under the transport lock, so no request ever signals a handle the worker has closed.
#include "playback/transport.h"

#include <mutex>

#include "module/tavoren_gif.h"

namespace {

// Play's start path, with the transport lock held.
void StartWorker(TavorenGif* viewer) {
    // One worker at a time: a worker that has not yet set `running`, or is ending, still
    // exists, and a second one would replace its events.
    if (viewer->workerExists || !viewer->window || viewer->frameCount <= 1) return;
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
            return;
        }
        viewer->workerExists = false;
        viewer->stopEvent = nullptr;
        viewer->wakeEvent = nullptr;
    }
    if (wake) CloseHandle(wake);
    if (stop) CloseHandle(stop);
}

}  // namespace

INT32 Play(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    if (viewer->running) {
        viewer->stepRequested = false;
        // A wake that no wait has taken is dropped before the new one is given, not after:
        // a worker that chose its unbounded wait but has not entered it yet needs the new one.
        ResetEvent(viewer->wakeEvent);
        if (viewer->paused) {
            viewer->paused = false;
            SetEvent(viewer->wakeEvent);
        }
        return 0;
    }
    StartWorker(viewer);
    return 0;
}

void PausePlayback(TavorenGif* viewer) {
    HoldPlayback(viewer);
}

bool HoldPlayback(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    const bool wasPlaying = viewer->running && !viewer->paused;
    viewer->stepRequested = false;
    if (viewer->running) viewer->paused = true;
    return wasPlaying;
}

void StepPlayback(TavorenGif* viewer) {
    std::lock_guard<std::mutex> guard(viewer->transportLock);
    if (viewer->running) {
        viewer->stepRequested = true;
        viewer->paused = false;
        SetEvent(viewer->wakeEvent);
        return;
    }
    if (viewer->workerExists) {
        // A worker about to begin takes the step when it does; one that is ending ignores it.
        if (viewer->stopEvent) viewer->stepRequested = true;
        return;
    }
    viewer->stepRequested = true;
    StartWorker(viewer);
}

void StopPlayback(TavorenGif* viewer) {
    {
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        // Also a worker that has not yet set `running`: it sees the stop at its first check.
        if (HANDLE stop = viewer->stopEvent) SetEvent(stop);
    }
    while (viewer->workerExists.load(std::memory_order_acquire)) Sleep(10);
}
