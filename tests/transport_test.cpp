// The worker and the transport operations: each transition of the playback states, awaited
// through the window's invalidations, the worker's end, and the moments the Linux stand-in
// lets a test hold the worker at.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "module/viewer_messages.h"
#include "playback/transport.h"
#include "tests/support/faulty_decoder.h"
#include "tests/support/live_counts.h"
#include "tests/support/platform_info.h"
#include "tests/support/viewer_test.h"
#include "tests/support/wait_gate.h"
#include "tests/support/worker_waits.h"

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

namespace {

constexpr unsigned kTimeout = ViewerTest::kTimeout;
// Frames longer than any test waits: an advance seen within kTimeout did not wait them out.
constexpr uint16_t kLongDelay = 3000;  // hundredths: 30 s

struct TransportTest : ViewerTest {
    // The worker is held on frame `frame` after a step (or a pause that took effect).
    bool WaitForHeldFrame(TavorenGif* viewer, UINT frame) {
        return WaitUntil(
            [&] { return viewer->running && viewer->paused && viewer->currentFrame == frame; });
    }
    static void ExpectStopped(TavorenGif* viewer) {
        EXPECT_FALSE(viewer->workerExists);
        EXPECT_FALSE(viewer->running);
        EXPECT_FALSE(viewer->paused);
        EXPECT_EQ(viewer->stopEvent, nullptr);
        EXPECT_EQ(viewer->wakeEvent, nullptr);
        EXPECT_EQ(viewer->currentFrame, 0u);
        EXPECT_EQ(viewer->elapsed, 0);
    }
};

TEST_F(TransportTest, NothingStartsWithOneFrameOrWithoutAWindow) {
    TavorenGif* viewer = Open(SimpleAnimation(1, 4, 4, 10));
    EXPECT_EQ(Play(viewer), 0);
    StepPlayback(viewer);
    EXPECT_FALSE(viewer->workerExists);
    EXPECT_EQ(viewer->stopEvent, nullptr);

    TavorenGif* unattached = CreateInstance(nullptr);
    const std::vector<uint8_t> bytes = BuildGif(SimpleAnimation(3, 4, 4, 10));
    ASSERT_EQ(LoadFromMemory(unattached, {bytes.begin(), bytes.end()}).result, 0);
    EXPECT_EQ(Play(unattached), 0);
    EXPECT_FALSE(unattached->workerExists);
    EXPECT_EQ(unattached->wakeEvent, nullptr);
    DestroyInstance(unattached);
}

TEST_F(TransportTest, PlayRunsThroughTheFramesAndWrapsToTheStart) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, 2));  // 20 ms frames
    Play(viewer);
    EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == 0; })) << "no wrap-around";
    EXPECT_TRUE(viewer->running);
    EXPECT_FALSE(viewer->paused);
    StopPlayback(viewer);
    ExpectStopped(viewer);
}

TEST_F(TransportTest, StepsFromStoppedPausedAndOnTheLastFrame) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    StepPlayback(viewer);  // frame 0, then at once frame 1, held
    ASSERT_TRUE(WaitForHeldFrame(viewer, 1));
    EXPECT_EQ(viewer->elapsed, 30000);
    EXPECT_FALSE(viewer->stepRequested);

    StepPlayback(viewer);
    ASSERT_TRUE(WaitForHeldFrame(viewer, 2));
    EXPECT_EQ(viewer->elapsed, 60000);

    StepPlayback(viewer);  // the last frame wraps, and the position with it
    ASSERT_TRUE(WaitForHeldFrame(viewer, 0));
    EXPECT_EQ(viewer->elapsed, 0);
}

TEST_F(TransportTest, AStepWhilePlayingCutsTheFrameShortAndHolds) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    Play(viewer);
    ASSERT_TRUE(harness->window().WaitForInvalidation(1, kTimeout));
    StepPlayback(viewer);
    EXPECT_TRUE(WaitForHeldFrame(viewer, 1));
}

