// The stand-in's WebP frames, composed on its one canvas, against libwebp's own animation
// decoder, the reference it replaces: every frame of the corpus and of built animations, read
// through the imaging component's objects, must be the same bytes.
#include <gtest/gtest.h>
#include <webp/demux.h>

#include <string>

#include "tests/support/corpus.h"
#include "tests/support/webp_builder.h"
#include "tests/support/webp_decoders_compare.h"

namespace {

void ExpectLibWebPsCanvases(const std::vector<uint8_t>& bytes, const std::string& what) {
    EXPECT_EQ(FirstWebPCanvasDifference(bytes), "") << what;
}

TEST(WebPCanvasDifferential, CorpusFramesAreLibWebPsCanvases) {
    const auto files = CorpusFiles("webp");
    SKIP_WITHOUT_CORPUS(files);
    for (const auto& file : files) ExpectLibWebPsCanvases(ReadBytes(file), file.filename());
}

WebPTestFrame Solid(uint32_t argb, int width, int height, int x, int y) {
    WebPTestFrame frame = PlacedFrame(width, height, x, y);
    frame.argb = argb;
    return frame;
}

WebPTestFrame With(WebPTestFrame frame, bool disposeToBackground, bool blend, bool lossy = false) {
    frame.disposeToBackground = disposeToBackground;
    frame.blend = blend;
    frame.lossy = lossy;
    return frame;
}

struct BuiltCase {
    const char* name;
    std::vector<WebPTestFrame> frames;  // on a 24x16 canvas
};

// Each case reaches one of the composition rules: blending over what the frame before left,
// or after its disposal (where the disposed rectangle is taken as decoded, not blended), each
// kind of key frame, frames that replace their rectangle, and lossy frames with alpha.
const BuiltCase kBuiltCases[] = {
    {"blend over kept frames",
     {GradientFrame(24, 16, 0, 0, 1), GradientFrame(12, 10, 4, 2, 2),
      GradientFrame(10, 6, 14, 10, 3)}},
    {"blend after a disposal, reaching past it on both sides",
     {GradientFrame(24, 16, 0, 0, 1), With(GradientFrame(8, 8, 8, 4, 2), true, true),
      GradientFrame(20, 10, 2, 2, 3), GradientFrame(6, 4, 10, 6, 4)}},
    {"replacing frames, disposed and not",
     {GradientFrame(24, 16, 0, 0, 1), With(GradientFrame(10, 8, 6, 4, 2), false, false),
      With(GradientFrame(10, 8, 12, 6, 3), true, false), GradientFrame(16, 12, 4, 2, 4)}},
    {"key frames: opaque over all, replacing all, after a whole or a key frame disposed",
     {GradientFrame(12, 8, 2, 2, 1), Solid(0xFF123456, 24, 16, 0, 0),
      With(GradientFrame(24, 16, 0, 0, 2), true, false),
      With(GradientFrame(10, 8, 4, 4, 3), true, true), GradientFrame(8, 6, 2, 2, 4),
      GradientFrame(12, 10, 6, 4, 5), Solid(0x00000000, 4, 4, 20, 12)}},
    {"lossy frames with alpha",
     {With(GradientFrame(24, 16, 0, 0, 1), false, true, true),
      With(GradientFrame(12, 10, 4, 2, 2), true, true, true),
      With(GradientFrame(16, 12, 2, 4, 3), false, true, true),
      With(Solid(0x80FF8040, 10, 6, 8, 8), false, false, true)}},
};

TEST(WebPCanvasDifferential, BuiltAnimationsAreLibWebPsCanvases) {
    for (const BuiltCase& c : kBuiltCases) {
        ExpectLibWebPsCanvases(BuildAnimatedWebP(24, 16, c.frames), c.name);
    }
}

// A frame that does not decode fails however often it is asked for, and leaves the frames
// before it as they were.
TEST(WebPCanvasDifferential, AFrameThatDoesNotDecodeFailsAndTheNextRequestStartsOver) {
    std::vector<uint8_t> bytes =
        BuildAnimatedWebP(24, 16, {GradientFrame(24, 16, 0, 0, 1), GradientFrame(12, 10, 4, 2, 2)});
    const WebPData data{bytes.data(), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    ASSERT_TRUE(demux);
    WebPIterator second;
    ASSERT_TRUE(WebPDemuxGetFrame(demux, 2, &second));
    // Past the VP8L chunk's header and the bitstream's own, all ones: no valid code.
    const size_t start = static_cast<size_t>(second.fragment.bytes - bytes.data()) + 8 + 5;
    const size_t end = start + second.fragment.size - 8 - 5;
    WebPDemuxReleaseIterator(&second);
    WebPDemuxDelete(demux);
    std::fill(bytes.begin() + static_cast<ptrdiff_t>(start),
              bytes.begin() + static_cast<ptrdiff_t>(end), 0xFF);
    ASSERT_EQ(LibWebPCanvases(bytes).size(), 1u) << "libwebp must refuse the second frame too";
    ExpectLibWebPsCanvases(bytes, "the second frame damaged");
}

}  // namespace
