// The total duration and position after a switch of the timing rule, on a stopped, a paused
// and a playing viewer, and the notification to the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "analysis/recompute_timing.h"
#include "module/entry_points.h"
#include "module/viewer_messages.h"
#include "playback/transport.h"
#include "tests/support/faulty_decoder.h"
#include "tests/support/viewer_harness.h"
#include "tests/support/worker_waits.h"

namespace {

constexpr unsigned kTimeout = 10000;

GifImage WithDelays(std::initializer_list<uint16_t> delays) {
    GifImage image = SimpleAnimation(static_cast<unsigned>(delays.size()), 4, 4, 0);
    size_t i = 0;
    for (uint16_t delay : delays) image.frames[i++].control->delay = delay;
    return image;
}

bool TimingNotified(TestWindow& window) {
    const std::vector<TestWindow::Message> posted = window.PostedMessages();
    return std::count(posted.begin(), posted.end(),
                      TestWindow::Message{VM_NOTIFY, kNotifyTimingChanged, 0}) == 1;
}

void Switch(TavorenGif* viewer, bool ieTiming) {
    viewer->ieTiming = ieTiming;
    RecomputeTiming(viewer);
}

TEST(RecomputeTiming, APausedViewerGetsTheNewTotalAndPositionAndStaysPaused) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({10, 3, 3, 20})));
    TavorenGif* viewer = harness.viewer();
    EXPECT_EQ(viewer->totalDuration, 360);
    for (UINT frame : {1u, 2u}) {
        StepPlayback(viewer);
        ASSERT_TRUE(harness.window().WaitUntil(
            [&] { return viewer->paused && viewer->currentFrame == frame; }, kTimeout));
    }
    EXPECT_EQ(viewer->elapsed, 130);
    harness.window().PostedMessages();

    Switch(viewer, true);
    EXPECT_EQ(viewer->totalDuration, 500);
    EXPECT_EQ(viewer->elapsed, 200);
    EXPECT_TRUE(viewer->hasShortDelays);
    EXPECT_TRUE(viewer->running && viewer->paused);
    EXPECT_EQ(viewer->currentFrame, 2u);
    EXPECT_TRUE(TimingNotified(harness.window()));

    Switch(viewer, false);
    EXPECT_EQ(viewer->totalDuration, 360);
    EXPECT_EQ(viewer->elapsed, 130);
    EXPECT_TRUE(viewer->running && viewer->paused);
    EXPECT_TRUE(TimingNotified(harness.window()));
}

TEST(RecomputeTiming, APlayingWorkerIsReleasedAtOnce) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({3000, 3})));  // frame 0 is shown for 30 s
    TavorenGif* viewer = harness.viewer();
    Play(viewer);
    ASSERT_TRUE(harness.window().WaitForInvalidation(1, kTimeout));
    // A position that is not frame 0's: the switch must set it, not leave it.
    viewer->elapsed = 12345;
    Switch(viewer, true);
    EXPECT_EQ(viewer->totalDuration, 30100);
    // Set to 0 and released, the worker adds frame 0's time and goes on to frame 1 well
    // within the 30 s.
    EXPECT_TRUE(harness.window().WaitUntil(
        [&] { return viewer->currentFrame == 1 && viewer->elapsed == 30000; }, kTimeout));
    EXPECT_FALSE(viewer->paused);
}

// A worker that is past its wait when the recomputation begins may advance while the frames
// are walked. The position must be that of the frame it is on once the walk is done, under
// the new rule: here the worker goes from frame 1 to frame 2 while the last frame is read.
TEST(RecomputeTiming, TheWorkersAdvanceDuringTheWalkIsCounted) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({10, 3, 3, 20})));
    TavorenGif* viewer = harness.viewer();
    StepPlayback(viewer);
    ASSERT_TRUE(harness.window().WaitUntil(
        [&] { return viewer->paused && viewer->currentFrame == 1; }, kTimeout));
#if !defined(_WIN32)
    // The worker moves to frame 1 before it composes it: the decoder is replaced only once the
    // worker waits again and no longer uses it.
    ASSERT_TRUE(TavorenWaitForBlockedWaits(1, kTimeout));
#endif
    const std::thread::id windowThread = std::this_thread::get_id();
    bool advanced = false;
    FaultyDecoder::Install(viewer->decoder, 3, FaultyDecoder::Fault::Call, [&] {
        // Only the walk's fetch, on this thread; the worker fetches frames too.
        if (std::this_thread::get_id() != windowThread || advanced) return;
        advanced = true;
        StepPlayback(viewer);  // stands for the advance the worker had already decided on
        EXPECT_TRUE(
            harness.window().WaitUntil([&] { return viewer->currentFrame == 2; }, kTimeout));
    });
    Switch(viewer, true);
    ASSERT_TRUE(advanced);
    EXPECT_EQ(viewer->currentFrame, 2u);
    EXPECT_EQ(viewer->totalDuration, 500);
    EXPECT_EQ(viewer->elapsed, 200) << "100 + 100 under the IE-compatible rule";
    StopPlayback(viewer);
}

TEST(RecomputeTiming, ASingleFrameCountsOnceTheRuleIsSwitched) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({0})));
    TavorenGif* viewer = harness.viewer();
    EXPECT_EQ(viewer->totalDuration, 0);
    Switch(viewer, true);
    EXPECT_EQ(viewer->totalDuration, 100);
    Switch(viewer, false);
    EXPECT_EQ(viewer->totalDuration, 100);

    ASSERT_TRUE(harness.Open(WithDelays({3})));
    EXPECT_FALSE(viewer->hasShortDelays);
    Switch(viewer, true);
    EXPECT_TRUE(viewer->hasShortDelays);
    EXPECT_EQ(viewer->totalDuration, 100);
}

