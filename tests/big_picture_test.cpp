// Big pictures: a still is composed once and repainted from its composition, a canvas wider
// than the drawing device is shown whole at the largest surface the device allows, and an
// attach that can make no surface at all fails.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/faulty_decoder.h"
#include "tests/support/viewer_harness.h"
#include "tests/support/webp_builder.h"

#if !defined(_WIN32)
#include <tavoren_platform_probe.h>
#endif

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
constexpr uint32_t kYellow = 0xFFFF00, kGrey = 0x808080, kBlack = 0x000000;
constexpr unsigned kTimeoutMs = 10000;

const std::vector<GifColor> kPalette = {{255, 0, 0},     {0, 255, 0},   {0, 0, 255},
                                        {255, 255, 255}, {255, 255, 0}, {0, 0, 0}};

// A width x height frame of four equal vertical bands: red, green, blue, white; index 5 (the
// transparent one where a frame says so) in its top-left 2x2.
GifFrame Bands(uint16_t width, uint16_t height, bool transparentCorner) {
    GifFrame frame;
    frame.width = width;
    frame.height = height;
    frame.control = GifControl{};
    frame.control->disposal = 1;
    frame.control->transparencyFlag = transparentCorner;
    frame.control->transparentIndex = 5;
    frame.indices.resize(size_t{width} * height);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            frame.indices[y * width + x] =
                transparentCorner && x < 2 && y < 2 ? 5 : static_cast<uint8_t>(x * 4 / width);
        }
    }
    return frame;
}

std::vector<uint8_t> BandsGif(uint16_t width, uint16_t height, bool transparentCorner) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.globalTable = kPalette;
    image.frames = {Bands(width, height, transparentCorner)};
    return BuildGif(image);
}

struct StillCase {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
};

std::vector<StillCase> Stills() {
    std::vector<StillCase> cases = {{"GIF", [] { return BandsGif(16, 8, true); }}};
#if TAVOREN_HAS_WEBP_BUILDER
    cases.push_back({"WebP", [] {
                         WebPTestFrame frame;
                         frame.pixels.resize(16 * 8);
                         for (size_t i = 0; i < frame.pixels.size(); ++i) {
                             const uint32_t rgb[] = {kRed, kGreen, kBlue, kWhite};
                             const size_t x = i % 16, y = i / 16;
                             frame.pixels[i] = x < 2 && y < 2 ? 0 : 0xFF000000 | rgb[x / 4];
                         }
                         return BuildAnimatedWebP(16, 8, {frame}, true);
                     }});
#endif
    return cases;
}

// Where and how the picture is painted into the window.
struct Placement {
    const char* name;
    RECT source, dest;
    INT rotation;
    BYTE interpolation;
};

const Placement kPlacements[] = {
    {"fit, enlarged", {0, 0, 16, 8}, {0, 0, 64, 32}, 0, 1},
    {"1:1 panned", {5, 2, 16, 8}, {3, 1, 14, 7}, 0, 0},
    {"turned 90, fit", {0, 0, 8, 16}, {10, 0, 26, 32}, 90, 1},
    {"turned 180, panned", {4, 0, 16, 6}, {0, 0, 12, 6}, 180, 0},
};

class BigPictureTest : public ::testing::Test {
  protected:
    ViewerHarness harness_{64, 40};

    // Paints and reads the window once this paint shows. A frame reaches the screen some time
    // after the paint on Windows, so each paint clears to a host colour of its own (every other
    // paint alike), seen at the window's last pixel, which no placement covers.
    std::vector<uint32_t> Paint(const Placement& p) {
        const uint32_t host = ++paints_ % 2 ? kGrey : kGrey - 0x101010;
        TavorenGif* viewer = harness_.viewer();
        viewer->WriteColor(viewer->hostBackgroundColor, Opaque(host));
        viewer->rotation = p.rotation;
        EXPECT_EQ(Render(viewer, 0, &p.source, &p.dest, p.interpolation), 0);
        return harness_.window().CaptureWhen(
            [&](const std::vector<uint32_t>& shown) { return harness_.At(shown, 63, 39) == host; },
            kTimeoutMs);
    }
    int paints_ = 0;
};

