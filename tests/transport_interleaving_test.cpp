// Every sequence of up to three requests (play, pause, step, stop, timing switch) delivered
// while the worker is held at each point of its pass that the Linux stand-in can hold it at.
// A model of the playback states says what must follow: which frames are shown, and whether
// the worker ends playing (in a wait with a timeout that the frame's time bounds), paused or
// stopped. The worker's state is read once it is blocked in a wait (or gone), then the
// frame on the window is checked as pixels, and a last resume must bring the next frame.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/recompute_timing.h"
#include "playback/transport.h"
#include "tests/support/viewer_test.h"
#include "tests/support/wait_gate.h"
#include "tests/support/worker_waits.h"

namespace {

#if defined(_WIN32)
TEST(TransportInterleaving, EverySequenceOfUpToThreeRequestsAtEveryHeldMoment) {
    SKIP_WITHOUT_WAIT_HOOK();
}
#else

constexpr unsigned kTimeout = ViewerTest::kTimeout;
constexpr UINT kFrames = 3;
// Frames that no case waits out: whatever advances did so because it was asked to.
constexpr uint16_t kLongDelay = 3000;  // hundredths: 30 s
constexpr DWORD kFrameMs = kLongDelay * 10;
// A wait for the rest of a frame that was not cut short: the whole case takes far less.
constexpr DWORD kRestOfFrameMs = kFrameMs - 5000;

enum class Request { Play, Pause, Step, Stop, SwitchTiming };
constexpr Request kRequests[] = {Request::Play, Request::Pause, Request::Step, Request::Stop,
                                 Request::SwitchTiming};
const char* Name(Request request) {
    switch (request) {
        case Request::Play:
            return "P";
        case Request::Pause:
            return "Pause";
        case Request::Step:
            return "T";
        case Request::Stop:
            return "S";
        case Request::SwitchTiming:
            return "I";
    }
    return "?";
}

// Where the requests find the worker.
enum class Moment {
    TimedWait,      // playing frame 0, about to wait out its time
    UnboundedWait,  // stepped to frame 1, about to wait without end
    WokenToPlay,    // resumed from frame 1, advanced, about to compose frame 2
    WokenToStep,    // stepped from frame 1, advanced, about to compose frame 2 and hold it
};
constexpr Moment kMoments[] = {Moment::TimedWait, Moment::UnboundedWait, Moment::WokenToPlay,
                               Moment::WokenToStep};
const char* Name(Moment moment) {
    switch (moment) {
        case Moment::TimedWait:
            return "before the timed wait";
        case Moment::UnboundedWait:
            return "before the unbounded wait";
        case Moment::WokenToPlay:
            return "woken by a resume";
        case Moment::WokenToStep:
            return "woken by a step";
    }
    return "?";
}

// What the worker must end in.
struct Outcome {
    bool running = false;
    bool paused = false;
    UINT frame = 0;          // currentFrame
    UINT composed = 0;       // the frame on the composition surface
    int shown = 0;           // invalidations after the release
    bool unbounded = false;  // blocked in a wait without timeout
};

// The playback states: the requests change what is asked, the worker takes it at its next
// decision. A wake (a resume or a step signals one) ends a wait that the worker is in; at a
// decision it changes nothing, as the flags say all. No frame's time runs out in a case.
class Model {
  public:
    explicit Model(Moment moment) {
        switch (moment) {
            case Moment::TimedWait:
                position_ = Position::TimedWait;
                frame_ = composed_ = 0;
                break;
            case Moment::UnboundedWait:
                position_ = Position::UnboundedWait;
                frame_ = composed_ = 1;
                paused_ = true;
                break;
            case Moment::WokenToPlay:
            case Moment::WokenToStep:
                position_ = Position::Composing;
                frame_ = 2;
                composed_ = 1;
                paused_ = moment == Moment::WokenToStep;
                break;
        }
    }

