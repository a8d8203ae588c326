// Frames composed with their disposal methods, read back from the window pixel by pixel.
#include <gtest/gtest.h>

#include "tests/support/animation_formats.h"
#include "tests/support/faulty_decoder.h"
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

// 100 ms each.
GifFrame Solid(uint16_t left, uint16_t top, uint16_t w, uint16_t h, uint8_t index,
               uint8_t disposal) {
    return SolidFrame(left, top, w, h, index, 10, disposal);
}

GifFrame Delayed(GifFrame frame, uint16_t delay) {
    frame.control->delay = delay;
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
    // The 4x2 canvas with `frames` over `background`, composed by the worker's steps from
    // frame 0 to frame `last`.
    static bool ComposeUpTo(ViewerHarness& harness, std::vector<GifFrame> frames, UINT last,
                            uint32_t background = kWhite) {
        return OpenCanvas(harness, std::move(frames), background) && StepOn(harness, 0, last);
    }
    static bool OpenCanvas(ViewerHarness& harness, std::vector<GifFrame> frames,
                           uint32_t background = kWhite) {
        GifImage image = Canvas();
        image.frames = std::move(frames);
        return harness.Open(image, background);
    }
    // The worker's steps from frame `first` to frame `last`.
    static bool StepOn(ViewerHarness& harness, UINT first, UINT last) {
        for (UINT i = first; i <= last; ++i) {
            if (!harness.Step(i)) return false;
        }
        return true;
    }

    ViewerHarness harness_{16, 8};
};

TEST_F(CompositionTest, FrameZeroClearsTheWholeCanvasThenDrawsAtItsRectangle) {
    ASSERT_TRUE(ComposeUpTo(harness_, {Solid(1, 0, 2, 1, 1, 1), Solid(0, 0, 1, 1, 2, 1)}, 0));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kWhite, kRed, kRed, kWhite}, {kWhite, kWhite, kWhite, kWhite}}));
    EXPECT_EQ(harness_.At(harness_.window().Capture(), 10, 5), 0x808080u)
        << "the host colour around";
}

TEST_F(CompositionTest, RestoreToBackgroundRefillsOnlyTheFramesRectangle) {
    ASSERT_TRUE(ComposeUpTo(
        harness_, {Solid(0, 0, 4, 2, 3, 1), Solid(1, 0, 2, 1, 1, 2), Solid(0, 1, 1, 1, 2, 1)}, 1));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kRed, kRed, kBlue}, {kBlue, kBlue, kBlue, kBlue}}));
    ASSERT_TRUE(harness_.Step(2));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kWhite, kWhite, kBlue}, {kGreen, kBlue, kBlue, kBlue}}));
}

TEST_F(CompositionTest, RestoreToPreviousBringsBackTheWholeCanvas) {
    ASSERT_TRUE(ComposeUpTo(
        harness_, {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 4, 2, 1, 3), Solid(3, 1, 1, 1, 2, 1)}, 1));
    EXPECT_EQ(Read(harness_, 4, 2)[0][0], kRed);
    ASSERT_TRUE(harness_.Step(2));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kBlue, kBlue, kBlue}, {kBlue, kBlue, kBlue, kGreen}}));
}

TEST_F(CompositionTest, TwoRestoreToPreviousFramesInARowSaveAfresh) {
    // Frames 1 and 2 restore in a row; frame 3 is kept, so the save before frame 4 sees a
    // canvas that differs from the one saved before frame 1.
    ASSERT_TRUE(
        ComposeUpTo(harness_,
                    {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 2, 2, 1, 3), Solid(2, 0, 2, 2, 2, 3),
                     Solid(0, 1, 1, 1, 0, 1), Solid(0, 0, 4, 2, 4, 3), Solid(3, 0, 1, 1, 1, 1)},
                    2));
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kBlue, kGreen, kGreen}, {kBlue, kBlue, kGreen, kGreen}}))
        << "frame 1 undone before frame 2 was drawn";
    ASSERT_TRUE(StepOn(harness_, 3, 5));
    // Frame 4 undone to the canvas as frame 3 left it, black pixel included.
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kBlue, kBlue, kRed}, {kBlack, kBlue, kBlue, kBlue}}));
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
        ASSERT_TRUE(ComposeUpTo(
            harness,
            {Solid(0, 0, 4, 2, 3, 1), Solid(0, 0, 2, 1, 1, disposal), Solid(3, 1, 1, 1, 2, 1)}, 2));
        EXPECT_EQ(Read(harness, 4, 2),
                  (Picture{{kRed, kRed, kBlue, kBlue}, {kBlue, kBlue, kBlue, kGreen}}));
    }
}

