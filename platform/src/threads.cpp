// _beginthread on std::thread: a detached thread, counted while its start routine runs.
#include <process.h>
#include <tavoren_platform_probe.h>

#include <errno.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {
namespace {

struct ThreadCount {
    std::mutex lock;
    std::condition_variable changed;
    long live = 0;
};

// Never destroyed: a detached thread may still be ending while the process exits.
ThreadCount& Threads() {
    static ThreadCount* threads = new ThreadCount;
    return *threads;
}

void Ended() {
    ThreadCount& threads = Threads();
    std::lock_guard<std::mutex> guard(threads.lock);
    --threads.live;
    threads.changed.notify_all();
}

}  // namespace
}  // namespace platform

extern "C" uintptr_t _beginthread(void(__cdecl* start)(void*), unsigned /*stackSize*/,
                                  void* argument) {
    if (!start) {
        errno = EINVAL;
        return static_cast<uintptr_t>(-1);
    }
    platform::ThreadCount& threads = platform::Threads();
    {
        std::lock_guard<std::mutex> guard(threads.lock);
        ++threads.live;
    }
    try {
        std::thread([start, argument] {
            start(argument);
            platform::Ended();
        }).detach();
    } catch (const std::system_error&) {
        platform::Ended();
        errno = EAGAIN;
        return static_cast<uintptr_t>(-1);
    }
    return 1;
}

extern "C" long TavorenLiveThreads(void) {
    platform::ThreadCount& threads = platform::Threads();
    std::lock_guard<std::mutex> guard(threads.lock);
    return threads.live;
}

extern "C" BOOL TavorenWaitForLiveThreads(long count, DWORD milliseconds) {
    platform::ThreadCount& threads = platform::Threads();
    std::unique_lock<std::mutex> lock(threads.lock);
    return threads.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [&] { return threads.live <= count; })
               ? TRUE
               : FALSE;
}