TEST_F(TransportTest, PlayWithinAPausedFrameAdvancesAtOnce) {
    TavorenGif* viewer = Open(SimpleAnimation(2, 4, 4, kLongDelay));
    Play(viewer);
    ASSERT_TRUE(harness->window().WaitForInvalidation(1, kTimeout));
    PausePlayback(viewer);
    EXPECT_TRUE(viewer->paused);
    EXPECT_EQ(viewer->currentFrame, 0u);
    Play(viewer);
    EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == 1; }));
    EXPECT_FALSE(viewer->paused);
    EXPECT_EQ(viewer->elapsed, 30000);
}

// Play on a playing worker asks nothing of it: no wake, no second worker, and the frame in
// progress keeps its full time. The worker is held where it begins that wait, so that a wake
// would stay in its event.
TEST_F(TransportTest, PlayWhilePlayingChangesNothing) {
    SKIP_WITHOUT_WAIT_HOOK();
#if !defined(_WIN32)
    TavorenGif* viewer = Open(SimpleAnimation(2, 4, 4, kLongDelay));
    {
        WaitGate gate(2, WaitGate::kTimed);
        Play(viewer);
        ASSERT_TRUE(gate.WaitUntilHeld(kTimeout));
        const HANDLE stop = viewer->stopEvent, wake = viewer->wakeEvent;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Play(viewer), 0);
        EXPECT_EQ(viewer->stopEvent, stop);
        EXPECT_EQ(viewer->wakeEvent, wake);
        EXPECT_EQ(WaitForSingleObject(wake, 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the worker was woken";
        EXPECT_EQ(gate.lastFrameWait(), 30000u) << "frame 0 waits its full time";
        EXPECT_FALSE(viewer->paused);
        EXPECT_FALSE(viewer->stepRequested);
        EXPECT_EQ(viewer->currentFrame, 0u);
        EXPECT_EQ(TavorenLiveThreads(), 1) << "one worker";
    }
    StopPlayback(viewer);
    ExpectStopped(viewer);
#endif
}

TEST_F(TransportTest, PauseWithoutAWorkerOnlyDropsAStepRequest) {
    TavorenGif* viewer = Open(SimpleAnimation(2, 4, 4, kLongDelay));
    PausePlayback(viewer);  // no worker: only the request is dropped
    EXPECT_FALSE(viewer->paused);
    viewer->stepRequested = true;
    PausePlayback(viewer);
    EXPECT_FALSE(viewer->stepRequested);
}

// A step that can start nothing (one frame, or no window yet) must not wait for a later
// start: the next image's Play would show frame 0, step to frame 1 and hold there.
TEST_F(TransportTest, AStepThatStartsNothingIsDropped) {
    TavorenGif* viewer = Open(SimpleAnimation(1, 4, 4, 10));
    StepPlayback(viewer);
    EXPECT_FALSE(viewer->stepRequested);

    TavorenGif* unattached = CreateInstance(nullptr);
    const std::vector<uint8_t> bytes = BuildGif(SimpleAnimation(3, 4, 4, 10));
    ASSERT_EQ(LoadFromMemory(unattached, {bytes.begin(), bytes.end()}).result, 0);
    StepPlayback(unattached);
    EXPECT_FALSE(unattached->stepRequested);
    DestroyInstance(unattached);

    // The same viewer, now with an animation: Play plays and does not hold.
    ASSERT_TRUE(harness->Open(SimpleAnimation(3, 4, 4, 2)));
    Play(viewer);
    EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == 2; })) << "held after a step";
    EXPECT_FALSE(viewer->paused);
}

