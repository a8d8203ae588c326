// Waiting for a viewer's playback worker to end by itself.
#pragma once

#include <windows.h>

#include "module/tavoren_gif.h"

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

// True once the worker has made its last access to the viewer. Linux: awaits the stand-in's
// thread count (the tests run one worker at a time). Windows gives no signal for a thread it
// holds no handle of, so there this looks every millisecond.
inline bool WaitForWorkerEnd(TavorenGif* viewer, unsigned timeoutMs) {
#if defined(_WIN32)
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (viewer->workerExists && GetTickCount64() < deadline) Sleep(1);
#else
    TavorenWaitForLiveThreads(0, timeoutMs);
#endif
    return !viewer->workerExists;
}
