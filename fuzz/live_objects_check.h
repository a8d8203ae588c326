// Each input must leave behind nothing of the stand-in's: no COM object, event, thread or
// menu more than before it. A reference kept by mistake stays reachable from the stand-in's
// own records, where the leak checker would not see it, so the counts are compared here and
// a difference ends the run like any other finding.
#pragma once

#include <tavoren_platform_probe.h>

#include <cstdio>
#include <cstdlib>

class LiveObjectsCheck {
  public:
    LiveObjectsCheck()
        : comObjects_(TavorenLiveComObjects()),
          events_(TavorenLiveEvents()),
          threads_(TavorenLiveThreads()),
          menus_(TavorenLiveMenus()) {}
    LiveObjectsCheck(const LiveObjectsCheck&) = delete;
    LiveObjectsCheck& operator=(const LiveObjectsCheck&) = delete;

    ~LiveObjectsCheck() {
        const long comObjects = TavorenLiveComObjects(), events = TavorenLiveEvents();
        const long threads = TavorenLiveThreads(), menus = TavorenLiveMenus();
        if (comObjects == comObjects_ && events == events_ && threads == threads_ &&
            menus == menus_) {
            return;
        }
        std::fprintf(stderr,
                     "live objects left by this input: COM objects %ld -> %ld, events %ld -> "
                     "%ld, threads %ld -> %ld, menus %ld -> %ld\n",
                     comObjects_, comObjects, events_, events, threads_, threads, menus_, menus);
        std::abort();
    }

  private:
    const long comObjects_, events_, threads_, menus_;
};
