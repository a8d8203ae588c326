// Images at and beyond what the module can hold: each loads or is refused with its defined
// answer, and a canvas the drawing device cannot hold is composed on the largest surface the
// device allows, and plays. What each case costs in memory and time is measured by
// bench/limits_probe.cpp (tools/limits), one process per case; here a surface at the limit is one
// row high, not 1 GiB.
#include <gtest/gtest.h>

#include <algorithm>

#include "playback/transport.h"
#include "tests/support/corpus.h"
#include "tests/support/limit_images.h"
#include "tests/support/live_counts.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/test_window.h"
#include "tests/support/worker_waits.h"

namespace {

constexpr unsigned kTimeout = 10000;
constexpr int kWindowSide = 64;

class LimitsTest : public ::testing::Test {
  protected:
    // One window for all the cases: under Wine a window costs a couple of seconds.
    static void SetUpTestSuite() { window_ = new TestWindow(kWindowSide, kWindowSide); }
    static void TearDownTestSuite() {
        delete window_;
        window_ = nullptr;
    }
    void SetUp() override {
        baseline_ = LiveCounts::Now();
        viewer_ = CreateInstance(nullptr);
        // Opaque, so that any paint that draws shows in the window.
        viewer_->WriteColor(viewer_->hostBackgroundColor, {0.0f, 1.0f, 0.0f, 1.0f});
    }
    void TearDown() override {
        DestroyInstance(viewer_);
#if !defined(_WIN32)
        const LiveCounts left = LiveCounts::Settled(baseline_, kTimeout);
        EXPECT_TRUE(left.SameAs(baseline_)) << left << " after, " << baseline_ << " before";
#endif
    }

    LoadRecord Load(const std::vector<uint8_t>& bytes) {
        return LoadFromMemory(viewer_, {bytes.begin(), bytes.end()});
    }
    INT32 Attach() {
        return AttachWindow(viewer_, window_->hwnd());
    }
    // The canvas and the frame count the load found.
    void ExpectImage(UINT width, UINT height, UINT frames) const {
        EXPECT_EQ(viewer_->width, width);
        EXPECT_EQ(viewer_->height, height);
        EXPECT_EQ(viewer_->frameCount, frames);
    }

    // The side the drawing device takes for a surface. Linux: the stand-in's; Windows: the
    // device's own (Direct2D reports it for the window surface).
    UINT32 MaximumSurfaceSide() const {
#if defined(_WIN32)
        return viewer_->windowTarget ? viewer_->windowTarget->GetMaximumBitmapSize() : 0;
#else
        return D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE;
#endif
    }
    bool CanvasFits() const {
        return std::max(viewer_->width, viewer_->height) <= MaximumSurfaceSide();
    }

    INT32 Paint() {
        RECT source{0, 0, kWindowSide, kWindowSide}, dest{0, 0, kWindowSide, kWindowSide};
        return Render(viewer_, 0, &source, &dest, 1);
    }

    // The worker's order, as far as the frames compose: the count that did.
    UINT ComposeFrames(UINT count) {
        for (UINT i = 0; i < count; ++i) {
            viewer_->currentFrame = i;
            if (!viewer_->ComposeNextFrame()) return i;
        }
        return count;
    }

    // A canvas beyond the device: the largest surface the device allows, of the canvas's
    // shape, with the canvas's size kept in drawing units. False where the device could not
    // make even that (the attach then failed whole, as it must).
    bool ExpectTheLargestSurfaceTheDeviceAllows() {
        const INT32 attached = Attach();
        EXPECT_FALSE(CanvasFits()) << viewer_->width << "x" << viewer_->height;
        if (attached != 0) {
            EXPECT_EQ(attached, -1);
            EXPECT_EQ(viewer_->composeTarget, nullptr);
            return false;
        }
        if (!viewer_->composeTarget) {
            ADD_FAILURE() << "0 without a surface";
            return false;
        }
        const UINT64 limit = MaximumSurfaceSide(), w = viewer_->width, h = viewer_->height;
        const UINT64 longest = std::max(w, h);
        const D2D1_SIZE_U pixels = viewer_->composeTarget->GetPixelSize();
        EXPECT_EQ(pixels.width, (w * limit + longest - 1) / longest);
        EXPECT_EQ(pixels.height, (h * limit + longest - 1) / longest);
        const D2D1_SIZE_F units = viewer_->composeTarget->GetSize();
        EXPECT_NEAR(units.width, static_cast<double>(w), w * 1e-6);
        EXPECT_NEAR(units.height, static_cast<double>(h), h * 1e-6);
        return true;
    }

