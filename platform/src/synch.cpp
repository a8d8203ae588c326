// Events and waits with Windows semantics on the standard library's primitives.
//
// All events share one lock and one condition variable, so that a wait on several events is
// as simple as a wait on one: a waiter sleeps on the condition variable until one of its
// events is signalled or its deadline passes, and never polls.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "kernel_objects.h"

namespace platform {
namespace {

std::mutex eventLock;
std::condition_variable eventSignalled;
thread_local DWORD lastError = 0;

struct Event final : KernelObject {
    Event(bool manual, bool initial)
        : KernelObject(Kind::Event), manualReset(manual), signalled(initial) {}
    const bool manualReset;
    bool signalled;  // guarded by eventLock
};

Event* AsEvent(HANDLE handle) {
    auto* object = static_cast<KernelObject*>(handle);
    if (!object || object->kind != KernelObject::Kind::Event) return nullptr;
    return static_cast<Event*>(object);
}

// Index of the first signalled event, consuming an automatic-reset signal, or -1.
int TakeSignalled(Event* const* events, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (events[i]->signalled) {
            if (!events[i]->manualReset) events[i]->signalled = false;
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace
}  // namespace platform

using platform::Event;

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                               LPCWSTR) {
    return static_cast<platform::KernelObject*>(
        new Event(manualReset != FALSE, initialState != FALSE));
}

extern "C" BOOL SetEvent(HANDLE handle) {
    Event* event = platform::AsEvent(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(platform::eventLock);
        event->signalled = true;
    }
    platform::eventSignalled.notify_all();
    return TRUE;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
    Event* event = platform::AsEvent(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(platform::eventLock);
    event->signalled = false;
    return TRUE;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    auto* object = static_cast<platform::KernelObject*>(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete object;
    return TRUE;
}

// Wait-any only, as the module uses it; WAIT_FAILED for a bad handle or a wait-all request.
extern "C" DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                        DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles || waitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Event* events[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        events[i] = platform::AsEvent(handles[i]);
        if (!events[i]) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    std::unique_lock<std::mutex> lock(platform::eventLock);
    int index = -1;
    auto ready = [&] { return (index = platform::TakeSignalled(events, count)) >= 0; };
    if (milliseconds == INFINITE) {
        platform::eventSignalled.wait(lock, ready);
    } else if (!platform::eventSignalled.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                  ready)) {
        return WAIT_TIMEOUT;
    }
    return WAIT_OBJECT_0 + static_cast<DWORD>(index);
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

extern "C" void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

extern "C" DWORD GetLastError(void) {
    return platform::lastError;
}

extern "C" void SetLastError(DWORD error) {
    platform::lastError = error;
}