// A host with play and step controls of its own sends their requests in quick succession,
// here with random gaps of up to 200 us. Whatever the worker is doing when they arrive, the
// paused animation must move on.
TEST_F(TransportTest, QuickRequestsOnAPausedWorkerAlwaysMoveIt) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    StepPlayback(viewer);
    ASSERT_TRUE(WaitForHeldFrame(viewer, 1));
    struct Case {
        const char* name;
        std::vector<UINT> requests;
        bool held;  // paused after the frame
    };
    const Case cases[] = {{"play", {VM_PLAY}, false},
                          {"play, play", {VM_PLAY, VM_PLAY}, false},
                          {"step, play", {VM_STEP, VM_PLAY}, false},
                          {"step, step", {VM_STEP, VM_STEP}, true},
                          {"step, play, play", {VM_STEP, VM_PLAY, VM_PLAY}, false}};
    std::mt19937 random(14);
    for (int trial = 0; trial < 20; ++trial) {
        for (const Case& c : cases) {
            HandleMessage(viewer, VM_PAUSE, 0, 0);
            const int shown = harness->window().invalidations();
            for (UINT request : c.requests) {
                HandleMessage(viewer, request, 0, 0);
                const auto gapEnd =
                    std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 200);
                while (std::chrono::steady_clock::now() < gapEnd) {
                }
            }
            ASSERT_TRUE(harness->window().WaitForInvalidation(shown + 1, kTimeout))
                << c.name << ", trial " << trial << ": frozen on frame " << viewer->currentFrame;
            if (c.held) {
                EXPECT_TRUE(WaitUntil([&] { return viewer->paused && !viewer->stepRequested; }))
                    << c.name;
            } else {
                EXPECT_FALSE(viewer->paused) << c.name;
            }
        }
    }
}

// The same requests while the worker is held where it has chosen to wait without end and
// has not yet begun to.
TEST_F(TransportTest, QuickRequestsBeforeTheUnboundedWaitBeginsMoveIt) {
    SKIP_WITHOUT_WAIT_HOOK();
#if !defined(_WIN32)
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    const std::vector<UINT> sequences[] = {
        {VM_PLAY, VM_PLAY}, {VM_STEP, VM_PLAY}, {VM_STEP, VM_STEP}, {VM_STEP, VM_PLAY, VM_PLAY}};
    for (const std::vector<UINT>& requests : sequences) {
        for (int trial = 0; trial < 5; ++trial) {
            const int shown = harness->window().invalidations();
            {
                WaitGate gate(2, INFINITE);
                StepPlayback(viewer);  // from stopped: frame 0, then frame 1, held
                ASSERT_TRUE(gate.WaitUntilHeld(kTimeout));
                for (UINT request : requests) HandleMessage(viewer, request, 0, 0);
            }
            EXPECT_TRUE(harness->window().WaitForInvalidation(shown + 3, kTimeout))
                << "frozen on frame " << viewer->currentFrame << " after " << requests.size()
                << " requests, trial " << trial;
            StopPlayback(viewer);
        }
    }
#endif
}

TEST_F(TransportTest, StopWhilePausedEndsTheWorkerAndRewinds) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    StepPlayback(viewer);
    ASSERT_TRUE(WaitForHeldFrame(viewer, 1));
    StopPlayback(viewer);
    // The position goes back with the frame: both say "frame 0" until the next start.
    ExpectStopped(viewer);
}

TEST_F(TransportTest, StopWithoutAWorkerChangesNothing) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    viewer->stepRequested = true;
    StopPlayback(viewer);
    EXPECT_TRUE(viewer->stepRequested);
    EXPECT_FALSE(viewer->workerExists);
}

TEST_F(TransportTest, ACompositionFailureEndsTheWorkerAndPlayStartsAfresh) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, 2));
    FaultyDecoder::Install(viewer->decoder, 1, FaultyDecoder::Fault::Fail);
    Play(viewer);
    const HANDLE firstStop = viewer->stopEvent;
    ASSERT_NE(firstStop, nullptr);
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    ExpectStopped(viewer);
    EXPECT_TRUE(harness->window().WaitForInvalidation(1, kTimeout)) << "frame 0 was not shown";

    const int shown = harness->window().invalidations();
    Play(viewer);  // frame 0 again, with events of its own
    EXPECT_TRUE(viewer->stopEvent != nullptr);
#if !defined(_WIN32)
    EXPECT_NE(viewer->stopEvent, firstStop);
#endif
    EXPECT_TRUE(harness->window().WaitForInvalidation(shown + 1, kTimeout));
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    ExpectStopped(viewer);
}

// After a failed reload there is no decoder: a worker on a frame count left behind would
// find no frame to decode, and end.
TEST_F(TransportTest, WithoutADecoderTheWorkerEnds) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, 2));
    viewer->decoder->Release();
    viewer->decoder = nullptr;
    Play(viewer);
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    ExpectStopped(viewer);
}