    // Plays, awaits the first frame on the window, and stops.
    void ExpectPlaysAndStops() {
        const int shown = window_->invalidations();
        EXPECT_EQ(Play(viewer_), 0);
        ASSERT_TRUE(window_->WaitForInvalidation(shown + 1, kTimeout)) << "no frame shown";
        StopPlayback(viewer_);
        EXPECT_FALSE(viewer_->workerExists);
        EXPECT_EQ(viewer_->currentFrame, 0u);
    }

    static inline TestWindow* window_ = nullptr;
    TavorenGif* viewer_ = nullptr;
    LiveCounts baseline_;
};

// Not composed here: the surface at the limit on both sides is 1 GiB (the driver measures it).
TEST_F(LimitsTest, ALogicalScreenOf65535SquaredGetsTheLargestSurfaceTheDeviceAllows) {
    const LoadRecord record = Load(TinyFramesOnScreen(65535, 65535, 2));
    ASSERT_EQ(record.result, 0);
    ExpectImage(65535, 65535, 2);
#if defined(_WIN32)
    if (!ExpectTheLargestSurfaceTheDeviceAllows()) {
        GTEST_SKIP() << "this device cannot make its largest surface: the attach failed whole";
    }
#else
    EXPECT_TRUE(ExpectTheLargestSurfaceTheDeviceAllows());
#endif
}

TEST_F(LimitsTest, AScreenBeyondTheDeviceOnOneSideOnlyIsComposedShrunkAndPlays) {
    ASSERT_EQ(Load(TinyFramesOnScreen(65535, 1, 2)).result, 0);
    ASSERT_TRUE(ExpectTheLargestSurfaceTheDeviceAllows());
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();
}

// The limit itself is a size the device takes, and one pixel more is not. One row high, so
// that the surface at the limit costs 64 kB rather than 1 GiB (the driver measures that one).
TEST_F(LimitsTest, AScreenOfExactlyTheDevicesLimitGetsItsSurfaceAndOneMoreAShrunkOne) {
    ASSERT_EQ(Load(TinyFramesOnScreen(1, 1, 2)).result, 0);
    ASSERT_EQ(Attach(), 0);
    const UINT32 limit = MaximumSurfaceSide();
    ASSERT_GE(limit, 2u);
    ASSERT_LT(limit, 65535u);

    ASSERT_EQ(Load(TinyFramesOnScreen(static_cast<uint16_t>(limit), 1, 2)).result, 0);
    ASSERT_EQ(Attach(), 0);
    EXPECT_TRUE(CanvasFits());
    ASSERT_NE(viewer_->composeTarget, nullptr) << "refused at " << limit;
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();

    ASSERT_EQ(Load(TinyFramesOnScreen(static_cast<uint16_t>(limit + 1), 1, 2)).result, 0);
    ASSERT_TRUE(ExpectTheLargestSurfaceTheDeviceAllows());
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();
}

TEST_F(LimitsTest, AnEmptyScreenLoadsAndPlaysAPictureOfNothing) {
    const LoadRecord record = Load(TinyFramesOnScreen(0, 0, 2));
    ASSERT_EQ(record.result, 0);
    ExpectImage(0, 0, 2);
    ASSERT_EQ(Attach(), 0);
#if defined(_WIN32)
    // Direct2D's answer for a surface of no pixels is the device's; either is defined here.
    if (!viewer_->composeTarget) {
        EXPECT_EQ(Paint(), 0);
        return;
    }
#endif
    ASSERT_NE(viewer_->composeTarget, nullptr) << "the stand-in makes a surface of no pixels";
    EXPECT_EQ(ComposeFrames(2), 2u);
    EXPECT_EQ(Paint(), 0);
    ExpectPlaysAndStops();
}

TEST_F(LimitsTest, FramesFarOutsideTheScreenDrawNothing) {
    ASSERT_EQ(Load(FramesFarOutsideTheScreen()).result, 0);
    EXPECT_EQ(viewer_->frameCount, 4u);
    ASSERT_EQ(Attach(), 0);
    ASSERT_NE(viewer_->composeTarget, nullptr);
    EXPECT_EQ(ComposeFrames(4), 4u);
    RECT source{0, 0, 8, 8}, dest{0, 0, 8, 8};
    EXPECT_EQ(Render(viewer_, 0, &source, &dest, 0), 0);
    // Only the first frame's red shows: each later frame lies beside or beyond the screen.
    const std::vector<uint32_t> shown = window_->CaptureWhen(
        [](const std::vector<uint32_t>& pixels) {
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    if ((pixels[size_t(y) * kWindowSide + x] & 0xFFFFFF) != 0xFF0000) return false;
                }
            }
            return true;
        },
        kTimeout);
    EXPECT_EQ(shown[0] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shown[7 * kWindowSide + 7] & 0xFFFFFF, 0xFF0000u);
    ExpectPlaysAndStops();
}

