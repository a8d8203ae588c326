// The message handler: the result of every message and key, the queries, rotation, the host's
// colour, and what the keys do to playback, on a viewer in a test window.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "module/viewer_messages.h"
#include "playback/transport.h"
#include "tests/support/viewer_test.h"

namespace {

// The numbers are the host's: a host built against them sends exactly these.
static_assert(VM_PLAY == 0x0402 && VM_STOP == 0x0403 && VM_PAUSE == 0x0404 &&
              VM_GETSIZE == 0x0405 && VM_GETSIZE2 == 0x0406 && VM_GETCOLORBITS == 0x0407 &&
              VM_GETDURATION == 0x0408 && VM_GETPOSITION == 0x0409 && VM_STEP == 0x040C &&
              VM_ROTATE == 0x040F && VM_SETBKCOLOR == 0x0411 && VM_NOTIFY == 0x0463);
static_assert(kNotifyRotated == 4 && kNotifyTimingChanged == 5);

constexpr uint16_t kLongDelay = 3000;  // hundredths: longer than any wait here

struct HandleMessageTest : ViewerTest {
    INT32 Send(UINT32 message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return HandleMessage(harness->viewer(), message, wParam, lParam);
    }
    INT32 Key(UINT32 key) { return Send(WM_KEYDOWN, key); }
    std::pair<UINT32, UINT32> Size() {
        UINT32 size[2] = {0xDEAD, 0xBEEF};
        EXPECT_EQ(Send(VM_GETSIZE, reinterpret_cast<WPARAM>(size)), 0);
        UINT32 again[2] = {};
        EXPECT_EQ(Send(VM_GETSIZE2, reinterpret_cast<WPARAM>(again)), 0);
        EXPECT_EQ(size[0], again[0]);
        EXPECT_EQ(size[1], again[1]);
        return {size[0], size[1]};
    }
    // The VM_NOTIFY codes posted to the window since the last call.
    std::vector<WPARAM> Notifications() {
        std::vector<WPARAM> codes;
        for (const auto& [message, wParam, lParam] : harness->window().PostedMessages()) {
            EXPECT_EQ(message, VM_NOTIFY);
            EXPECT_EQ(lParam, 0);
            codes.push_back(wParam);
        }
        return codes;
    }
};

// Two unsigned 16-bit halves, as WM_SIZE and WM_RBUTTONDOWN carry them.
LPARAM Pack(unsigned low, unsigned high) {
    return static_cast<LPARAM>((high & 0xFFFF) << 16 | (low & 0xFFFF));
}

bool SameColor(const D2D1_COLOR_F& a, const D2D1_COLOR_F& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

TEST_F(HandleMessageTest, EachMessageAndKeyAnswersItsResult) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 8, 8, kLongDelay));
    EXPECT_EQ(Send(WM_SIZE, 0, Pack(20, 10)), -1);
    EXPECT_EQ(Send(VM_PAUSE), 0);
    EXPECT_EQ(Send(VM_STEP), 0);
    ASSERT_TRUE(WaitUntil([&] { return viewer->paused && viewer->currentFrame == 1u; }));
    EXPECT_EQ(Send(VM_PLAY), 0);
    EXPECT_EQ(Send(VM_STOP), 1);
    EXPECT_EQ(Send(VM_SETBKCOLOR, 0x102030), 0);
    EXPECT_EQ(Send(VM_ROTATE, 90), 0);
    for (UINT32 key : {UINT32{'G'}, UINT32{'I'}, UINT32{'P'}, UINT32{'S'}, UINT32{'T'}}) {
        EXPECT_EQ(Key(key), 2) << static_cast<char>(key);
    }
    EXPECT_EQ(Key('S'), 2);
    // Unhandled keys, modifiers included; a letter is compared in the low 32 bits only.
    for (UINT32 key : {UINT32{'A'}, UINT32{'Z'}, UINT32{'g'}, 0x10u, 0x11u, 0x1Bu, 0x70u}) {
        EXPECT_EQ(Key(key), 0) << key;
    }
#if defined(_WIN64) || (!defined(_WIN32) && UINTPTR_MAX == UINT64_MAX)
    EXPECT_EQ(Send(WM_KEYDOWN, (WPARAM{1} << 32) | 'T'), 2);
#endif
    // Messages not acted on, among them the request numbers in between.
    for (UINT32 message :
         {UINT32{WM_USER}, UINT32{WM_USER + 1}, UINT32{WM_USER + 10}, UINT32{WM_USER + 11},
          UINT32{WM_USER + 13}, UINT32{WM_USER + 14}, UINT32{WM_USER + 16}, UINT32{WM_USER + 18},
          UINT32{VM_NOTIFY}, UINT32{0x000F}, UINT32{0x0201}, UINT32{0x0205}, UINT32{0xFFFFFFFF}}) {
        EXPECT_EQ(Send(message, 1, 1), 1) << std::hex << message;
    }
    StopPlayback(viewer);
}

