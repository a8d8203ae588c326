// Built WebP animations whose partly transparent frames blend over each other, composed
// through the module frame by frame and compared with libwebp's own animation decoder
// (straight RGBA) flattened over the same background: exact where a pixel is opaque or fully
// transparent, within one where premultiplication rounds.
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstdlib>
#include <iterator>
#include <vector>

#include "tests/support/flattened_canvas.h"
#include "tests/support/platform_info.h"
#include "tests/support/viewer_harness.h"

#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

namespace {

#if TAVOREN_HAS_WEBP_BUILDER
constexpr uint32_t kBackground = 0x3366CC;
#endif

TEST(WebPComposition, PartlyTransparentFramesMatchLibWebPsOwnDecoder) {
    SKIP_WITHOUT_WEBP_DECODER();
#if !TAVOREN_HAS_WEBP_BUILDER
    GTEST_SKIP() << "no WebP encoder in this build to make the images";
#else
    constexpr int kWidth = 24, kHeight = 16;
    std::vector<WebPTestFrame> frames = {
        GradientFrame(kWidth, kHeight, 0, 0, 1),  // over the transparent canvas
        GradientFrame(12, 10, 4, 2, 2),           // blended over frame 0
        GradientFrame(10, 8, 10, 6, 3),           // blended, then disposed to transparent
        GradientFrame(16, 12, 6, 4, 4),           // replaces its rectangle without blending
        GradientFrame(kWidth, kHeight, 0, 0, 5),  // blended over all of it
    };
    frames[2].disposeToBackground = true;
    frames[3].blend = false;
    const std::vector<uint8_t> bytes = BuildAnimatedWebP(kWidth, kHeight, frames);
    const std::vector<std::vector<uint8_t> > reference = LibWebPCanvases(bytes);
    ASSERT_EQ(reference.size(), frames.size());

    ViewerHarness harness(kWidth, kHeight);
    ASSERT_TRUE(harness.Open(bytes, kBackground));
    ASSERT_EQ(harness.viewer()->frameCount, frames.size());
    int partial = 0;
    for (UINT f = 0; f < frames.size(); ++f) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(harness.Step(f));
        partial += ExpectFlattenedCanvas(harness, harness.PaintAndCapture(), reference[f].data(),
                                         kWidth, kHeight, kBackground);
    }
    EXPECT_GT(partial, kWidth * kHeight) << "the frames must blend partly transparent pixels";
#endif
}

// Whatever its offset in the container, a WebP frame is placed at the canvas origin at the size
// the decoder gives it, and restored to the background. (Its display time: the display-time
// cases that run over both formats, in composition_test.cpp.)
TEST(WebPComposition, EachFrameIsPlacedAtTheCanvasOriginAtItsDecodedSize) {
    SKIP_WITHOUT_WEBP_DECODER();
#if !TAVOREN_HAS_WEBP_BUILDER
    GTEST_SKIP() << "no WebP encoder in this build to make the images";
#else
    std::vector<WebPTestFrame> frames(3);
    for (WebPTestFrame& frame : frames) {
        frame.width = frame.height = 4;
        frame.offsetX = frame.offsetY = 2;
    }
    ViewerHarness harness(8, 8);
    ASSERT_TRUE(harness.Open(BuildAnimatedWebP(8, 8, frames)));
    TavorenGif* viewer = harness.viewer();
    for (UINT i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(viewer->DecodeFrame(i));
        Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
        ASSERT_TRUE(SUCCEEDED(viewer->decoder->GetFrame(i, frame.GetAddressOf())));
        UINT width = 0, height = 0;
        ASSERT_TRUE(SUCCEEDED(frame->GetSize(&width, &height)));
        EXPECT_EQ(viewer->frameRect.left, 0.0f);
        EXPECT_EQ(viewer->frameRect.top, 0.0f);
        EXPECT_EQ(viewer->frameRect.right, static_cast<FLOAT>(width));
        EXPECT_EQ(viewer->frameRect.bottom, static_cast<FLOAT>(height));
        EXPECT_EQ(viewer->disposal, 2u);
    }
#endif
}

}  // namespace