// Every paint after the first draws the kept composition, whatever the placement; a new
// background composes again, once; a reload composes the new picture.
TEST_F(BigPictureTest, AStillIsDecodedOnceAndAgainOnlyWhenItsBackgroundChanges) {
    for (const StillCase& still : Stills()) {
        SCOPED_TRACE(still.name);
        ASSERT_TRUE(harness_.Open(still.bytes(), kBlack, kGrey));
        TavorenGif* viewer = harness_.viewer();
        int fetches = 0;
        FaultyDecoder::Install(viewer->decoder, 0, FaultyDecoder::Fault::Call, [&] { ++fetches; });
        for (const Placement& p : kPlacements) Paint(p);
        EXPECT_EQ(fetches, 1) << "decoded at a repaint";
        EXPECT_EQ(viewer->frameBitmap, nullptr) << "the frame's copy outlived its composition";

        viewer->WriteColor(viewer->backgroundColor, Opaque(kYellow));
        const std::vector<uint32_t> shown = Paint(kPlacements[1]);
        Paint(kPlacements[0]);
        EXPECT_EQ(fetches, 2);
        // The transparent corner shows the new background; (3, 1) is canvas pixel (5, 2).
        EXPECT_EQ(harness_.At(shown, 3, 1), kGreen);
        Placement corner{"corner", {0, 0, 2, 2}, {0, 0, 2, 2}, 0, 0};
        EXPECT_EQ(harness_.At(Paint(corner), 1, 1), kYellow);
        EXPECT_EQ(fetches, 2);

        ASSERT_TRUE(harness_.Open(still.bytes(), kBlack, kGrey));
        int fetchesAfterReload = 0;
        FaultyDecoder::Install(viewer->decoder, 0, FaultyDecoder::Fault::Call,
                               [&] { ++fetchesAfterReload; });
        EXPECT_EQ(harness_.At(Paint(corner), 1, 1), kBlack) << "the old composition was shown";
        Paint(kPlacements[2]);
        EXPECT_EQ(fetchesAfterReload, 1);
    }
}

// A repaint from the kept composition gives the very pixels of a paint that composes afresh.
TEST_F(BigPictureTest, ARepaintShowsWhatAFreshCompositionShowsAtEveryPlacement) {
    for (const StillCase& still : Stills()) {
        for (const Placement& p : kPlacements) {
            SCOPED_TRACE(std::string(still.name) + ", " + p.name);
            ASSERT_TRUE(harness_.Open(still.bytes(), kBlack, kGrey));
            const std::vector<uint32_t> fresh = Paint(p);
            Paint(kPlacements[(&p - kPlacements + 1) % std::size(kPlacements)]);
            EXPECT_EQ(Paint(p), fresh);
        }
    }
}

// A 20000x200 canvas, beyond the 16384 a side of common devices: a still of four bands, and
// an animation whose second frame lays a yellow square on the far end of the white band.
TEST_F(BigPictureTest, ACanvasWiderThanTheDeviceIsShownWholeDownscaled) {
    constexpr uint16_t kWide = 20000, kHigh = 200;
    GifImage animation;
    animation.width = kWide;
    animation.height = kHigh;
    animation.globalTable = kPalette;
    animation.frames = {Bands(kWide, kHigh, false), SolidFrame(19000, 0, 1000, kHigh, 4, 10, 1)};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t farEnd;
    } cases[] = {{"still", BandsGif(kWide, kHigh, false), kWhite},
                 {"animation", BuildGif(animation), kYellow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(harness_.Open(c.bytes, kBlack, kGrey));
        TavorenGif* viewer = harness_.viewer();
        ASSERT_NE(viewer->composeTarget, nullptr);
        const UINT32 limit = viewer->windowTarget->GetMaximumBitmapSize();
        ASSERT_LT(limit, kWide) << "this device holds the canvas whole";
        const D2D1_SIZE_U pixels = viewer->composeTarget->GetPixelSize();
        EXPECT_EQ(pixels.width, limit);
        EXPECT_EQ(pixels.height, (kHigh * limit + kWide - 1) / kWide);
        if (viewer->frameCount > 1) {
            ASSERT_TRUE(harness_.Step(0));
            ASSERT_TRUE(harness_.Step(1));
        }
        Placement whole{"whole", {0, 0, kWide, kHigh}, {0, 0, 64, 36}, 0, 1};
        const std::vector<uint32_t> shown = Paint(whole);
        const uint32_t bands[] = {kRed, kGreen, kBlue, kWhite};
        for (int band = 0; band < 4; ++band) {
            EXPECT_EQ(harness_.At(shown, band * 16 + 6, 20), bands[band]) << "band " << band;
        }
        EXPECT_EQ(harness_.At(shown, 63, 20), c.farEnd);
    }
}