TEST_F(HandleMessageTest, QueriesAnswerTheImageAndTheDisplayedSize) {
    TavorenGif* viewer = Open(SimpleAnimation(4, 300, 200, 7));
    EXPECT_EQ(Size(), std::make_pair(300u, 200u));
    INT32 bits = -1, duration = -1, position = -1;
    EXPECT_EQ(Send(VM_GETCOLORBITS, reinterpret_cast<WPARAM>(&bits)), 0);
    EXPECT_EQ(Send(VM_GETDURATION, reinterpret_cast<WPARAM>(&duration)), 0);
    EXPECT_EQ(Send(VM_GETPOSITION, reinterpret_cast<WPARAM>(&position)), 0);
    EXPECT_EQ(bits, viewer->colorBits);
    EXPECT_GT(bits, 0);
    EXPECT_EQ(duration, 4 * 70);
    EXPECT_EQ(position, 0);

    const std::pair<UINT32, UINT32> turned{200, 300};
    for (INT32 step : {90, 90, 90, 90}) {
        ASSERT_EQ(Send(VM_ROTATE, static_cast<WPARAM>(step)), 0);
        const bool quarter = viewer->rotation == 90 || viewer->rotation == 270;
        EXPECT_EQ(Size(), quarter ? turned : std::make_pair(300u, 200u)) << viewer->rotation;
    }
    // A step that is no multiple of 90 turns the answer as any quarter turn does.
    ASSERT_EQ(Send(VM_ROTATE, 45), 0);
    EXPECT_EQ(Size(), turned);

    // A null pointer gets nothing written, and -1; nothing changed.
    for (UINT32 query :
         {VM_GETSIZE, VM_GETSIZE2, VM_GETCOLORBITS, VM_GETDURATION, VM_GETPOSITION}) {
        EXPECT_EQ(Send(query, 0), -1) << query;
    }
    EXPECT_EQ(viewer->rotation, 45);
    EXPECT_EQ(viewer->totalDuration, 4 * 70);
}

TEST_F(HandleMessageTest, BeforeAWindowTheQueriesAnswerZeroAndNothingTurns) {
    harness = std::make_unique<ViewerHarness>(16, 16);
    UINT32 size[2] = {7, 7};
    INT32 duration = 7;
    EXPECT_EQ(Send(VM_GETSIZE, reinterpret_cast<WPARAM>(size)), 0);
    EXPECT_EQ(Send(VM_GETDURATION, reinterpret_cast<WPARAM>(&duration)), 0);
    EXPECT_EQ(size[0], 0u);
    EXPECT_EQ(size[1], 0u);
    EXPECT_EQ(duration, 0);
    EXPECT_EQ(Send(VM_ROTATE, 90), -1);
    EXPECT_EQ(Send(WM_SIZE, 0, Pack(20, 10)), -1);
    EXPECT_EQ(Send(VM_PLAY), 0);
    EXPECT_FALSE(harness->viewer()->workerExists);
    EXPECT_EQ(harness->viewer()->rotation, 0);
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(HandleMessageTest, RotationStaysWithinAFullTurnAndIsAnnouncedOnce) {
    TavorenGif* viewer = Open(SimpleAnimation(2, 8, 8, 10));
    Notifications();
    struct Turn {
        INT32 step;
        INT expected;
    };
    // Four quarter turns come back to 0; large and negative steps end within 0 to 359, and
    // a whole number of turns leaves the picture as it was.
    const Turn turns[] = {{90, 90}, {90, 180}, {90, 270},      {90, 0},        {-90, 270},
                          {450, 0}, {450, 90}, {720, 90},      {-720, 90},     {-450, 0},
                          {360, 0}, {-1, 359}, {INT_MAX, 126}, {INT_MIN, 358}, {0, 358}};
    for (const Turn& turn : turns) {
        SCOPED_TRACE(turn.step);
        const int painted = harness->window().invalidations();
        ASSERT_EQ(Send(VM_ROTATE, static_cast<WPARAM>(static_cast<UINT32>(turn.step))), 0);
        EXPECT_EQ(viewer->rotation, turn.expected);
        EXPECT_EQ(Notifications(), std::vector<WPARAM>{kNotifyRotated});
        EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));
    }
    // From 0, a step of 720 is no turn at all: the size is answered unturned.
    viewer->rotation = 0;
    ASSERT_EQ(Send(VM_ROTATE, 720), 0);
    EXPECT_EQ(viewer->rotation, 0);
    EXPECT_EQ(Size(), std::make_pair(8u, 8u));
}

