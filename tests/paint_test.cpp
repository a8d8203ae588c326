// Painting the composition into the window: rotation about the destination's centre, the
// source remap, interpolation, the host colour around the picture, and the cases where
// nothing may be drawn.
#include <gtest/gtest.h>

#include "playback/transport.h"
#include "tests/support/platform_info.h"
#include "tests/support/viewer_harness.h"

namespace {

constexpr uint32_t kHost = 0x808080;

// A 4x2 canvas whose eight pixels all differ, shown for two frames.
GifImage EightColours() {
    GifImage image;
    image.width = 4;
    image.height = 2;
    image.globalTable = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                         {255, 0, 255}, {0, 255, 255}, {255, 255, 255}, {0, 0, 0}};
    GifFrame frame;
    frame.width = 4;
    frame.height = 2;
    frame.indices = {0, 1, 2, 3, 4, 5, 6, 7};
    frame.control = GifControl{};
    frame.control->delay = 10;
    frame.control->disposal = 1;
    image.frames = {frame, frame};
    return image;
}

uint32_t CanvasColour(int x, int y) {
    static const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                       0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x000000};
    return colours[y * 4 + x];
}

class PaintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(harness_.Open(EightColours(), 0x000000, kHost));
        ASSERT_TRUE(harness_.Step(0));
    }

    // Paints `source` of the displayed picture into `dest` with nearest neighbour.
    std::vector<uint32_t> Paint(RECT source, RECT dest, BYTE interpolation = 0) {
        EXPECT_EQ(Render(harness_.viewer(), 0, &source, &dest, interpolation), 0);
        return harness_.window().Capture();
    }

    ViewerHarness harness_{120, 120};
};

TEST_F(PaintTest, UnturnedPictureFillsTheDestinationAndTheHostColourTheRest) {
    // Each canvas pixel becomes a 10x10 block at (10, 20).
    auto capture = Paint({0, 0, 4, 2}, {10, 20, 50, 40});
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(harness_.At(capture, 15 + 10 * x, 25 + 10 * y), CanvasColour(x, y));
    }
    EXPECT_EQ(harness_.At(capture, 5, 5), kHost);
    EXPECT_EQ(harness_.At(capture, 55, 30), kHost);
    EXPECT_EQ(harness_.At(capture, 30, 45), kHost);
}

TEST_F(PaintTest, EachQuarterTurnShowsTheCanvasTurnedClockwise) {
    for (INT rotation : {90, 180, 270}) {
        SCOPED_TRACE(rotation);
        harness_.viewer()->rotation = rotation;
        const bool turned = rotation != 180;
        const LONG w = turned ? 2 : 4, h = turned ? 4 : 2;
        auto capture = Paint({0, 0, w, h}, {0, 0, 10 * w, 10 * h});
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                // Displayed (x, y) comes from the canvas pixel the clockwise turn put there.
                int cx = x, cy = y;
                if (rotation == 90) cx = y, cy = 1 - x;
                if (rotation == 180) cx = 3 - x, cy = 1 - y;
                if (rotation == 270) cx = 3 - y, cy = x;
                EXPECT_EQ(harness_.At(capture, 10 * x + 5, 10 * y + 5), CanvasColour(cx, cy))
                    << "displayed " << x << "," << y;
            }
        }
        EXPECT_EQ(harness_.At(capture, 10 * w + 5, 10 * h + 5), kHost);
    }
}

TEST_F(PaintTest, ASourceStripOfTheTurnedPictureComesFromTheMatchingCanvasStrip) {
    harness_.viewer()->rotation = 90;
    // The top row of the displayed 2x4 picture: canvas column 0, bottom to top.
    auto capture = Paint({0, 0, 2, 1}, {0, 0, 20, 10});
    EXPECT_EQ(harness_.At(capture, 5, 5), CanvasColour(0, 1));
    EXPECT_EQ(harness_.At(capture, 15, 5), CanvasColour(0, 0));
}

TEST_F(PaintTest, FortyFiveDegreesTurnsAboutTheDestinationCentre) {
    harness_.viewer()->rotation = 45;
    auto capture = Paint({0, 0, 4, 2}, {20, 40, 100, 80});
    EXPECT_EQ(harness_.At(capture, 21, 79), kHost) << "the corners turned away";
    EXPECT_EQ(harness_.At(capture, 98, 41), kHost);
    // The centre of the destination shows the centre of the picture (the corner of four
    // canvas pixels): a point just right of it along the turned x axis is pixel (2, 0) or
    // (2, 1); just left, (1, 0) or (1, 1).
    const uint32_t right = harness_.At(capture, 66, 66), left = harness_.At(capture, 54, 54);
    EXPECT_TRUE(right == CanvasColour(2, 0) || right == CanvasColour(2, 1)) << std::hex << right;
    EXPECT_TRUE(left == CanvasColour(1, 0) || left == CanvasColour(1, 1)) << std::hex << left;
}

