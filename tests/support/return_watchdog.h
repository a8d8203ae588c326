// Turns "this call must return" into a failure with a name instead of a test run that hangs
// until the runner's timeout: the process ends with a message when an armed call has not
// returned within the time given.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class ReturnWatchdog {
  public:
    explicit ReturnWatchdog(unsigned timeoutMs)
        : timeout_(timeoutMs), thread_([this] { Watch(); }) {}
    ~ReturnWatchdog() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReturnWatchdog(const ReturnWatchdog&) = delete;
    ReturnWatchdog& operator=(const ReturnWatchdog&) = delete;

    // Runs `call`, which must return within the timeout; `what` names it in the message.
    template <typename Call>
    void Expect(const std::string& what, Call&& call) {
        {
            std::lock_guard lock(mutex_);
            what_ = what;
            deadline_ = std::chrono::steady_clock::now() + timeout_;
            armed_ = true;
        }
        changed_.notify_all();
        call();
        {
            std::lock_guard lock(mutex_);
            armed_ = false;
        }
        changed_.notify_all();
    }

  private:
    void Watch() {
        std::unique_lock lock(mutex_);
        while (!quit_) {
            if (!armed_) {
                changed_.wait(lock);
            } else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
                       std::chrono::steady_clock::now() >= deadline_) {
                std::fprintf(stderr, "%s did not return within %lld ms\n", what_.c_str(),
                             static_cast<long long>(timeout_.count()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    const std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false, quit_ = false;
    std::string what_;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;  // last: it starts watching once the rest exists
};