    void Apply(Request request) {
        switch (request) {
            case Request::Play:
                if (!live_) return Start(false);
                step_ = false;
                if (paused_) {
                    paused_ = false;
                    resume_ = wake_ = true;
                }
                return;
            case Request::Pause:
                step_ = resume_ = false;
                if (live_) paused_ = true;
                return;
            case Request::Step:
                if (!live_) return Start(true);
                step_ = wake_ = true;
                if (paused_) {
                    paused_ = false;
                    resume_ = true;
                }
                return;
            case Request::Stop:
                if (!live_) return;
                live_ = paused_ = step_ = resume_ = wake_ = false;
                frame_ = 0;
                return;
            case Request::SwitchTiming: {
                // The switch pauses and gives back what it interrupted: playing, or a step
                // still to take, which then shows the next frame and holds it.
                const bool stepping = live_ && step_;
                const bool wasPlaying = live_ && !paused_ && !step_;
                Apply(Request::Pause);
                if (stepping) Apply(Request::Step);
                if (wasPlaying) Apply(Request::Play);
                return;
            }
        }
    }

    Outcome Settle() {
        for (;;) {
            if (!live_) {
                Outcome outcome;
                outcome.composed = composed_;
                outcome.shown = shown_;
                return outcome;
            }
            switch (position_) {
                case Position::Composing:
                    ++shown_;
                    composed_ = frame_;
                    position_ = Position::Deciding;
                    continue;
                case Position::Deciding:
                    if (step_ || resume_) {
                        if (step_) paused_ = true;
                        step_ = resume_ = false;
                        frame_ = (frame_ + 1) % kFrames;
                        position_ = Position::Composing;
                        continue;
                    }
                    return Blocked(paused_);
                case Position::TimedWait:
                case Position::UnboundedWait:
                    if (wake_) {
                        wake_ = false;
                        position_ = Position::Deciding;
                        continue;
                    }
                    return Blocked(position_ == Position::UnboundedWait);
            }
        }
    }

  private:
    enum class Position { Composing, Deciding, TimedWait, UnboundedWait };

    // A start from stopped: the worker will compose frame 0 first.
    void Start(bool step) {
        live_ = true;
        paused_ = resume_ = wake_ = false;
        step_ = step;
        frame_ = 0;
        position_ = Position::Composing;
    }
    Outcome Blocked(bool unbounded) {
        Outcome outcome;
        outcome.running = true;
        outcome.paused = paused_;
        outcome.frame = frame_;
        outcome.composed = composed_;
        outcome.unbounded = unbounded;
        outcome.shown = shown_;
        return outcome;
    }

    bool live_ = true, paused_ = false, step_ = false, resume_ = false, wake_ = false;
    Position position_ = Position::Composing;
    UINT frame_ = 0, composed_ = 0;
    int shown_ = 0;
};

constexpr uint32_t kFrameColors[kFrames] = {0xFF0000, 0x00FF00, 0x0000FF};

struct TransportInterleaving : ViewerTest {
    // Brings the stopped worker to `moment` and holds it there.
    bool HoldAt(Moment moment, std::optional<WaitGate>& gate) {
        switch (moment) {
            case Moment::TimedWait:
                gate.emplace(2, WaitGate::kTimed);
                Play(viewer);
                break;
            case Moment::UnboundedWait:
                gate.emplace(2, INFINITE);
                StepPlayback(viewer);
                break;
            case Moment::WokenToPlay:
            case Moment::WokenToStep:
                StepPlayback(viewer);  // held on frame 1 once it waits
                if (!TavorenWaitForBlockedWaits(1, kTimeout)) return false;
                gate.emplace(1, 0);  // the stop check at the top of the next pass
                if (moment == Moment::WokenToPlay)
                    Play(viewer);
                else
                    StepPlayback(viewer);
                break;
        }
        return gate->WaitUntilHeld(kTimeout);
    }

