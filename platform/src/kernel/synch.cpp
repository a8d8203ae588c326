// Events and waits with Windows semantics on the standard library's primitives.
//
// All events share one lock. A thread that finds none of its events signalled registers as a
// waiter on each of them and sleeps on a condition variable of its own. SetEvent releases
// waiters itself, as Windows does: an automatic-reset event with a waiter releases the first
// one and stays non-signalled, a manual-reset one releases every waiter and stays signalled.
// A released waiter has its answer before SetEvent returns, so no ResetEvent can take it back.
//
// A HANDLE is a number from the handle registry, never reused, so a closed handle fails with
// ERROR_INVALID_HANDLE as it does on Windows (there, the number may later name another
// object, which is worse): every such use is counted for the tests.
#include "kernel/synch.h"

#include <windows.h>
#include <tavoren_platform_probe.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel/handle_registry.h"
#include "kernel/watched_count.h"

namespace platform {
namespace {

struct Event;

// A thread in WaitForMultipleObjects that found none of its events signalled.
struct Waiter {
    static constexpr DWORD kWaiting = ~DWORD{0};
    Waiter(const std::shared_ptr<Event>* waitedEvents, DWORD eventCount)
        : events(waitedEvents), count(eventCount) {}
    const std::shared_ptr<Event>* const events;
    const DWORD count;
    DWORD released = kWaiting;  // the index it was released for; guarded by the table's lock
    std::condition_variable wakeUp;
};

struct Event {
    Event(bool manual, bool initial) : manualReset(manual), signalled(initial) {}
    const bool manualReset;
    bool signalled;                // guarded by the table's lock
    std::vector<Waiter*> waiters;  // in the order they began to wait; guarded likewise
};

struct EventTable {
    std::mutex lock;
    // A wait in progress shares its events, so closing a handle ends only the name.
    HandleRegistry<Event, HANDLE, std::shared_ptr<Event>> events;  // guarded by `lock`
    WatchedCount blockedWaits;
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
    std::shared_ptr<Event> event = table.events.Share(handle, ERROR_INVALID_HANDLE);
    if (!event) ++table.invalidUses;
    return event;
}

HANDLE AddEvent(std::shared_ptr<Event> event) {
    EventTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.events.Add(std::move(event));
}

void Unregister(Waiter& waiter) {
    for (DWORD i = 0; i < waiter.count; ++i) {
        std::vector<Waiter*>& list = waiter.events[i]->waiters;
        list.erase(std::remove(list.begin(), list.end(), &waiter), list.end());
    }
}

// Ends `waiter`'s wait for `event`, at the lowest index that names it. With the lock held:
// the waiter's condition variable lives on its stack and may be gone once the lock is free.
void ReleaseLocked(Waiter& waiter, const Event* event) {
    DWORD index = 0;
    while (waiter.events[index].get() != event) ++index;
    waiter.released = index;
    Unregister(waiter);
    waiter.wakeUp.notify_one();
}

// SetEvent's work, with the table's lock held.
void SignalLocked(Event& event) {
    if (event.manualReset) {
        event.signalled = true;
        while (!event.waiters.empty()) ReleaseLocked(*event.waiters.front(), &event);
    } else if (!event.waiters.empty()) {
        ReleaseLocked(*event.waiters.front(), &event);
    } else {
        event.signalled = true;
    }
}

}  // namespace
}  // namespace platform

namespace platform {

// A thread's handle is a manual-reset event among the others, so it is waited on and closed
// like any handle; the thread keeps the event itself to signal its end after the handle has
// been closed.
HANDLE CreateThreadHandle(std::shared_ptr<void>& ended) {
    auto event = std::make_shared<Event>(true, false);
    ended = event;
    return AddEvent(std::move(event));
}

void SignalThreadEnd(const std::shared_ptr<void>& ended) {
    EventTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    SignalLocked(*static_cast<Event*>(ended.get()));
}

}  // namespace platform

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                               LPCWSTR) {
    return platform::AddEvent(
        std::make_shared<platform::Event>(manualReset != FALSE, initialState != FALSE));
}

extern "C" BOOL SetEvent(HANDLE handle) {
    platform::EventTable& table = platform::Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::shared_ptr<platform::Event> event = platform::FindLocked(table, handle);
    if (!event) return FALSE;
    platform::SignalLocked(*event);
    return TRUE;
}

// Only the event's state: a waiter that SetEvent released stays released.
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
    if (table.events.Remove(handle)) return TRUE;
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
    for (DWORD i = 0; i < count; ++i) {
        if (events[i]->signalled) {
            if (!events[i]->manualReset) events[i]->signalled = false;
            return WAIT_OBJECT_0 + i;
        }
    }
    if (milliseconds == 0) return WAIT_TIMEOUT;

    platform::Waiter waiter(events, count);
    for (DWORD i = 0; i < count; ++i) events[i]->waiters.push_back(&waiter);
    table.blockedWaits.Add(1);
    auto released = [&] { return waiter.released != platform::Waiter::kWaiting; };
    if (milliseconds == INFINITE) {
        waiter.wakeUp.wait(lock, released);
    } else {
        waiter.wakeUp.wait_for(lock, std::chrono::milliseconds(milliseconds), released);
    }
    table.blockedWaits.Add(-1);
    // Released at the very end of the timeout counts as released: SetEvent has already
    // taken the signal for this waiter.
    if (released()) return WAIT_OBJECT_0 + waiter.released;
    platform::Unregister(waiter);
    return WAIT_TIMEOUT;
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

extern "C" BOOL TavorenWaitForBlockedWaits(long count, DWORD milliseconds) {
    return platform::Table().blockedWaits.WaitUntil(
        milliseconds, [count](long blocked) { return blocked == count; });
}
