#include "tests/support/limit_images.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tests/support/gif_builder.h"
#if TAVOREN_HAS_WEBP_BUILDER
#include "tests/support/webp_builder.h"
#endif

namespace {

const std::vector<GifColor> kTwoColours = {{255, 0, 0}, {0, 0, 255}};

// 20 ms, nothing undone.
GifFrame Frame(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t index) {
    return SolidFrame(left, top, width, height, index, 2, 0);
}

}  // namespace

std::vector<uint8_t> TinyFramesOnScreen(uint16_t width, uint16_t height, unsigned frames) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.globalTable = kTwoColours;
    image.frames = {Frame(0, 0, 1, 1, 0), Frame(0, 0, 1, 1, 1)};
    if (frames <= 2) {
        image.frames.resize(frames);
        return BuildGif(image);
    }
    // The builder's encoder sets up a table of its own for every frame, which for ten
    // thousand frames takes longer than the test of them; the two frames are the same size,
    // so the file is built once with both and their blocks repeated.
    const std::vector<uint8_t> two = BuildGif(image);
    constexpr size_t kScreenAndTable = 13 + 3 * 2;
    const size_t blocks = two.size() - kScreenAndTable - 1;  // without the trailer
    if (blocks % 2 != 0 || two.back() != 0x3B) {
        throw std::logic_error("TinyFramesOnScreen: unexpected layout");
    }
    const auto first = two.begin() + kScreenAndTable;
    const auto second = first + static_cast<std::ptrdiff_t>(blocks / 2);
    std::vector<uint8_t> bytes(two.begin(), first);
    for (unsigned i = 0; i < frames; ++i) {
        const auto from = i % 2 == 0 ? first : second;
        bytes.insert(bytes.end(), from, from + static_cast<std::ptrdiff_t>(blocks / 2));
    }
    bytes.push_back(0x3B);
    return bytes;
}

std::vector<uint8_t> FramesFarOutsideTheScreen() {
    GifImage image;
    image.width = 8;
    image.height = 8;
    image.globalTable = kTwoColours;
    image.frames = {Frame(0, 0, 8, 8, 0), Frame(60000, 60000, 100, 100, 1),
                    Frame(65534, 65534, 1, 1, 1), Frame(8, 0, 1, 8, 1)};
    return BuildGif(image);
}

std::vector<uint8_t> OversizedFrameOnTinyScreen(uint16_t side) {
    GifImage image;
    image.width = 2;
    image.height = 2;
    image.globalTable = kTwoColours;
    // One pixel of data: the rest of the frame decodes as index 0, at the cost of the frame's
    // full size, which is what the case measures; the file stays tiny.
    GifFrame huge = Frame(0, 0, 1, 1, 1);
    huge.width = huge.height = side;
    image.frames = {Frame(0, 0, 2, 2, 0), std::move(huge)};
    return BuildGif(image);
}

#if TAVOREN_HAS_WEBP_BUILDER
std::vector<uint8_t> TinyFramesOnWebPCanvas(uint32_t width, uint32_t height) {
    constexpr uint32_t kMaximumSide = 1u << 24;
    if (width < 16 || height < 16 || width > kMaximumSide || height > kMaximumSide) {
        throw std::invalid_argument("TinyFramesOnWebPCanvas: sides from 16 to 2^24");
    }
    WebPTestFrame first, second;
    first.width = first.height = second.width = second.height = 2;
    first.argb = 0xFFFF0000;
    second.argb = 0xFF0000FF;
    second.offsetX = second.offsetY = 2;
    // libwebp's muxer refuses a canvas of 2^32 pixels or more, so the canvas is built small and
    // its size written into the VP8X header afterwards; nothing else in the file names it.
    std::vector<uint8_t> bytes = BuildAnimatedWebP(16, 16, {first, second});
    const char tag[] = "VP8X";
    const auto at = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
    if (at == bytes.end()) throw std::runtime_error("TinyFramesOnWebPCanvas: no VP8X chunk");
    // Tag, chunk size and flags, then the canvas width and height minus one, 24 bits each.
    const size_t field = static_cast<size_t>(at - bytes.begin()) + 12;
    for (int i = 0; i < 3; ++i) {
        bytes[field + i] = static_cast<uint8_t>((width - 1) >> (8 * i));
        bytes[field + 3 + i] = static_cast<uint8_t>((height - 1) >> (8 * i));
    }
    return bytes;
}
#endif

std::vector<LimitImage> LimitImages() {
    std::vector<LimitImage> images = {
        {"gif-screen-65535", "GIF, 65535x65535 screen, 2 frames of 1x1",
         TinyFramesOnScreen(65535, 65535, 2)},
        {"gif-screen-16385x1", "GIF, 16385x1 screen, 2 frames of 1x1",
         TinyFramesOnScreen(16385, 1, 2)},
        {"gif-screen-16384", "GIF, 16384x16384 screen (the surface limit), 2 frames of 1x1",
         TinyFramesOnScreen(16384, 16384, 2)},
        {"gif-screen-0x0", "GIF, 0x0 screen, 2 frames of 1x1", TinyFramesOnScreen(0, 0, 2)},
        {"gif-frames-far-outside", "GIF, 8x8 screen, frames at (60000,60000) and (65534,65534)",
         FramesFarOutsideTheScreen()},
        {"gif-frame-65535-on-2x2", "GIF, 2x2 screen, a 65535x65535 frame of one pixel's data",
         OversizedFrameOnTinyScreen(65535)},
        {"gif-frame-16384-on-2x2", "GIF, 2x2 screen, a 16384x16384 frame of one pixel's data",
         OversizedFrameOnTinyScreen(16384)},
        {"gif-frames-10000", "GIF, 10,000 frames of 1x1 on a 1x1 screen",
         TinyFramesOnScreen(1, 1, 10000)},
    };
#if TAVOREN_HAS_WEBP_BUILDER
    images.push_back({"webp-canvas-16383", "WebP, 16383x16383 VP8X canvas, 2 frames of 2x2",
                      TinyFramesOnWebPCanvas(16383, 16383)});
    images.push_back({"webp-canvas-16385", "WebP, 16385x16385 VP8X canvas, 2 frames of 2x2",
                      TinyFramesOnWebPCanvas(16385, 16385)});
    images.push_back({"webp-canvas-65536", "WebP, 65536x65536 VP8X canvas (2^32 pixels)",
                      TinyFramesOnWebPCanvas(65536, 65536)});
    images.push_back({"webp-canvas-2^24", "WebP, 2^24 x 2^24 VP8X canvas (the format's largest)",
                      TinyFramesOnWebPCanvas(1u << 24, 1u << 24)});
#endif
    return images;
}