TEST(RecomputeTiming, AStoppedViewerIsUpdatedAndToldButNotStarted) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({4, 4, 4})));
    TavorenGif* viewer = harness.viewer();
    EXPECT_EQ(viewer->totalDuration, 120);
    harness.window().PostedMessages();
    Switch(viewer, true);
    EXPECT_EQ(viewer->totalDuration, 300);
    EXPECT_EQ(viewer->elapsed, 0);
    EXPECT_TRUE(TimingNotified(harness.window()));
    EXPECT_FALSE(viewer->workerExists);
    EXPECT_EQ(viewer->stopEvent, nullptr);
}

// A reload that fails leaves no decoder; a frame count that outlived it must not be walked.
TEST(RecomputeTiming, WithoutADecoderNothingIsAdded) {
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(WithDelays({4, 4, 4})));
    TavorenGif* viewer = harness.viewer();
    const std::vector<BYTE> garbage(64, 0x5A);
    ASSERT_EQ(LoadFromMemory(viewer, garbage).result, -1);
    EXPECT_EQ(viewer->decoder, nullptr);
    EXPECT_EQ(viewer->frameCount, 0u);
    viewer->frameCount = 3;
    Switch(viewer, true);
    EXPECT_EQ(viewer->totalDuration, 0);
    EXPECT_EQ(viewer->elapsed, 0);
    viewer->frameCount = 0;
}

// The recomputation reads the decoder while the worker decodes with it, frame after frame:
// frames without a delay follow one another at once.
TEST(RecomputeTiming, SwitchesWhileFramesOfZeroMillisecondsPlay) {
    ViewerHarness harness(8, 8);
    GifImage image = WithDelays({0, 4, 0, 4});
    image.frames[0].control.reset();
    image.frames[2].control.reset();
    ASSERT_TRUE(harness.Open(image));
    TavorenGif* viewer = harness.viewer();
    Play(viewer);
    for (int i = 0; i < 200; ++i) {
        const bool ieTiming = i % 2 == 0;
        Switch(viewer, ieTiming);
        EXPECT_EQ(viewer->totalDuration, ieTiming ? 200 : 80);
    }
    const int shown = harness.window().invalidations();
    EXPECT_TRUE(harness.window().WaitForInvalidation(shown + 20, kTimeout)) << "playback stalled";
    EXPECT_FALSE(viewer->paused);
    StopPlayback(viewer);
}

// Keys T then I handled back to back: the step survives the switch, and the stepped frame is
// shown and held, from a stopped viewer and from one paused on frame 1.
TEST(RecomputeTiming, AStepThenASwitchHoldsTheSteppedFrame) {
    struct Case {
        const char* name;
        UINT stepsBefore;  // steps taken and held before the keys
        UINT held;         // the frame that must be held after them
    };
    for (const Case& c : {Case{"stopped", 0, 1}, Case{"paused on frame 1", 1, 2}}) {
        SCOPED_TRACE(c.name);
        ViewerHarness harness(8, 8);
        ASSERT_TRUE(harness.Open(WithDelays({3000, 3, 3000, 3000})));  // nothing times out
        TavorenGif* viewer = harness.viewer();
        for (UINT frame = 1; frame <= c.stepsBefore; ++frame) {
            StepPlayback(viewer);
            ASSERT_TRUE(harness.window().WaitUntil(
                [&] { return viewer->paused && viewer->currentFrame == frame; }, kTimeout));
        }
        HandleMessage(viewer, WM_KEYDOWN, 'T', 0);
        HandleMessage(viewer, WM_KEYDOWN, 'I', 0);
        EXPECT_TRUE(harness.window().WaitUntil(
            [&] { return viewer->running && viewer->currentFrame == c.held; }, kTimeout));
        EXPECT_TRUE(viewer->paused) << "playing instead of holding the stepped frame";
        StopPlayback(viewer);
    }
}

// After a switch, each frame's position is the sum of the display times before it under the
// new rule, also for the frame that was on screen when the rule changed (decoded under the
// old one). Delays 10, 3, 3, 20 hundredths: starts 0, 100, 200, 300 under the IE rule.
TEST(RecomputeTiming, AfterASwitchEachPositionIsUnderTheNewRule) {
    constexpr INT kStarts[] = {0, 100, 200, 300};
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused on frame 1, then played" : "playing on frame 1");
        ViewerHarness harness(8, 8);
        ASSERT_TRUE(harness.Open(WithDelays({10, 3, 3, 20})));
        TavorenGif* viewer = harness.viewer();
        if (paused) {
            StepPlayback(viewer);
        } else {
            Play(viewer);
        }
        ASSERT_TRUE(
            harness.window().WaitUntil([&] { return viewer->currentFrame == 1; }, kTimeout));
        Switch(viewer, true);
        if (paused) Play(viewer);
        // Each frame reached up to the last, with the position the worker gave it, read
        // together under the lock the advance takes.
        std::map<UINT, INT> positions;
        const UINT switchedOn = viewer->currentFrame;
        EXPECT_TRUE(harness.window().WaitUntil(
            [&] {
                std::lock_guard<std::mutex> guard(viewer->transportLock);
                positions[viewer->currentFrame] = viewer->elapsed;
                return viewer->currentFrame == 3;
            },
            kTimeout));
        for (const auto& [frame, position] : positions) {
            if (frame > switchedOn) {
                EXPECT_EQ(position, kStarts[frame]) << "frame " << frame;
            }
        }
        EXPECT_TRUE(positions.count(3));
        StopPlayback(viewer);
    }
}

}  // namespace