TEST_F(HandleMessageTest, TheHostColourIsTakenUnlessTheImageColourIsChosen) {
    GifImage image = SimpleAnimation(2, 4, 4, 10);
    image.frames[0].control->transparencyFlag = true;
    image.globalTable = {{10, 20, 30}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    TavorenGif* viewer = Open(image);
    const D2D1_COLOR_F red{1.0f, 0.0f, 0.0f, 1.0f};
    // Bits 24 to 31 are not part of the colour.
    ASSERT_EQ(Send(VM_SETBKCOLOR, 0xFF0000FF), 0);
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->hostBackgroundColor), red));
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->backgroundColor), red));
    ASSERT_EQ(Send(VM_SETBKCOLOR, 0x00FF8000), 0);
    const D2D1_COLOR_F azure{0.0f, 128 / 255.0f, 1.0f, 1.0f};
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->backgroundColor), azure));

    // Key G chooses the image's colour, and the host's colour then waits in the background.
    const D2D1_COLOR_F own = viewer->ReadColor(viewer->imageBackgroundColor);
    const int painted = harness->window().invalidations();
    EXPECT_EQ(Key('G'), 2);
    EXPECT_TRUE(viewer->useImageBackground);
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->backgroundColor), own));
    EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));
    ASSERT_EQ(Send(VM_SETBKCOLOR, 0x0000FF), 0);
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->hostBackgroundColor), red));
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->backgroundColor), own));
    // Twice G is back to the host's colour, the one last sent.
    EXPECT_EQ(Key('G'), 2);
    EXPECT_FALSE(viewer->useImageBackground);
    EXPECT_TRUE(SameColor(viewer->ReadColor(viewer->backgroundColor), red));
}

TEST_F(HandleMessageTest, KeysPlayPauseResumeStepAndStop) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 8, 8, kLongDelay));
    // S without a worker does nothing at all.
    viewer->stepRequested = true;
    const int unpainted = harness->window().invalidations();
    EXPECT_EQ(Key('S'), 2);
    EXPECT_TRUE(viewer->stepRequested);
    EXPECT_EQ(harness->window().invalidations(), unpainted);
    viewer->stepRequested = false;

    EXPECT_EQ(Key('P'), 2);  // starts
    ASSERT_TRUE(WaitUntil([&] { return viewer->running && !viewer->paused; }));
    EXPECT_EQ(Key('P'), 2);  // pauses
    EXPECT_TRUE(viewer->paused);
    EXPECT_EQ(Key('P'), 2);  // resumes: the next frame comes at once
    ASSERT_TRUE(WaitUntil([&] { return !viewer->paused && viewer->currentFrame == 1u; }));
    EXPECT_EQ(Key('T'), 2);  // steps to the next frame and holds it
    ASSERT_TRUE(WaitUntil([&] { return viewer->paused && viewer->currentFrame == 2u; }));
    INT32 position = -1;
    EXPECT_EQ(Send(VM_GETPOSITION, reinterpret_cast<WPARAM>(&position)), 0);
    EXPECT_EQ(position, 2 * 30000);  // two frames of 30 s have passed

    const int painted = harness->window().invalidations();
    EXPECT_EQ(Key('S'), 2);
    EXPECT_FALSE(viewer->workerExists);
    EXPECT_FALSE(viewer->running);
    EXPECT_FALSE(viewer->stepRequested);
    EXPECT_EQ(viewer->currentFrame, 0u);
    EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));

    // A stopped animation steps from its first frame: frame 0, then frame 1, held.
    EXPECT_EQ(Key('T'), 2);
    ASSERT_TRUE(WaitUntil([&] { return viewer->paused && viewer->currentFrame == 1u; }));
    StopPlayback(viewer);
}

// Right after P the worker usually exists but has not yet set `running`: S must stop it all
// the same, or it would go on playing after the key.
TEST_F(HandleMessageTest, KeySRightAfterPlayStopsTheWorkerAboutToBegin) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 8, 8, kLongDelay));
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Key('P'), 2);
        ASSERT_EQ(Key('S'), 2);
        EXPECT_FALSE(viewer->workerExists);
        EXPECT_FALSE(viewer->running);
    }
}

TEST_F(HandleMessageTest, VmStopRepaintsAndDropsAStepAlsoWithoutAWorker) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 8, 8, kLongDelay));
    viewer->stepRequested = true;
    const int painted = harness->window().invalidations();
    EXPECT_EQ(Send(VM_STOP), 1);
    EXPECT_FALSE(viewer->stepRequested);
    EXPECT_TRUE(harness->window().WaitForInvalidation(painted + 1, kTimeout));

    EXPECT_EQ(Send(VM_PLAY), 0);
    ASSERT_TRUE(WaitUntil([&] { return viewer->running.load(); }));
    EXPECT_EQ(Send(VM_STOP), 1);
    EXPECT_FALSE(viewer->workerExists);
    EXPECT_EQ(viewer->currentFrame, 0u);
}