// On Windows an unhandled breakpoint ends the process: with no debugger attached, the
// worker must end quietly.
TEST_F(TransportTest, AnExceptionEndsTheWorkerAndNotTheProcess) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, 2));
    FaultyDecoder::Install(viewer->decoder, 0, FaultyDecoder::Fault::Throw);
    Play(viewer);
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    ExpectStopped(viewer);
}

// A worker holds one reference to the module (so that the host may unload it the moment the
// viewer is gone) and one 1 ms timer resolution request from its start to its very end, and
// gives both back whichever way it ends.
TEST_F(TransportTest, AWorkerHoldsTheModuleAndTheFinerTimerUntilItEnds) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows tells neither a module's reference count nor the process's timer "
                    "requests (the unload test in boundary_tests shows the references there)";
#else
    const GifImage image = SimpleAnimation(3, 4, 4, kLongDelay);
    TavorenGif* viewer = Open(image);
    const long begun = TavorenTimerPeriodsBegun();
    auto held = [&] {
        return TavorenModuleReferences() == baseline.moduleReferences + 1 &&
               TavorenTimerPeriodsActive() == baseline.timerPeriods + 1;
    };
    auto givenBack = [&] {
        TavorenWaitForLiveThreads(0, kTimeout);
        return TavorenModuleReferences() == baseline.moduleReferences &&
               TavorenTimerPeriodsActive() == baseline.timerPeriods;
    };
    auto playing = [&] { return WaitUntil([&] { return viewer->running.load(); }); };

    Play(viewer);
    ASSERT_TRUE(playing());
    EXPECT_TRUE(held()) << "playing";
    StopPlayback(viewer);
    EXPECT_TRUE(givenBack()) << "after a stop";

    StepPlayback(viewer);
    ASSERT_TRUE(WaitForHeldFrame(viewer, 1));
    EXPECT_TRUE(held()) << "paused after a step";
    StopPlayback(viewer);
    EXPECT_TRUE(givenBack()) << "after a stop while paused";

    Play(viewer);
    ASSERT_TRUE(playing());
    ASSERT_TRUE(harness->Open(image));  // a reload ends the worker
    EXPECT_TRUE(givenBack()) << "after a reload";

    FaultyDecoder::Install(viewer->decoder, 0, FaultyDecoder::Fault::Fail);
    Play(viewer);
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    EXPECT_TRUE(givenBack()) << "after the worker ended on a failed composition";

    viewer = Open(image);
    Play(viewer);
    ASSERT_TRUE(playing());
    harness.reset();  // DestroyInstance while playing
    EXPECT_TRUE(givenBack()) << "after the viewer's destruction";
    EXPECT_EQ(TavorenTimerPeriodsBegun(), begun + 5) << "one request a worker";
#endif
}

// Before the worker sets `running` the flags read as stopped: a second start must not make a
// second worker, and a stop, a reload or a destroy must wait for the one that is starting.
TEST_F(TransportTest, StartsAndStopsBeforeTheWorkerRunsMeetOneWorker) {
    const std::vector<uint8_t> bytes = BuildGif(SimpleAnimation(3, 4, 4, 2));
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, 2));
    for (int round = 0; round < 100; ++round) {
        Play(viewer);
        Play(viewer);
        StepPlayback(viewer);
        Play(viewer);
#if !defined(_WIN32)
        EXPECT_LE(TavorenLiveThreads(), 1 + baseline.threads) << "round " << round;
#endif
        StopPlayback(viewer);
        ExpectStopped(viewer);
        LiveCounts::Settled(baseline, kTimeout);
    }
    for (int round = 0; round < 20; ++round) {
        Play(viewer);
        ASSERT_EQ(LoadFromMemory(viewer, {bytes.begin(), bytes.end()}).result, 0);
        EXPECT_FALSE(viewer->workerExists);
        ASSERT_EQ(AttachWindow(viewer, harness->window().hwnd()), 0);
    }
    for (int round = 0; round < 20; ++round) {
        TavorenGif* other = CreateInstance(nullptr);
        ASSERT_EQ(LoadFromMemory(other, {bytes.begin(), bytes.end()}).result, 0);
        ASSERT_EQ(AttachWindow(other, harness->window().hwnd()), 0);
        Play(other);
        DestroyInstance(other);  // under ASan a worker left running would touch freed memory
    }
}

