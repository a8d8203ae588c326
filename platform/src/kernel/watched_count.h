// A count that the tests' probes may wait on until it reaches a value, with a deadline.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class WatchedCount {
  public:
    void Add(long change) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            value_ += change;
        }
        changed_.notify_all();
    }
    long value() {
        std::lock_guard<std::mutex> guard(lock_);
        return value_;
    }
    // Whether `reached` held of the count before `milliseconds` had passed.
    template <typename Condition>
    BOOL WaitUntil(DWORD milliseconds, Condition reached) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [&] { return reached(value_); })
                   ? TRUE
                   : FALSE;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    long value_ = 0;
};

}  // namespace platform
