// What the platform holds on the module's behalf, to show that playback leaves nothing behind.
// Linux: the stand-in's counts of COM objects, events, worker threads, menus, module references
// and timer resolution requests. Windows keeps no
// such counts; there the process's handle count (events and thread handles among them) is
// the one measure.
#pragma once

#include <windows.h>

#include <ostream>

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

struct LiveCounts {
    long comObjects = 0;
    long events = 0;
    long threads = 0;
    long menus = 0;
    long moduleReferences = 0;
    long timerPeriods = 0;
    DWORD handles = 0;

    static LiveCounts Now() {
        LiveCounts counts;
#if defined(_WIN32)
        GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
#else
        counts.comObjects = TavorenLiveComObjects();
        counts.events = TavorenLiveEvents();
        counts.threads = TavorenLiveThreads();
        counts.menus = TavorenLiveMenus();
        counts.moduleReferences = TavorenModuleReferences();
        counts.timerPeriods = TavorenTimerPeriodsActive();
#endif
        return counts;
    }

    // The counts once every worker started since `baseline` has ended, or at the timeout.
    // A worker's thread outlives its last access to the viewer by a few instructions (and on
    // Windows by the runtime's closing of its handle), so this waits for the threads first.
    static LiveCounts Settled(const LiveCounts& baseline, unsigned timeoutMs) {
#if defined(_WIN32)
        // Windows tells of no thread's end without its handle, which the runtime keeps.
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        LiveCounts counts = Now();
        while (counts.handles > baseline.handles && GetTickCount64() < deadline) {
            Sleep(1);
            counts = Now();
        }
        return counts;
#else
        TavorenWaitForLiveThreads(baseline.threads, timeoutMs);
        return Now();
#endif
    }

    bool SameAs(const LiveCounts& other) const {
        return comObjects == other.comObjects && events == other.events &&
               threads == other.threads && menus == other.menus &&
               moduleReferences == other.moduleReferences && timerPeriods == other.timerPeriods &&
               handles <= other.handles;
    }
};

inline std::ostream& operator<<(std::ostream& out, const LiveCounts& counts) {
    return out << "{COM objects " << counts.comObjects << ", events " << counts.events
               << ", threads " << counts.threads << ", menus " << counts.menus << ", handles "
               << counts.handles << "}";
}