// A frame whose delay cannot be read is shown for 0 ms: the worker moves on at once.
TEST_F(TransportTest, FramesWithoutADelayFollowWithoutWaiting) {
    if (RunningInEmulatedMachine()) {
        GTEST_SKIP() << "in an emulated machine a frame costs more than the 33 ms that 300 "
                        "frames within the timeout allow";
    }
    GifImage image = SimpleAnimation(3, 4, 4, 0);
    for (GifFrame& frame : image.frames) frame.control.reset();
    TavorenGif* viewer = Open(image);
    Play(viewer);
    // At the 100 ms of a stored delay of 0, 300 frames would take three times the timeout.
    EXPECT_TRUE(harness->window().WaitForInvalidation(300, kTimeout));
    EXPECT_EQ(viewer->frameDelay, 0u);
}

// The worker has chosen to wait without end (it is paused) but is not yet waiting when the
// window thread resumes it: the resume must still end that wait.
TEST_F(TransportTest, AResumeBeforeTheUnboundedWaitBeginsStillEndsIt) {
    SKIP_WITHOUT_WAIT_HOOK();
#if !defined(_WIN32)
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    {
        WaitGate gate(2, INFINITE);
        StepPlayback(viewer);  // frame 1, then the paused wait
        ASSERT_TRUE(gate.WaitUntilHeld(kTimeout));
        Play(viewer);
    }
    EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == 2; }));

    {
        WaitGate gate(2, INFINITE);
        PausePlayback(viewer);
        StepPlayback(viewer);  // cuts frame 2 short, frame 0 then held
        ASSERT_TRUE(gate.WaitUntilHeld(kTimeout));
        StepPlayback(viewer);
    }
    EXPECT_TRUE(WaitForHeldFrame(viewer, 1));
#endif
}

// Requests made after the stop was signalled but before the worker has ended change
// nothing that outlives it, and never name a closed event.
TEST_F(TransportTest, RequestsWhileTheWorkerEndsLeaveNothingBehind) {
    SKIP_WITHOUT_WAIT_HOOK();
#if !defined(_WIN32)
    const long invalidUses = TavorenInvalidHandleUses();
    TavorenGif* viewer = Open(SimpleAnimation(3, 4, 4, kLongDelay));
    Play(viewer);
    ASSERT_TRUE(harness->window().WaitForInvalidation(1, kTimeout));
    {
        WaitGate gate(1, 0);  // the stop check at the top of the next pass
        StepPlayback(viewer);
        ASSERT_TRUE(gate.WaitUntilHeld(kTimeout));
        SetEvent(viewer->stopEvent);  // StopPlayback's signal, without its wait
        Play(viewer);
        PausePlayback(viewer);
        StepPlayback(viewer);
    }
    ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
    ExpectStopped(viewer);
    // The exit steps drop a step made while the worker ended: it cannot act, and a later
    // start must not take it.
    EXPECT_FALSE(viewer->stepRequested) << "a step made while ending outlived the worker";

    // Requests racing the exit itself: a step from stopped shows frame 0, and frame 1 fails
    // at once, so each worker lives a fraction of a millisecond. Requests that come after its
    // end start the next one, which ends as quickly.
    viewer = Open(SimpleAnimation(3, 4, 4, 2));
    FaultyDecoder::Install(viewer->decoder, 1, FaultyDecoder::Fault::Fail);
    for (int round = 0; round < 300; ++round) {
        StepPlayback(viewer);
        for (int request = 0; request < 1000 && viewer->workerExists; ++request) {
            PausePlayback(viewer);
            Play(viewer);
            StepPlayback(viewer);
        }
        StopPlayback(viewer);
        ExpectStopped(viewer);
    }
    EXPECT_EQ(TavorenInvalidHandleUses(), invalidUses);
#endif
}

}  // namespace