// The screen is tiny, the frame beyond the device: that frame fails to decode and leaves no
// bitmap; the worker shows the frame before it and ends there.
TEST_F(LimitsTest, AFrameBeyondTheDeviceOnATinyScreenEndsPlaybackAtThatFrame) {
    const LoadRecord record = Load(OversizedFrameOnTinyScreen(65535));
    if (RunningUnderWine() && record.result != 0) {
        GTEST_SKIP() << "Wine's GIF decoder decodes every frame when it opens a file and "
                        "refuses one that it cannot hold";
    }
    ASSERT_EQ(record.result, 0);
    EXPECT_EQ(viewer_->frameCount, 2u);
    ASSERT_EQ(Attach(), 0);
    ASSERT_NE(viewer_->composeTarget, nullptr);
    EXPECT_EQ(ComposeFrames(2), 1u);
    EXPECT_EQ(viewer_->frameBitmap, nullptr) << "a partial frame bitmap was left";
    EXPECT_EQ(Paint(), 0);

    viewer_->currentFrame = 0;
    const int shown = window_->invalidations();
    EXPECT_EQ(Play(viewer_), 0);
    EXPECT_TRUE(window_->WaitForInvalidation(shown + 1, kTimeout)) << "frame 0 not shown";
    ASSERT_TRUE(WaitForWorkerEnd(viewer_, kTimeout));
    EXPECT_FALSE(viewer_->running);
    EXPECT_EQ(viewer_->frameBitmap, nullptr);
}

TEST_F(LimitsTest, TheCorpusDecompressionBombLoadsAndItsFrameIsRefusedAtEveryPaint) {
    const std::vector<uint8_t> bytes =
        ReadBytes(std::filesystem::path(TAVOREN_CORPUS_DIR) / "gif/pillow-decompression_bomb.gif");
    SKIP_WITHOUT_CORPUS(bytes);
    const LoadRecord record = Load(bytes);
    if (RunningUnderWine() && record.result != 0) {
        GTEST_SKIP() << "Wine's GIF decoder refuses the file at open (its frame of 65535 "
                        "columns lies below the screen)";
    }
    ASSERT_EQ(record.result, 0);
    ExpectImage(32, 32, 1);
    ASSERT_EQ(Attach(), 0);
    ASSERT_NE(viewer_->composeTarget, nullptr);
    for (int paint = 0; paint < 2; ++paint) {
        EXPECT_EQ(Paint(), -1) << "a frame that cannot be decoded fails the paint";
        EXPECT_EQ(viewer_->frameBitmap, nullptr);
    }
    EXPECT_EQ(Play(viewer_), 0);
    EXPECT_FALSE(viewer_->workerExists) << "a single frame is not played";
}