// VM_PAUSE holds a playing worker on its frame and drops a pending step; without a worker it
// only drops the step.
TEST_F(HandleMessageTest, VmPauseHoldsThePlayingFrameAndDropsAStep) {
    TavorenGif* viewer = Open(SimpleAnimation(3, 8, 8, kLongDelay));
    viewer->stepRequested = true;
    EXPECT_EQ(Send(VM_PAUSE), 0);
    EXPECT_FALSE(viewer->stepRequested);
    EXPECT_FALSE(viewer->paused) << "nothing runs to be paused";

    EXPECT_EQ(Send(VM_PLAY), 0);
    ASSERT_TRUE(WaitUntil([&] { return viewer->running && !viewer->paused; }));
    EXPECT_EQ(Send(VM_PAUSE), 0);
    EXPECT_TRUE(viewer->paused);
    EXPECT_TRUE(viewer->running);
    EXPECT_EQ(viewer->currentFrame, 0u);
    // Held: a resume moves on at once, where a playing worker would wait out its 30 s.
    EXPECT_EQ(Send(VM_PLAY), 0);
    EXPECT_TRUE(WaitUntil([&] { return !viewer->paused && viewer->currentFrame == 1u; }));
    StopPlayback(viewer);
}

TEST_F(HandleMessageTest, TheTimingKeySwitchesTheRuleAndAnnouncesTheNewTimes) {
    TavorenGif* viewer = Open(SimpleAnimation(4, 8, 8, 3));  // 30 ms: a short delay
    Notifications();
    EXPECT_EQ(viewer->totalDuration, 4 * 30);
    EXPECT_EQ(Key('I'), 2);
    EXPECT_TRUE(viewer->ieTiming);
    INT32 duration = 0;
    Send(VM_GETDURATION, reinterpret_cast<WPARAM>(&duration));
    EXPECT_EQ(duration, 4 * 100);
    ASSERT_TRUE(harness->window().WaitForPostedMessage(VM_NOTIFY, kTimeout));
    EXPECT_EQ(Notifications(), std::vector<WPARAM>{kNotifyTimingChanged});
    EXPECT_EQ(Key('I'), 2);
    EXPECT_FALSE(viewer->ieTiming);
    EXPECT_EQ(viewer->totalDuration, 4 * 30);
}

TEST_F(HandleMessageTest, TheWindowSurfaceFollowsTheClientSize) {
    TavorenGif* viewer = Open(SimpleAnimation(2, 8, 8, 10), 40, 30);
    harness->window().SetClientSize(64, 48);
    EXPECT_EQ(Send(WM_SIZE, 0, Pack(64, 48)), -1);
    const D2D1_SIZE_U size = viewer->windowTarget->GetPixelSize();
    EXPECT_EQ(size.width, 64u);
    EXPECT_EQ(size.height, 48u);
}

#if !defined(_WIN32)
// Before AttachWindow there is no window: the keys and requests that repaint or notify must
// not reach every window (what a null window means to InvalidateRect) or the thread's queue.
TEST_F(HandleMessageTest, WithoutAWindowNothingIsRepaintedOrPosted) {
    TestWindow bystander(8, 8);
    harness = std::make_unique<ViewerHarness>(16, 16);
    TavorenGif* viewer = harness->viewer();
    LoadRecord record = LoadFromMemory(viewer, [] {
        const auto bytes = BuildGif(SimpleAnimation(3, 8, 8, 3));
        return std::vector<BYTE>(bytes.begin(), bytes.end());
    }());
    ASSERT_EQ(record.result, 0);
    viewer->isTransparent = true;
    const long queued = TavorenThreadQueuePosts();
    for (UINT32 key : {UINT32{'G'}, UINT32{'I'}, UINT32{'S'}, UINT32{'P'}, UINT32{'T'}}) {
        EXPECT_EQ(Key(key), 2);
    }
    EXPECT_EQ(Send(VM_STOP), 1);
    EXPECT_EQ(Send(WM_RBUTTONDOWN, 0, Pack(1, 1)), 0);
    EXPECT_EQ(Send(VM_ROTATE, 90), -1);
    EXPECT_EQ(bystander.invalidations(), 0);
    EXPECT_EQ(harness->window().invalidations(), 0);
    EXPECT_TRUE(bystander.PostedMessages().empty());
    EXPECT_EQ(TavorenThreadQueuePosts(), queued);
    EXPECT_FALSE(viewer->workerExists);
}
#endif

}  // namespace