TEST_F(PaintTest, LinearInterpolationBlendsWhereNearestDoesNot) {
    // Red next to green, stretched 20 times: between the two pixel centres linear mixes.
    auto nearest = Paint({0, 0, 2, 1}, {0, 0, 40, 20}, 0);
    const uint32_t sharp = harness_.At(nearest, 19, 10);
    EXPECT_TRUE(sharp == 0xFF0000 || sharp == 0x00FF00) << std::hex << sharp;
    auto linear = Paint({0, 0, 2, 1}, {0, 0, 40, 20}, 1);
    const uint32_t mixed = harness_.At(linear, 20, 10);
    const uint32_t red = mixed >> 16, green = (mixed >> 8) & 0xFF;
    EXPECT_GT(red, 40u);
    EXPECT_GT(green, 40u);
    // Far from the edge between the two it stays red (Wine also samples the row below the
    // source rectangle, so only the two colours' own channels are checked).
    const uint32_t edge = harness_.At(linear, 2, 10);
    EXPECT_GE(edge >> 16, 0xF0u) << std::hex << edge;
    EXPECT_LE((edge >> 8) & 0xFF, 0x10u) << std::hex << edge;
}

TEST_F(PaintTest, AnInterpolationByteThatNamesNoModeLeavesTheHostColour) {
    // The host's byte goes to Direct2D as it is; a mode it does not know is refused with
    // nothing of the picture drawn, over the window cleared to the host colour.
    for (const BYTE interpolation : {BYTE{2}, BYTE{70}, BYTE{255}}) {
        auto capture = Paint({0, 0, 4, 2}, {0, 0, 40, 20}, interpolation);
        EXPECT_EQ(harness_.At(capture, 5, 5), kHost) << int{interpolation};
        EXPECT_EQ(harness_.At(capture, 35, 15), kHost) << int{interpolation};
    }
}

TEST_F(PaintTest, AnOccludedWindowIsNotDrawn) {
    if (RunningUnderWine())
        GTEST_SKIP() << "an Xvfb window under Wine cannot be occluded on demand";
    auto before = Paint({0, 0, 4, 2}, {0, 0, 40, 20});
    harness_.window().SetOccluded(true);
    harness_.viewer()->WriteColor(harness_.viewer()->hostBackgroundColor, Opaque(0x00FF00));
    auto during = Paint({0, 0, 4, 2}, {0, 0, 40, 20});
    EXPECT_EQ(during, before);
}

TEST_F(PaintTest, AResizedWindowSurfacePaintsItsNewArea) {
    harness_.window().SetClientSize(200, 150);
    harness_.viewer()->ResizeSurface(200, 150);
    auto capture = Paint({0, 0, 4, 2}, {100, 100, 140, 120});
    ASSERT_EQ(capture.size(), 200u * 150u);
    auto at = [&](int x, int y) { return capture[static_cast<size_t>(y) * 200 + x] & 0xFFFFFF; };
    EXPECT_EQ(at(105, 105), CanvasColour(0, 0));
    EXPECT_EQ(at(190, 140), kHost);
}

TEST_F(PaintTest, NullRectanglesAreRefusedOnceThereIsASurface) {
    RECT rect{0, 0, 4, 2};
    EXPECT_EQ(Render(harness_.viewer(), 0, nullptr, &rect, 0), -1);
    EXPECT_EQ(Render(harness_.viewer(), 0, &rect, nullptr, 0), -1);
}

