// Threads: CreateThread on POSIX threads, each counted while its start routine runs. A thread may
// also end inside its routine, by FreeLibraryAndExitThread (pthread_exit underneath): its frames
// are unwound and the count and its handle still learn of the end.
#include <tavoren_platform_probe.h>
#include <windows.h>

#include <pthread.h>

#include <atomic>
#include <functional>
#include <memory>

#include "kernel/modules.h"
#include "kernel/synch.h"
#include "kernel/watched_count.h"

namespace platform {
namespace {

// Threads whose start routine runs. Never destroyed: a detached thread may still be ending
// while the process exits.
WatchedCount& LiveThreads() {
    static WatchedCount* live = new WatchedCount;
    return *live;
}

void Ended() {
    LiveThreads().Add(-1);
}

struct ThreadStart {
    std::function<void()> routine;
    std::shared_ptr<void> ended;  // the handle's event
};

// Runs on the new thread. What ends it is done in a destructor, so that it is also done when
// the routine leaves by pthread_exit: once the routine's frames are gone, the module that
// FreeLibraryAndExitThread named is released, then the handle and the count hear of the end.
void* ThreadMain(void* argument) {
    struct Finish {
        std::unique_ptr<ThreadStart> start;
        ~Finish() {
            ReleaseModuleOfExitingThread();
            if (start->ended) SignalThreadEnd(start->ended);
            Ended();
        }
    } finish{std::unique_ptr<ThreadStart>(static_cast<ThreadStart*>(argument))};
    finish.start->routine();
    return nullptr;
}

// A detached thread running `start`; false (with the count unchanged) when none can be made.
bool StartDetached(std::unique_ptr<ThreadStart> start) {
    LiveThreads().Add(1);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int failed = pthread_create(&thread, &attributes, ThreadMain, start.get());
    pthread_attr_destroy(&attributes);
    if (failed) {
        Ended();
        return false;
    }
    start.release();  // the thread's now
    return true;
}

}  // namespace
}  // namespace platform

// The handle is signalled when the thread ends; the caller closes it, before or after.
// Security attributes, stack size and creation flags are not used (the thread runs at once).
extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES /*attributes*/, SIZE_T /*stackSize*/,
                               LPTHREAD_START_ROUTINE start, LPVOID argument, DWORD /*flags*/,
                               LPDWORD threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_unique<platform::ThreadStart>();
    thread->routine = [start, argument] { start(argument); };
    std::shared_ptr<void> ended;
    HANDLE handle = platform::CreateThreadHandle(ended);
    thread->ended = ended;
    if (!platform::StartDetached(std::move(thread))) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    static std::atomic<DWORD> lastId{0};
    if (threadId) *threadId = lastId += 4;  // never 0, as on Windows
    return handle;
}

extern "C" long TavorenLiveThreads(void) {
    return platform::LiveThreads().value();
}

extern "C" BOOL TavorenWaitForLiveThreads(long count, DWORD milliseconds) {
    return platform::LiveThreads().WaitUntil(milliseconds,
                                             [count](long live) { return live <= count; });
}
