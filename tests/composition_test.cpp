// Frames composed with their disposal methods, read back from the window pixel by pixel.
#include <gtest/gtest.h>

#include "tests/support/viewer_harness.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF,
                   kBlack = 0x000000;

// A 4x2 canvas; palette 0 black, 1 red, 2 green, 3 blue, 4 white (5..7 unused).
GifImage Canvas() {
    GifImage image;
    image.width = 4;
    image.height = 2;
    image.globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return image;
}

GifFrame Solid(uint16_t left, uint16_t top, uint16_t w, uint16_t h, uint8_t index,
               uint8_t disposal) {
    GifFrame frame;
    frame.left = left;
    frame.top = top;
    frame.width = w;
    frame.height = h;
    frame.indices.assign(size_t{w} * h, index);
    frame.control = GifControl{};
    frame.control->delay = 10;
    frame.control->disposal = disposal;
    return frame;
}

// Rows of 0xRRGGBB, top to bottom.
using Picture = std::vector<std::vector<uint32_t>>;

Picture Read(ViewerHarness& harness, int w, int h) {
    const std::vector<uint32_t> capture = harness.PaintAndCapture();
    Picture picture(static_cast<size_t>(h), std::vector<uint32_t>(static_cast<size_t>(w)));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) picture[y][x] = harness.At(capture, x, y);
    }
    return picture;
}

class CompositionTest : public ::testing::Test {
  protected:
    ViewerHarness harness_{16, 8};
};

TEST_F(CompositionTest, FrameZeroClearsTheWholeCanvasThenDrawsAtItsRectangle) {
    GifImage image = Canvas();
    image.frames = {Solid(1, 0, 2, 1, 1, 1), Solid(0, 0, 1, 1, 2, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    ASSERT_TRUE(harness_.Step(0));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kWhite, kRed, kRed, kWhite}, {kWhite, kWhite, kWhite, kWhite}}));
    EXPECT_EQ(harness_.At(harness_.window().Capture(), 10, 5), 0x808080u)
        << "the host colour around";
}

TEST_F(CompositionTest, RestoreToBackgroundRefillsOnlyTheFramesRectangle) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 4, 2, 3, 1), Solid(1, 0, 2, 1, 1, 2), Solid(0, 1, 1, 1, 2, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    ASSERT_TRUE(harness_.Step(0));
    ASSERT_TRUE(harness_.Step(1));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kRed, kRed, kBlue}, {kBlue, kBlue, kBlue, kBlue}}));
    ASSERT_TRUE(harness_.Step(2));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kWhite, kWhite, kBlue}, {kGreen, kBlue, kBlue, kBlue}}));
}

TEST_F(CompositionTest, RestoreToPreviousBringsBackTheWholeCanvas) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 4, 2, 1, 3), Solid(3, 1, 1, 1, 2, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    ASSERT_TRUE(harness_.Step(0));
    ASSERT_TRUE(harness_.Step(1));
    EXPECT_EQ(Read(harness_, 4, 2)[0][0], kRed);
    ASSERT_TRUE(harness_.Step(2));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kBlue, kBlue, kBlue}, {kBlue, kBlue, kBlue, kGreen}}));
}

TEST_F(CompositionTest, TwoRestoreToPreviousFramesInARowSaveAfresh) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 2, 2, 1, 3), Solid(2, 0, 2, 2, 2, 3),
                    Solid(0, 0, 1, 1, 0, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    for (UINT i = 0; i < 4; ++i) ASSERT_TRUE(harness_.Step(i));
    // Frame 1 was undone before frame 2 was saved, and frame 2 undone before frame 3.
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlack, kBlue, kBlue, kBlue}, {kBlue, kBlue, kBlue, kBlue}}));
}

TEST_F(CompositionTest, RestoreToPreviousOnFrameZeroRestoresTheClearedCanvasOnEveryPass) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 2, 2, 1, 3), Solid(2, 0, 2, 2, 2, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    const Picture expected{{kWhite, kWhite, kGreen, kGreen}, {kWhite, kWhite, kGreen, kGreen}};
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(harness_.Step(0));
        ASSERT_TRUE(harness_.Step(1));
        // The picture under frame 1 is the cleared canvas, not the surface before frame 0.
        EXPECT_EQ(Read(harness_, 4, 2), expected);
    }
}

