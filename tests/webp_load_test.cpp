// WebP loads: the canvas from frame 0, durations summed raw. The WebP images are built with
// libwebp, which the Windows builds do not have; Wine has no WebP decoder anyway.
#include <gtest/gtest.h>

#include "analysis/recompute_timing.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"

#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

namespace {

class WebPLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
#if !TAVOREN_HAS_WEBP_BUILDER
        GTEST_SKIP() << "skipped in the Windows builds: no WebP encoder to build test images, "
                        "and Wine's imaging component has no WebP decoder";
#endif
        viewer_ = CreateInstance(nullptr);
    }
    void TearDown() override {
        DestroyInstance(viewer_);
    }

    TavorenGif* viewer_ = nullptr;
};

#if TAVOREN_HAS_WEBP_BUILDER
LoadRecord LoadWebP(TavorenGif* viewer, int width, int height,
                    const std::vector<WebPTestFrame>& frames, bool still = false) {
    std::vector<uint8_t> bytes = BuildAnimatedWebP(width, height, frames, still);
    return LoadFromMemory(viewer, std::vector<BYTE>(bytes.begin(), bytes.end()));
}
#endif

TEST_F(WebPLoadTest, AnimatedWebPIntoAFreshViewer) {
#if TAVOREN_HAS_WEBP_BUILDER
    WebPTestFrame first, second;
    first.durationMs = 0;
    first.argb = 0xFFFF0000;
    second.durationMs = 40;
    second.argb = 0x8000FF00;
    LoadRecord record = LoadWebP(viewer_, 24, 16, {first, second});
    EXPECT_EQ(record.result, 0);
    EXPECT_EQ(record.progress, (std::vector<std::pair<UINT32, UINT32>>{{0, 2}, {1, 2}, {2, 2}}));
    EXPECT_TRUE(viewer_->isWebP);
    EXPECT_EQ(viewer_->width, 24u);
    EXPECT_EQ(viewer_->height, 16u);
    EXPECT_TRUE(viewer_->isTransparent);
    EXPECT_EQ(viewer_->colorBits, 0);
    EXPECT_EQ(viewer_->totalDuration, 40) << "raw durations, no display-time rule";
    EXPECT_FALSE(viewer_->hasShortDelays);
    const D2D1_COLOR_F background = viewer_->ReadColor(viewer_->backgroundColor);
    EXPECT_EQ(background.a, 0.0f) << "no image colour taken from a WebP";
#endif
}

// The totals of a WebP are raw sums under either rule, also after a switch recomputes them.
TEST_F(WebPLoadTest, ASwitchOfTheRuleLeavesTheRawTotal) {
#if TAVOREN_HAS_WEBP_BUILDER
    std::vector<WebPTestFrame> frames(2);
    frames[0].durationMs = 0;
    frames[1].durationMs = 40;
    ASSERT_EQ(LoadWebP(viewer_, 8, 8, frames).result, 0);
    EXPECT_EQ(viewer_->totalDuration, 40);
    for (bool ieTiming : {true, false}) {
        SCOPED_TRACE(ieTiming);
        viewer_->ieTiming = ieTiming;
        RecomputeTiming(viewer_);
        EXPECT_EQ(viewer_->totalDuration, 40);
        EXPECT_EQ(viewer_->elapsed, 0);
        EXPECT_FALSE(viewer_->hasShortDelays) << "durations never count as short delays";
    }
#endif
}

TEST_F(WebPLoadTest, DurationsAreSummedInFull) {
#if TAVOREN_HAS_WEBP_BUILDER
    std::vector<WebPTestFrame> frames(6);
    const int durations[] = {0, 10, 11, 40, 50, 51};
    for (size_t i = 0; i < frames.size(); ++i) frames[i].durationMs = durations[i];
    EXPECT_EQ(LoadWebP(viewer_, 8, 8, frames).result, 0);
    EXPECT_EQ(viewer_->totalDuration, 162);

    viewer_->ieTiming = true;
    frames.resize(2);
    frames[0].durationMs = 70000;
    frames[1].durationMs = 70000;
    EXPECT_EQ(LoadWebP(viewer_, 8, 8, frames).result, 0);
    EXPECT_EQ(viewer_->totalDuration, 140000);
#endif
}

}  // namespace