TEST_F(LimitsTest, TheCorpusBombOfFrameExtentsPlaysWithTheOuterFrameUnseen) {
    const std::vector<uint8_t> bytes = ReadBytes(std::filesystem::path(TAVOREN_CORPUS_DIR) /
                                                 "gif/pillow-decompression_bomb_extents.gif");
    SKIP_WITHOUT_CORPUS(bytes);
    ASSERT_EQ(Load(bytes).result, 0);
    EXPECT_EQ(viewer_->frameCount, 2u);
    EXPECT_EQ(viewer_->width, 100u);
    ASSERT_EQ(Attach(), 0);
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();
}

// Composing all 10,000 frames is a few dozen milliseconds natively; under Wine every frame
// goes through Wine's Direct2D, so there the first and the last hundred are composed.
TEST_F(LimitsTest, TenThousandFramesLoadCountAndCompose) {
    constexpr UINT kFrames = 10000;
    const LoadRecord record = Load(TinyFramesOnScreen(1, 1, kFrames));
    ASSERT_EQ(record.result, 0);
    EXPECT_EQ(viewer_->frameCount, kFrames);
    EXPECT_EQ(record.progress.size(), kFrames + 1);
    EXPECT_EQ(record.progress.back(), std::make_pair(kFrames, kFrames));
    EXPECT_EQ(viewer_->totalDuration, static_cast<INT>(kFrames * 20));
    ASSERT_EQ(Attach(), 0);
    if (!RunningUnderWine()) {
        EXPECT_EQ(ComposeFrames(kFrames), kFrames);
    } else {
        EXPECT_EQ(ComposeFrames(100), 100u);
        for (UINT i = kFrames - 100; i < kFrames; ++i) {
            viewer_->currentFrame = i;
            ASSERT_TRUE(viewer_->ComposeNextFrame()) << "frame " << i;
        }
    }
    viewer_->currentFrame = 0;
    ExpectPlaysAndStops();
}

#if TAVOREN_HAS_WEBP_BUILDER
// The VP8X canvas against the device's limit, one side at a time as for the GIF screen. The
// driver measures a canvas of 16383x16383, which fits and costs some 4 GiB to compose: the
// surface, libwebp's two canvases and the frame bitmap.
TEST_F(LimitsTest, AWebPCanvasAtTheLimitGetsItsSurfaceAndOneBeyondItAShrunkOne) {
    ASSERT_EQ(Load(TinyFramesOnWebPCanvas(D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE, 16)).result, 0);
    ExpectImage(D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE, 16, 2);
    ASSERT_EQ(Attach(), 0);
    ASSERT_NE(viewer_->composeTarget, nullptr);
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();

    ASSERT_EQ(Load(TinyFramesOnWebPCanvas(16, D2D1_STAND_IN_MAXIMUM_BITMAP_SIZE + 1)).result, 0);
    EXPECT_EQ(viewer_->frameCount, 2u);
    ASSERT_TRUE(ExpectTheLargestSurfaceTheDeviceAllows());
    EXPECT_EQ(ComposeFrames(2), 2u);
    ExpectPlaysAndStops();
}

// libwebp's demuxer refuses a canvas of 2^32 pixels or more, up to the format's largest.
TEST_F(LimitsTest, AWebPCanvasOfFourBillionPixelsOrMoreIsRefused) {
    for (uint32_t side : {65536u, 1u << 20, 1u << 24}) {
        SCOPED_TRACE(side);
        const LoadRecord record = Load(TinyFramesOnWebPCanvas(side, side));
        EXPECT_EQ(record.result, -1);
        EXPECT_EQ(viewer_->frameCount, 0u);
        EXPECT_TRUE(record.progress.empty());
    }
    ASSERT_EQ(Attach(), 0);
    EXPECT_EQ(Paint(), 0);
    EXPECT_EQ(Play(viewer_), 0);
    EXPECT_FALSE(viewer_->workerExists);
}
#endif

}  // namespace