TEST_F(CompositionTest, DisposalsFourToSevenUndoNothing) {
    for (uint8_t disposal = 4; disposal <= 7; ++disposal) {
        SCOPED_TRACE(disposal);
        ViewerHarness harness(16, 8);
        GifImage image = Canvas();
        image.frames = {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 2, 1, 1, disposal),
                        Solid(3, 1, 1, 1, 2, 1)};
        ASSERT_TRUE(harness.Open(image, kWhite));
        for (UINT i = 0; i < 3; ++i) ASSERT_TRUE(harness.Step(i));
        EXPECT_EQ(Read(harness, 4, 2),
                  (Picture{{kRed, kRed, kBlue, kBlue}, {kBlue, kBlue, kBlue, kGreen}}));
    }
}

TEST_F(CompositionTest, TransparentPixelsLeaveTheEarlierPictureVisible) {
    GifImage image = Canvas();
    GifFrame top = Solid(0, 0, 4, 2, 1, 1);
    top.indices = {1, 4, 1, 4, 4, 1, 4, 1};
    top.control->transparencyFlag = true;
    top.control->transparentIndex = 4;  // white is the transparent index
    image.frames = {Solid(0, 0, 4, 2, 2, 1), top};
    ASSERT_TRUE(harness_.Open(image, kBlack));
    ASSERT_TRUE(harness_.Step(0));
    ASSERT_TRUE(harness_.Step(1));
    // A transparent pixel that kept any colour would add it over the green.
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kRed, kGreen, kRed, kGreen}, {kGreen, kRed, kGreen, kRed}}));
}

TEST_F(CompositionTest, TheBackgroundColourInEffectClearsFrameZero) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 1, 1, 1, 1), Solid(0, 0, 1, 1, 1, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    harness_.viewer()->WriteColor(harness_.viewer()->backgroundColor, Opaque(0x123456));
    ASSERT_TRUE(harness_.Step(0));
    EXPECT_EQ(Read(harness_, 4, 2)[1][3], 0x123456u);
}

TEST_F(CompositionTest, AFrameWithoutControlBlockShowsForNoTimeAndUndoesNothing) {
    GifImage image = Canvas();
    GifFrame plain = Solid(0, 0, 1, 1, 1, 1);
    plain.control.reset();
    image.frames = {Solid(0, 0, 4, 2, 3, 1), plain};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    ASSERT_TRUE(harness_.Step(0));
    EXPECT_EQ(harness_.viewer()->frameDelay, 100u);
    ASSERT_TRUE(harness_.Step(1));
    EXPECT_EQ(harness_.viewer()->frameDelay, 0u);
    EXPECT_EQ(harness_.viewer()->disposal, 0u);
}

TEST_F(CompositionTest, DisplayTimesFollowTheRuleOfTheMoment) {
    GifImage image = Canvas();
    image.frames = {Solid(0, 0, 1, 1, 1, 1), Solid(0, 0, 1, 1, 1, 1), Solid(0, 0, 1, 1, 1, 1)};
    image.frames[0].control->delay = 1;
    image.frames[1].control->delay = 5;
    image.frames[2].control->delay = 6;
    ASSERT_TRUE(harness_.Open(image, kWhite));
    const UINT normal[] = {100, 50, 60}, ie[] = {100, 100, 60};
    for (UINT i = 0; i < 3; ++i) {
        harness_.viewer()->ieTiming = false;
        ASSERT_TRUE(harness_.viewer()->DecodeFrame(i));
        EXPECT_EQ(harness_.viewer()->frameDelay, normal[i]);
        harness_.viewer()->ieTiming = true;
        ASSERT_TRUE(harness_.viewer()->DecodeFrame(i));
        EXPECT_EQ(harness_.viewer()->frameDelay, ie[i]);
    }
}

TEST_F(CompositionTest, ACanvasBeyondAnyDevicesLimitGetsNoSurface) {
    GifImage image;
    image.width = 65535;
    image.height = 65535;
    image.globalTable = {{0, 0, 0}, {255, 255, 255}};
    image.frames = {Solid(0, 0, 1, 1, 1, 1), Solid(0, 0, 1, 1, 0, 1)};
    ASSERT_TRUE(harness_.Open(image, kWhite));
    EXPECT_NE(harness_.viewer()->windowTarget, nullptr);
    EXPECT_EQ(harness_.viewer()->composeTarget, nullptr) << "refused, no partial surface";
    EXPECT_FALSE(harness_.viewer()->ComposeFrame());
    EXPECT_FALSE(harness_.viewer()->ApplyDisposal());
    RECT source{0, 0, 100, 100}, dest{0, 0, 16, 8};
    EXPECT_EQ(Render(harness_.viewer(), 0, &source, &dest, 1), 0);
}

}  // namespace