    void Deliver(Request request, std::optional<WaitGate>& gate) {
        switch (request) {
            case Request::Play:
                Play(viewer);
                return;
            case Request::Pause:
                PausePlayback(viewer);
                return;
            case Request::Step:
                StepPlayback(viewer);
                return;
            case Request::Stop:
                // The stop's signal reaches the worker where it is held; the handshake
                // then needs it let go.
                if (HANDLE stop = viewer->stopEvent) SetEvent(stop);
                gate.reset();
                StopAndAwait();
                // A worker that a later request starts is held before its first frame.
                gate.emplace(1, 0);
                return;
            case Request::SwitchTiming:
                viewer->ieTiming = !viewer->ieTiming;
                RecomputeTiming(viewer);
                return;
        }
    }

    // Runs one case; failures name it.
    void Run(Moment moment, const std::vector<Request>& requests) {
        std::ostringstream name;
        name << Name(moment) << ":";
        for (Request request : requests) name << " " << Name(request);
        SCOPED_TRACE(name.str());

        std::optional<WaitGate> gate;
        ASSERT_TRUE(HoldAt(moment, gate)) << "the worker did not reach the moment";
        const int before = harness->window().invalidations();
        Model model(moment);
        for (Request request : requests) {
            Deliver(request, gate);
            model.Apply(request);
        }
        gate->Release();
        const Outcome expected = model.Settle();

        if (expected.running) {
            ASSERT_TRUE(TavorenWaitForBlockedWaits(1, kTimeout)) << "the worker never waited";
        } else {
            ASSERT_TRUE(WaitForWorkerEnd(viewer, kTimeout));
        }
        // Blocked with nothing signalled, the worker shows nothing more for 30 s.
        EXPECT_EQ(harness->window().invalidations() - before, expected.shown);
        EXPECT_EQ(viewer->running, expected.running);
        EXPECT_EQ(viewer->paused, expected.paused);
        EXPECT_FALSE(viewer->stepRequested);
        EXPECT_EQ(viewer->currentFrame, expected.frame);
        EXPECT_EQ(viewer->elapsed, static_cast<INT>(expected.frame * kFrameMs));
        if (expected.running) {
            const DWORD wait = gate->lastFrameWait();
            if (expected.unbounded) {
                EXPECT_EQ(wait, INFINITE);
            } else {
                // Playing never waits without end, and a wake that asked nothing does not
                // cut the frame short.
                EXPECT_NE(wait, INFINITE) << "frozen";
                EXPECT_GE(wait, kRestOfFrameMs);
            }
        }
        const std::vector<uint32_t> capture = harness->PaintAndCapture();
        EXPECT_EQ(harness->At(capture, 0, 0), kFrameColors[expected.composed]);
        gate.reset();

        // Whatever state it ended in, a resume brings the next frame at once.
        const int shown = harness->window().invalidations();
        PausePlayback(viewer);
        Play(viewer);
        const UINT next = expected.running ? (expected.frame + 1) % kFrames : 0;
        EXPECT_TRUE(harness->window().WaitForInvalidation(shown + 1, kTimeout));
        EXPECT_TRUE(WaitUntil([&] { return viewer->currentFrame == next; }));
        if (HANDLE stop = viewer->stopEvent) SetEvent(stop);
        StopAndAwait();
    }

    // StopPlayback once the signalled worker has ended, which the stand-in tells at once:
    // the handshake's 10 ms sleeps would take most of the run.
    void StopAndAwait() {
        WaitForWorkerEnd(viewer, kTimeout);
        StopPlayback(viewer);
    }

    TavorenGif* viewer = nullptr;
};

TEST_F(TransportInterleaving, EverySequenceOfUpToThreeRequestsAtEveryHeldMoment) {
    viewer = Open(SimpleAnimation(kFrames, 4, 4, kLongDelay));
    std::vector<std::vector<Request> > sequences;
    for (Request a : kRequests) {
        sequences.push_back({a});
        for (Request b : kRequests) {
            sequences.push_back({a, b});
            for (Request c : kRequests) sequences.push_back({a, b, c});
        }
    }
    int cases = 0;
    for (Moment moment : kMoments) {
        for (const std::vector<Request>& requests : sequences) {
            Run(moment, requests);
            ++cases;
            if (HasFatalFailure() || HasNonfatalFailure()) return;
        }
    }
    std::printf("%d cases\n", cases);
}

#endif

}  // namespace