// A still of more than 4 MB of pixels (1040 rows of 4160 bytes) is drawn a band of rows at a
// time: every row on either side of a band's edge is the picture's own, decoded once.
TEST_F(BigPictureTest, AStillDrawnInBandsShowsEveryRowAcrossTheBandEdges) {
    constexpr uint16_t kSide = 1040;
    GifImage image;
    image.width = image.height = kSide;
    image.globalTable = kPalette;
    image.frames = {Bands(kSide, kSide, false)};
    const auto index = [](LONG x, LONG y) { return (y + x * 4 / kSide) % 4; };
    for (LONG y = 0; y < kSide; ++y) {
        for (LONG x = 0; x < kSide; ++x) {
            image.frames[0].indices[size_t(y) * kSide + size_t(x)] = uint8_t(index(x, y));
        }
    }
    ASSERT_TRUE(harness_.Open(BuildGif(image), kBlack, kGrey));
    int fetches = 0;
    FaultyDecoder::Install(harness_.viewer()->decoder, 0, FaultyDecoder::Fault::Call,
                           [&] { ++fetches; });
    const uint32_t colours[] = {kRed, kGreen, kBlue, kWhite};
    for (const LONG top : {0L, 1000L, kSide - 39L}) {
        const LONG left = top % 997;
        Placement rows{"rows", {left, top, left + 63, top + 39}, {0, 0, 63, 39}, 0, 0};
        const std::vector<uint32_t> shown = Paint(rows);
        int wrong = 0;
        for (int y = 0; y < 39; ++y) {
            for (int x = 0; x < 63; ++x) {
                wrong += harness_.At(shown, x, y) != colours[index(left + x, top + y)];
            }
        }
        EXPECT_EQ(wrong, 0) << "rows from " << top;
    }
    EXPECT_EQ(fetches, 1);
}

#if !defined(_WIN32)
// A device that holds no surface of the canvas even shrunk: the attach fails whole, again on
// a second try, and painting draws nothing.
TEST_F(BigPictureTest, AnAttachThatCanMakeNoCompositionSurfaceFails) {
    TavorenSetSurfaceByteLimit(64 * 40 * 4);
    const bool opened = harness_.Open(BandsGif(200, 100, false), kBlack, kGrey);
    const INT32 second = AttachWindow(harness_.viewer(), harness_.window().hwnd());
    TavorenSetSurfaceByteLimit(0);
    EXPECT_FALSE(opened) << "AttachWindow answered 0";
    EXPECT_EQ(second, -1);
    EXPECT_EQ(harness_.viewer()->composeTarget, nullptr);
    EXPECT_EQ(harness_.viewer()->windowTarget, nullptr);
    const std::vector<uint32_t> before = harness_.window().Capture();
    RECT source{0, 0, 200, 100}, dest{0, 0, 64, 40};
    EXPECT_EQ(Render(harness_.viewer(), 0, &source, &dest, 1), 0);
    EXPECT_EQ(harness_.window().Capture(), before);
}
#else
TEST_F(BigPictureTest, AnAttachThatCanMakeNoCompositionSurfaceFails) {
    GTEST_SKIP() << "needs the stand-in's limit on surface memory to make a device that holds "
                    "nothing; Windows' devices cannot be told to refuse";
}
#endif

}  // namespace
