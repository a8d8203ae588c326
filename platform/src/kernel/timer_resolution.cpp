// timeBeginPeriod and timeEndPeriod: balanced requests per period, counted for the tests.
#include <mmsystem.h>
#include <tavoren_platform_probe.h>

#include <atomic>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex periodLock;
std::atomic<long> begun{0};

// Requests granted and not yet ended, by period; guarded by periodLock.
std::map<UINT, long>& Active() {
    static std::map<UINT, long>* active = new std::map<UINT, long>;
    return *active;
}

}  // namespace
}  // namespace platform

extern "C" MMRESULT timeBeginPeriod(UINT period) {
    if (period == 0) return TIMERR_NOCANDO;
    std::lock_guard<std::mutex> guard(platform::periodLock);
    ++platform::Active()[period];
    ++platform::begun;
    return TIMERR_NOERROR;
}

extern "C" MMRESULT timeEndPeriod(UINT period) {
    std::lock_guard<std::mutex> guard(platform::periodLock);
    auto found = platform::Active().find(period);
    if (found == platform::Active().end()) return TIMERR_NOCANDO;
    if (--found->second == 0) platform::Active().erase(found);
    return TIMERR_NOERROR;
}

extern "C" long TavorenTimerPeriodsActive(void) {
    std::lock_guard<std::mutex> guard(platform::periodLock);
    long active = 0;
    for (const auto& [period, count] : platform::Active()) active += count;
    return active;
}

extern "C" long TavorenTimerPeriodsBegun(void) {
    return platform::begun;
}
