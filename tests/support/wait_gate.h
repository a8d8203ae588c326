// Holds the playback worker where the Linux stand-in lets a test: at the start of a wait.
// Windows offers no such point; tests that need one skip there.
#pragma once

#include <windows.h>

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

// The lock and the condition are static, so that a worker leaving the hook never touches a
// gate that is gone.
class WaitGate {
  public:
    // Any timeout other than 0 and INFINITE: the wait for the rest of a frame's time.
    static constexpr DWORD kTimed = INFINITE - 1;

    // Holds the next wait on `count` handles with the given timeout (or any timed one).
    WaitGate(DWORD count, DWORD timeout) : count_(count), timeout_(timeout) {
        TavorenSetWaitHook(&WaitGate::Hook, this);
    }
    ~WaitGate() {
        Release();
        std::unique_lock lock(Mutex());
        TavorenSetWaitHook(nullptr, nullptr);
        Changed().wait(lock, [&] { return inHook_ == 0; });
    }
    WaitGate(const WaitGate&) = delete;
    WaitGate& operator=(const WaitGate&) = delete;

    bool WaitUntilHeld(unsigned timeoutMs) {
        std::unique_lock lock(Mutex());
        return Changed().wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return held_; });
    }
    void Release() {
        std::lock_guard lock(Mutex());
        released_ = true;
        Changed().notify_all();
    }
    // The timeout of the last wait on two handles that began since the gate was made (the
    // worker's wait after a frame); 0 when none began.
    DWORD lastFrameWait() const {
        std::lock_guard lock(Mutex());
        return lastFrameWait_;
    }

  private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::condition_variable& Changed() {
        static std::condition_variable changed;
        return changed;
    }
    bool Matches(DWORD timeout) const {
        if (timeout_ == kTimed) return timeout != 0 && timeout != INFINITE;
        return timeout == timeout_;
    }
    static void Hook(DWORD count, DWORD timeout, void* context) {
        auto* gate = static_cast<WaitGate*>(context);
        std::unique_lock lock(Mutex());
        if (count == 2) gate->lastFrameWait_ = timeout;
        if (count != gate->count_ || gate->held_ || !gate->Matches(timeout)) return;
        gate->held_ = true;
        ++gate->inHook_;
        Changed().notify_all();
        Changed().wait(lock, [&] { return gate->released_; });
        --gate->inHook_;
        Changed().notify_all();
    }

    const DWORD count_, timeout_;
    bool held_ = false, released_ = false;
    int inHook_ = 0;
    DWORD lastFrameWait_ = 0;
};

#define SKIP_WITHOUT_WAIT_HOOK()
#else
#define SKIP_WITHOUT_WAIT_HOOK() \
    GTEST_SKIP() << "needs the Linux stand-in's wait hook: Windows cannot hold the worker there"
#endif
