// Events and waits with Windows semantics on the standard library's primitives.
//
// All events share one lock and one condition variable, so that a wait on several events is
// as simple as a wait on one: a waiter sleeps on the condition variable until one of its
// events is signalled or its deadline passes, and never polls.
//
// A HANDLE is a number from a table, never reused, so a closed handle fails with
// ERROR_INVALID_HANDLE as it does on Windows (there, the number may later name another
// object, which is worse): every such use is counted for the tests.
#include "synch.h"

#include <windows.h>
#include <tavoren_platform_probe.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct Event {
    Event(bool manual, bool initial) : manualReset(manual), signalled(initial) {}
    const bool manualReset;
    bool signalled;  // guarded by the table's lock
};

struct EventTable {
    std::mutex lock;
    std::condition_variable signalled;
    std::map<uintptr_t, std::shared_ptr<Event>> events;
    uintptr_t lastHandle = 0;
    std::atomic<long> invalidUses{0};
};

// Never destroyed: a detached thread may still wait or signal while the process exits.
EventTable& Table() {
    static EventTable* table = new EventTable;
    return *table;
}

std::atomic<TavorenWaitHook> waitHook{nullptr};
std::atomic<void*> waitHookContext{nullptr};
thread_local DWORD lastError = 0;

// The event a handle names, or null (and the error set) for a closed or foreign handle.
// Called with the table's lock held.
std::shared_ptr<Event> FindLocked(EventTable& table, HANDLE handle) {
    auto found = table.events.find(reinterpret_cast<uintptr_t>(handle));
    if (found != table.events.end()) return found->second;
    ++table.invalidUses;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

}  // namespace
}  // namespace platform

namespace platform {

// A thread's handle is a manual-reset event in the same table, so it is waited on and closed
// like any handle; the thread keeps the event itself to signal its end after the handle has
// been closed.
HANDLE CreateThreadHandle(std::shared_ptr<void>& ended) {
    EventTable& table = Table();
    auto event = std::make_shared<Event>(true, false);
    ended = event;
    std::lock_guard<std::mutex> guard(table.lock);
    table.lastHandle += 4;
    table.events.emplace(table.lastHandle, std::move(event));
    return reinterpret_cast<HANDLE>(table.lastHandle);
}

void SignalThreadEnd(const std::shared_ptr<void>& ended) {
    EventTable& table = Table();
    {
        std::lock_guard<std::mutex> guard(table.lock);
        static_cast<Event*>(ended.get())->signalled = true;
    }
    table.signalled.notify_all();
}

}  // namespace platform

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                               LPCWSTR) {
    platform::EventTable& table = platform::Table();
    auto event = std::make_shared<platform::Event>(manualReset != FALSE, initialState != FALSE);
    std::lock_guard<std::mutex> guard(table.lock);
    // Multiples of 4, as Windows hands out handles.
    table.lastHandle += 4;
    table.events.emplace(table.lastHandle, std::move(event));
    return reinterpret_cast<HANDLE>(table.lastHandle);
}

extern "C" BOOL SetEvent(HANDLE handle) {
    platform::EventTable& table = platform::Table();
    {
        std::lock_guard<std::mutex> guard(table.lock);
        std::shared_ptr<platform::Event> event = platform::FindLocked(table, handle);
        if (!event) return FALSE;
        event->signalled = true;
    }
    table.signalled.notify_all();
    return TRUE;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
    platform::EventTable& table = platform::Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::shared_ptr<platform::Event> event = platform::FindLocked(table, handle);
    if (!event) return FALSE;
    event->signalled = false;
    return TRUE;
}

// A wait in progress keeps its events alive: closing a handle ends only the name.
extern "C" BOOL CloseHandle(HANDLE handle) {
    platform::EventTable& table = platform::Table();
    std::lock_guard<std::mutex> guard(table.lock);
    if (table.events.erase(reinterpret_cast<uintptr_t>(handle)) == 1) return TRUE;
    ++table.invalidUses;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// Wait-any only, as the module uses it; WAIT_FAILED for a bad handle or a wait-all request.
extern "C" DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                        DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles || waitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (TavorenWaitHook hook = platform::waitHook)
        hook(count, milliseconds, platform::waitHookContext);

    platform::EventTable& table = platform::Table();
    std::unique_lock<std::mutex> lock(table.lock);
    std::shared_ptr<platform::Event> events[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        events[i] = platform::FindLocked(table, handles[i]);
        if (!events[i]) return WAIT_FAILED;
    }
    // The first signalled event in handle order wins; an automatic-reset one is consumed.
    DWORD index = 0;
    auto ready = [&] {
        for (index = 0; index < count; ++index) {
            if (events[index]->signalled) {
                if (!events[index]->manualReset) events[index]->signalled = false;
                return true;
            }
        }
        return false;
    };
    if (milliseconds == INFINITE) {
        table.signalled.wait(lock, ready);
    } else if (!table.signalled.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return WAIT_TIMEOUT;
    }
    return WAIT_OBJECT_0 + index;
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

extern "C" long TavorenLiveEvents(void) {
    platform::EventTable& table = platform::Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return static_cast<long>(table.events.size());
}

extern "C" long TavorenInvalidHandleUses(void) {
    return platform::Table().invalidUses;
}

extern "C" void TavorenSetWaitHook(TavorenWaitHook hook, void* context) {
    platform::waitHookContext = context;
    platform::waitHook = hook;
}