// A second attach to another window moves the picture there, as a host that shows it in a
// new window (fullscreen, a new tab) does: the new window is painted, with the picture as it
// was composed frame by frame, playback goes on where it was, and WM_SIZE from the new window
// resizes its surface. Frame 1 blackens canvas pixel (1, 0), frame 2 pixel (2, 1).
TEST(PaintReattach, AnAttachToAnotherWindowPaintsThePictureThere) {
    enum class State { HeldOnFrame1, PlayingFrame2, StoppedAfterFrame1 };
    struct Case {
        const char* name;
        State state;
        bool frame2;  // whether frame 2 is part of the picture
    };
    for (const Case& c : {Case{"held on frame 1", State::HeldOnFrame1, false},
                          Case{"playing frame 2", State::PlayingFrame2, true},
                          Case{"stopped after frame 1", State::StoppedAfterFrame1, false}}) {
        SCOPED_TRACE(c.name);
        GifImage image = EightColours();
        image.frames.resize(1);
        image.frames.push_back(SolidFrame(1, 0, 1, 1, 7, 3000, 1));
        image.frames.push_back(SolidFrame(2, 1, 1, 1, 7, 3000, 1));
        for (GifFrame& frame : image.frames) frame.control->delay = 3000;  // nothing times out
        ViewerHarness harness(40, 40);
        ASSERT_TRUE(harness.Open(image, 0x000000, kHost));
        TavorenGif* viewer = harness.viewer();
        StepPlayback(viewer);
        ASSERT_TRUE(harness.window().WaitUntil(
            [&] { return viewer->paused && viewer->currentFrame == 1; }, 10000));
        if (c.state == State::PlayingFrame2) Play(viewer);
        if (c.state == State::StoppedAfterFrame1) StopPlayback(viewer);
        if (c.state == State::PlayingFrame2) {
            ASSERT_TRUE(
                harness.window().WaitUntil([&] { return viewer->currentFrame == 2; }, 10000));
        }
        const bool running = viewer->running, paused = viewer->paused;
        const UINT frame = viewer->currentFrame;

        TestWindow other(20, 20);  // created last: on top, where Wine's capture reads it
        ASSERT_EQ(AttachWindow(viewer, other.hwnd()), 0);
        EXPECT_EQ(viewer->window, other.hwnd());
        auto expected = [&](int x, int y) {
            return (x == 1 && y == 0) || (c.frame2 && x == 2 && y == 1) ? 0x000000u
                                                                        : CanvasColour(x, y);
        };
        // The whole picture 1:1 into the new window, then 10:1 into a part of it beyond its
        // first size once WM_SIZE has told of the new size.
        for (const int scale : {1, 10}) {
            const int offset = scale == 1 ? 0 : 20, width = scale == 1 ? 20 : 70;
            if (scale == 10) {
                other.SetClientSize(width, 50);
                EXPECT_EQ(
                    HandleMessage(viewer, WM_SIZE, 0, static_cast<LPARAM>(width | (50 << 16))), -1);
            }
            RECT source{0, 0, 4, 2};
            RECT dest{offset, offset, offset + 4 * scale, offset + 2 * scale};
            EXPECT_EQ(Render(viewer, 0, &source, &dest, 0), 0);
            auto at = [&](const std::vector<uint32_t>& capture, int x, int y) {
                const int px = offset + x * scale + scale / 2, py = offset + y * scale + scale / 2;
                return capture[static_cast<size_t>(py) * width + px] & 0xFFFFFF;
            };
            auto shows = [&](const std::vector<uint32_t>& capture) {
                if (capture.size() != static_cast<size_t>(width) * (scale == 1 ? 20 : 50)) {
                    return false;
                }
                for (int y = 0; y < 2; ++y) {
                    for (int x = 0; x < 4; ++x) {
                        if (at(capture, x, y) != expected(x, y)) return false;
                    }
                }
                return true;
            };
            EXPECT_TRUE(shows(other.CaptureWhen(shows, 2000))) << "scale " << scale;
        }
        EXPECT_EQ(viewer->running, running);
        EXPECT_EQ(viewer->paused, paused);
        EXPECT_EQ(viewer->currentFrame, frame);
        StopPlayback(viewer);
    }
}

TEST(PaintWithoutSurfaces, RenderBeforeAttachAndAfterAReloadDrawsNothing) {
    ViewerHarness harness(40, 20);
    RECT rect{0, 0, 4, 2};
    EXPECT_EQ(Render(harness.viewer(), 0, &rect, &rect, 0), 0);
    EXPECT_EQ(Render(harness.viewer(), 0, nullptr, nullptr, 0), 0);
    ASSERT_TRUE(harness.Open(EightColours()));
    ASSERT_EQ(AttachWindow(harness.viewer(), harness.window().hwnd()), 0) << "a second attach";
    const std::vector<uint8_t> bytes = BuildGif(EightColours());
    ASSERT_EQ(
        LoadFromMemory(harness.viewer(), std::vector<BYTE>(bytes.begin(), bytes.end())).result, 0);
    EXPECT_EQ(harness.viewer()->windowTarget, nullptr);
    EXPECT_EQ(Render(harness.viewer(), 0, &rect, &rect, 0), 0);
}

TEST(PaintSingleFrame, TheFrameIsDrawnAtItsOwnPlaceAtEveryPaint) {
    ViewerHarness harness(40, 40);
    GifImage image;
    image.width = 12;
    image.height = 12;
    image.globalTable = {{255, 0, 0}, {0, 0, 255}};
    GifFrame frame;
    frame.left = 8;
    frame.top = 8;
    frame.width = 2;
    frame.height = 2;
    frame.indices.assign(4, 1);
    image.frames = {frame};
    ASSERT_TRUE(harness.Open(image, 0xFFFFFF, kHost));
    for (int paint = 0; paint < 2; ++paint) {
        auto capture = harness.PaintAndCapture();
        EXPECT_EQ(harness.lastRender(), 0);
        EXPECT_EQ(harness.At(capture, 9, 9), 0x0000FFu);
        EXPECT_EQ(harness.At(capture, 1, 1), 0xFFFFFFu) << "cleared with the background";
        EXPECT_EQ(harness.At(capture, 20, 20), kHost);
    }
}

}  // namespace