TEST_F(CompositionTest, TransparentPixelsLeaveTheEarlierPictureVisible) {
    GifFrame top = Solid(0, 0, 4, 2, 1, 1);
    top.indices = {1, 4, 1, 4, 4, 1, 4, 1};
    top.control->transparencyFlag = true;
    top.control->transparentIndex = 4;  // white is the transparent index
    ASSERT_TRUE(ComposeUpTo(harness_, {Solid(0, 0, 4, 2, 2, 1), top}, 1, kBlack));
    // A transparent pixel that kept any colour would add it over the green.
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kRed, kGreen, kRed, kGreen}, {kGreen, kRed, kGreen, kRed}}));
}

TEST_F(CompositionTest, TheBackgroundColourInEffectClearsFrameZero) {
    ASSERT_TRUE(OpenCanvas(harness_, {Solid(0, 0, 1, 1, 1, 1), Solid(0, 0, 1, 1, 1, 1)}));
    harness_.viewer()->WriteColor(harness_.viewer()->backgroundColor, Opaque(0x123456));
    ASSERT_TRUE(harness_.Step(0));
    EXPECT_EQ(Read(harness_, 4, 2)[1][3], 0x123456u);
}

TEST_F(CompositionTest, AFrameWithoutControlBlockShowsForNoTimeAndUndoesNothing) {
    GifFrame plain = Solid(0, 0, 1, 1, 1, 1);
    plain.control.reset();
    ASSERT_TRUE(ComposeUpTo(harness_, {Solid(0, 0, 4, 2, 3, 1), plain}, 0));
    EXPECT_EQ(harness_.viewer()->frameDelay, 100u);
    ASSERT_TRUE(harness_.Step(1));
    EXPECT_EQ(harness_.viewer()->frameDelay, 0u);
    EXPECT_EQ(harness_.viewer()->disposal, 0u);
}

// A delay of another type than the GIF's 16-bit one counts as absent: the frame is shown for
// the display time of the frame decoded before it, whichever that was.
TEST_F(CompositionTest, ADelayOfAnotherTypeKeepsThePreviousDisplayTime) {
    ASSERT_TRUE(OpenCanvas(harness_, {Delayed(Solid(0, 0, 1, 1, 1, 1), 7), Solid(0, 0, 1, 1, 2, 1),
                                      Delayed(Solid(0, 0, 1, 1, 3, 1), 8)}));
    TavorenGif* viewer = harness_.viewer();
    FaultyDecoder::Install(viewer->decoder, 1, FaultyDecoder::Fault::OtherType,
                           TEXT("/grctlext/Delay"));
    const UINT order[] = {0, 1, 2, 1}, shown[] = {70, 70, 80, 80};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(viewer->DecodeFrame(order[i]));
        EXPECT_EQ(viewer->frameDelay, shown[i]);
    }
}

// The placement is incomplete without the left edge: the frame is decoded but never drawn,
// while the rest of its metadata is still read.
TEST_F(CompositionTest, AFrameWhoseLeftEdgeCannotBeReadIsNotDrawn) {
    ASSERT_TRUE(
        OpenCanvas(harness_, {Solid(0, 0, 4, 2, 3, 1), Delayed(Solid(2, 1, 1, 1, 1, 2), 7)}));
    TavorenGif* viewer = harness_.viewer();
    FaultyDecoder::Install(viewer->decoder, 1, FaultyDecoder::Fault::MissingItem,
                           TEXT("/imgdesc/Left"));
    ASSERT_TRUE(harness_.Step(0));
    EXPECT_FALSE(harness_.Step(1));
    EXPECT_NE(viewer->frameBitmap, nullptr) << "the pixels were decoded";
    EXPECT_EQ(viewer->frameRect.left, 0.0f) << "frame 0's left edge";
    EXPECT_EQ(viewer->frameRect.top, 1.0f);
    EXPECT_EQ(viewer->frameRect.right, 1.0f);
    EXPECT_EQ(viewer->frameRect.bottom, 2.0f);
    EXPECT_EQ(viewer->frameDelay, 70u);
    EXPECT_EQ(viewer->disposal, 2u);
    EXPECT_EQ(Read(harness_, 4, 2),
              (Picture{{kBlue, kBlue, kBlue, kBlue}, {kBlue, kBlue, kBlue, kBlue}}));
}

