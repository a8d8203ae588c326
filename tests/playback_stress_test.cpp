// Random transport operations, timing switches, reloads and destroys against playing
// animations of 2 and of 50 frames: every stop returns, nothing crashes, and what the viewers
// held is given back. TAVOREN_STRESS_OPERATIONS sets the number of operations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "analysis/recompute_timing.h"
#include "playback/transport.h"
#include "tests/support/live_counts.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/test_window.h"
#include "tests/support/gif_builder.h"

namespace {

constexpr unsigned kTimeout = 10000;
// Far above the longest frame (100 ms): under Wine a new worker's first frame on a busy
// machine has taken over 3 s (Wine's Direct2D makes a graphics context for each thread).
constexpr unsigned kFrameBoundMs = kTimeout;

bool Wine32() {
    return RunningUnderWine() && sizeof(void*) == 4;
}

unsigned OperationCount() {
    if (const char* value = std::getenv("TAVOREN_STRESS_OPERATIONS")) {
        return static_cast<unsigned>(std::strtoul(value, nullptr, 10));
    }
    if (!RunningUnderWine()) return 3000;
    // Wine's Direct2D keeps address space for every thread that has drawn (some 5 MB), and
    // more for each window target such a thread drew on; a 32-bit process has 2 GB.
    if (Wine32()) {
        std::printf(
            "under 32-bit Wine: 800 operations on one window target, as Wine's "
            "Direct2D keeps memory for every drawing thread\n");
        return 800;
    }
    return 2000;
}

enum class Operation { Play, Pause, Step, Stop, SwitchTiming, AwaitFrame, Reload, Destroy };

struct Stress {
    explicit Stress(unsigned seed) : random(seed), window(16, 16) {
        images[0] = BuildGif(SimpleAnimation(2, 8, 8, 2));  // 20 ms frames
        GifImage fifty = SimpleAnimation(50, 8, 8, 1);      // raised to 100 ms
        for (size_t i = 0; i < fifty.frames.size(); i += 3) fifty.frames[i].control->delay = 2;
        for (size_t i = 1; i < fifty.frames.size(); i += 4) fifty.frames[i].control->disposal = 2;
        images[1] = BuildGif(fifty);
    }
    ~Stress() { DestroyInstance(viewer); }

    bool Open() {
        const std::vector<uint8_t>& bytes = images[random() % 2];
        if (!viewer) viewer = CreateInstance(nullptr);
        return LoadFromMemory(viewer, {bytes.begin(), bytes.end()}).result == 0 &&
               AttachWindow(viewer, window.hwnd()) == 0;
    }

    // Weights per thousand. Each reload or destroy makes a window target, which costs Wine's
    // Direct2D about a second, so under Wine they are rare (and absent under 32-bit Wine,
    // see OperationCount).
    Operation Pick() {
        const unsigned rebuilds = Wine32() ? 0 : RunningUnderWine() ? 5 : 50;
        const unsigned roll = random() % (1000 + 2 * rebuilds);
        if (roll < 220) return Operation::Play;
        if (roll < 400) return Operation::Pause;
        if (roll < 600) return Operation::Step;
        if (roll < 750) return Operation::Stop;
        if (roll < 850) return Operation::SwitchTiming;
        if (roll < 1000) return Operation::AwaitFrame;
        return roll < 1000 + rebuilds ? Operation::Reload : Operation::Destroy;
    }

    // Runs one operation; false when something did not hold.
    bool Run(Operation operation) {
        switch (operation) {
            case Operation::Play:
                return Play(viewer) == 0;
            case Operation::Pause:
                PausePlayback(viewer);
                return true;
            case Operation::Step:
                StepPlayback(viewer);
                return true;
            case Operation::Stop:
                StopPlayback(viewer);
                return !viewer->workerExists && !viewer->running && !viewer->stopEvent &&
                       !viewer->wakeEvent && viewer->currentFrame == 0 && viewer->elapsed == 0;
            case Operation::SwitchTiming:
                viewer->ieTiming = !viewer->ieTiming;
                RecomputeTiming(viewer);
                return true;
            case Operation::AwaitFrame: {
                // A worker that runs (or is about to begin) and is not paused must show a
                // frame: every frame here is shown for 100 ms at most. A paused or stopped one
                // shows none.
                window.PostedMessages();
                const int shown = window.invalidations();
                if (!viewer->workerExists || viewer->paused) return true;
                if (window.WaitForInvalidation(shown + 1, kFrameBoundMs)) return true;
                std::printf("no frame within %u ms: running %d, paused %d, step %d, frame %u\n",
                            kFrameBoundMs, int{viewer->running}, int{viewer->paused},
                            int{viewer->stepRequested}, viewer->currentFrame.load());
                return false;
            }
            case Operation::Reload:
                return Open() && !viewer->running;
            case Operation::Destroy:
                DestroyInstance(viewer);
                viewer = nullptr;
                return Open();
        }
        return false;
    }

    std::mt19937 random;
    TestWindow window;
    std::vector<uint8_t> images[2];
    TavorenGif* viewer = nullptr;
};

TEST(PlaybackStress, RandomOperationsOnPlayingAnimationsLeaveNothingBehind) {
    const unsigned operations = OperationCount();
    LiveCounts baseline = LiveCounts::Now();
#if defined(_WIN32)
    {
        // Windows keeps handles of its own after the first window target and worker.
        Stress warmUp(1);
        ASSERT_TRUE(warmUp.Open());
        Play(warmUp.viewer);
        warmUp.window.WaitForInvalidation(1, kTimeout);
    }
    baseline = LiveCounts::Settled(LiveCounts::Now(), kTimeout);
#endif
    unsigned counts[8] = {};
    unsigned workers = 0;
    {
        Stress stress(20261208);
        ASSERT_TRUE(stress.Open());
        Play(stress.viewer);
        for (unsigned i = 0; i < operations; ++i) {
            const Operation operation = stress.Pick();
            ++counts[static_cast<int>(operation)];
            const bool hadWorker = stress.viewer->workerExists;
            ASSERT_TRUE(stress.Run(operation))
                << "operation " << i << " (" << static_cast<int>(operation) << ")";
            if (!hadWorker && stress.viewer->workerExists) ++workers;
        }
        std::printf(
            "%u operations: play %u, pause %u, step %u, stop %u, timing switch %u, "
            "frame waits %u, reload %u, destroy %u; %u workers started, %d frames shown\n",
            operations, counts[0], counts[1], counts[2], counts[3], counts[4], counts[5], counts[6],
            counts[7], workers, stress.window.invalidations());
    }
    const LiveCounts left = LiveCounts::Settled(baseline, kTimeout);
    EXPECT_TRUE(left.SameAs(baseline)) << left << " after, " << baseline << " before";
}

}  // namespace