// A frame's bitmap may be made in the memory of the one before (the stand-in keeps a large
// bitmap's pixels for the next of its size), so every pixel of it must be written: here the
// rows that frame 1's cut-off data does not reach are transparent over the background frame 0
// was cleared to. Frame 0's colour, read back as indices, would be green and blue.
TEST(FrameBitmapTest, RowsACutFrameDoesNotReachAreTransparentOverTheMemoryOfTheFrameBefore) {
    constexpr uint16_t kSide = 512;  // a 1 MB bitmap
    GifImage image;
    image.width = image.height = kSide;
    image.globalTable.assign(256, {0, 0, 255});
    image.globalTable[0] = {1, 1, 1};
    image.globalTable[1] = {0, 255, 0};
    GifFrame green = SolidFrame(0, 0, kSide, kSide, 1, 10, 1);
    green.control->transparencyFlag = true;
    green.control->transparentIndex = 2;
    green.indices.assign(kSide, 1);  // the first row only
    image.frames = {SolidFrame(0, 0, kSide, kSide, 0, 10, 2), green};
    ViewerHarness harness(kSide, kSide);
    const bool opened = harness.Open(image, kWhite);
#if defined(_WIN32)
    if (!opened) {
        GTEST_SKIP() << "this imaging component refuses image data cut off as it opens the file "
                        "(Wine's does); the stand-in's reuse of bitmap memory is checked natively";
    }
#endif
    ASSERT_TRUE(opened);
    ASSERT_TRUE(harness.Step(0));
    ASSERT_TRUE(harness.Step(1));
    const std::vector<uint32_t> capture = harness.PaintAndCapture();
    EXPECT_EQ(harness.At(capture, 0, 0), kGreen);
    EXPECT_EQ(harness.At(capture, kSide - 1, kSide - 1), kWhite);
    EXPECT_EQ(harness.At(capture, kSide / 2, kSide / 2), kWhite);
}

// Each frame is shown for its stored delay under the display-time rule in force when it is
// decoded, whatever the container: a GIF's hundredths and a WebP's milliseconds alike.
class AnyFormatDisplayTime : public ::testing::TestWithParam<ImageFormat> {};

TEST_P(AnyFormatDisplayTime, EachFrameIsShownForItsDelayUnderTheRuleOfTheDecode) {
    SKIP_UNLESS_FORMAT_AVAILABLE(GetParam());
    struct Case {
        int delayMs;
        UINT normal, ie;
    };
    std::vector<Case> cases = {{0, 100, 100},   {10, 100, 100},       {30, 30, 100},
                               {40, 40, 100},   {50, 50, 100},        {60, 60, 60},
                               {100, 100, 100}, {70000, 70000, 70000}};
    // Not a whole number of hundredths: WebP only.
    if (GetParam() == ImageFormat::WebP) cases.insert(cases.end(), {{11, 11, 100}, {51, 51, 51}});
    std::vector<int> delays;
    for (const Case& c : cases) delays.push_back(c.delayMs);
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(BuildSolidAnimation(GetParam(), 8, 8, delays)));
    TavorenGif* viewer = harness.viewer();
    for (UINT i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].delayMs);
        viewer->ieTiming = false;
        ASSERT_TRUE(viewer->DecodeFrame(i));
        EXPECT_EQ(viewer->frameDelay, cases[i].normal);
        viewer->ieTiming = true;
        ASSERT_TRUE(viewer->DecodeFrame(i));
        EXPECT_EQ(viewer->frameDelay, cases[i].ie);
    }
}

INSTANTIATE_TEST_SUITE_P(, AnyFormatDisplayTime, ::testing::ValuesIn(kBothFormats),
                         FormatCaseName());

}  // namespace
