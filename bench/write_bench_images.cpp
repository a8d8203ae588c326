// Writes the images that tools/bench-compare measures beside the corpus: two trivial 1x1
// files, whose cost in a peer's process is that process's start-up, two 1x1 animations, whose
// memory is what playing anything costs, and one animation large
// enough that the work, not the start-up, dominates. The animation is made as a screen
// recording is: a full first frame, then each frame only the band of rows that changed, kept
// over the frame before (GIF disposal 1; WebP no disposal, no blending), so composition does
// real work. The GIF and the WebP hold the same pixels. Two more GIFs: an animation of large,
// mostly flat frames (long LZW strings) and a large animation of two 4000x3000 frames.
//
// Usage: write_bench_images DIR. Prints the paths it wrote, one a line.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/gif_builder.h"
#include "tests/support/webp_builder.h"

namespace {

constexpr uint16_t kWidth = 960, kHeight = 540;
constexpr unsigned kFrames = 24;
constexpr uint16_t kBandRows = kHeight / 10;  // 54: an even offset for every band, as WebP needs
constexpr uint16_t kDelayHundredths = 4;

struct Frame {
    uint16_t top = 0, height = 0;  // full width always
    std::vector<uint8_t> indices;
};

std::vector<GifColor> Palette() {
    std::vector<GifColor> palette(256);
    for (int i = 0; i < 256; ++i) {
        palette[i] = {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)};
    }
    return palette;
}

// Frame 0 is a flat picture with a gradient; frame f > 0 is band f % 10 of noise.
std::vector<Frame> Frames() {
    std::vector<Frame> frames;
    std::mt19937 random(11);
    Frame first{0, kHeight, std::vector<uint8_t>(size_t{kWidth} * kHeight)};
    for (size_t y = 0; y < kHeight; ++y) {
        for (size_t x = 0; x < kWidth; ++x) first.indices[y * kWidth + x] = uint8_t(x / 8);
    }
    frames.push_back(std::move(first));
    for (unsigned f = 1; f < kFrames; ++f) {
        Frame band{uint16_t((f % 10) * kBandRows), kBandRows,
                   std::vector<uint8_t>(size_t{kWidth} * kBandRows)};
        for (auto& index : band.indices) index = static_cast<uint8_t>(random());
        frames.push_back(std::move(band));
    }
    return frames;
}

std::vector<uint8_t> AnimationGif(const std::vector<GifColor>& palette,
                                  const std::vector<Frame>& frames) {
    GifImage image;
    image.width = kWidth;
    image.height = kHeight;
    image.globalTable = palette;
    image.loopCount = 0;
    for (const Frame& source : frames) {
        GifFrame frame;
        frame.top = source.top;
        frame.width = kWidth;
        frame.height = source.height;
        frame.control = GifControl{};
        frame.control->delay = kDelayHundredths;
        frame.control->disposal = 1;
        frame.indices = source.indices;
        image.frames.push_back(std::move(frame));
    }
    return BuildGif(image);
}

std::vector<uint8_t> AnimationWebP(const std::vector<GifColor>& palette,
                                   const std::vector<Frame>& frames) {
    std::vector<WebPTestFrame> webpFrames;
    for (const Frame& source : frames) {
        WebPTestFrame frame;
        frame.durationMs = kDelayHundredths * 10;
        frame.offsetY = source.top;
        frame.width = kWidth;
        frame.height = source.height;
        frame.blend = false;
        frame.pixels.reserve(source.indices.size());
        for (uint8_t index : source.indices) {
            const GifColor& c = palette[index];
            frame.pixels.push_back(0xFF000000u | uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
        }
        webpFrames.push_back(std::move(frame));
    }
    return BuildAnimatedWebP(kWidth, kHeight, webpFrames);
}

// A GIF animation of `count` whole frames of `width` x `height`, each frame's indices as
// `paint(frame, x, y)` gives them.
template <typename Paint>
std::vector<uint8_t> PaintedGif(uint16_t width, uint16_t height, unsigned count,
                                const std::vector<GifColor>& palette, Paint paint) {
    GifImage image = PaintedAnimation(count, width, height, kDelayHundredths, 1, palette,
                                      [&](unsigned f, std::vector<uint8_t>& indices) {
                                          for (size_t y = 0; y < height; ++y) {
                                              for (size_t x = 0; x < width; ++x) {
                                                  indices[y * width + x] = paint(f, x, y);
                                              }
                                          }
                                      });
    image.loopCount = 0;
    return BuildGif(image);
}

// Large, mostly flat frames, as a slide show or a captured desktop: one colour with a few
// rectangles of others that move from frame to frame, so that the LZW strings run long.
std::vector<uint8_t> FlatFramesGif(const std::vector<GifColor>& palette) {
    constexpr uint16_t kFlatWidth = 1600, kFlatHeight = 1200;
    return PaintedGif(kFlatWidth, kFlatHeight, 6, palette, [](unsigned f, size_t x, size_t y) {
        for (unsigned r = 0; r < 5; ++r) {
            const size_t left = (f * 97 + r * 251) % (kFlatWidth - 300);
            const size_t top = (f * 61 + r * 173) % (kFlatHeight - 200);
            if (x >= left && x < left + 300 && y >= top && y < top + 200) {
                return static_cast<uint8_t>(r * 40 + f);
            }
        }
        return static_cast<uint8_t>(200);
    });
}

// A large animation: two 4000x3000 frames of diagonal bands 8 pixels wide, shifted between them.
std::vector<uint8_t> LargeAnimationGif(const std::vector<GifColor>& palette) {
    return PaintedGif(4000, 3000, 2, palette, [](unsigned f, size_t x, size_t y) {
        return static_cast<uint8_t>(x / 8 + y / 8 + f * 16);
    });
}

std::vector<uint8_t> TrivialGif() {
    GifImage image;
    image.globalTable = {{0, 0, 0}, {255, 255, 255}};
    image.frames.push_back(GifFrame{});
    return BuildGif(image);
}

std::vector<uint8_t> TrivialWebP() {
    WebPTestFrame frame;
    frame.argb = 0xFFFFFFFF;
    return BuildAnimatedWebP(1, 1, {frame}, /*still=*/true);
}

// Two-frame 1x1 animations: what playing anything costs, whatever the picture.
std::vector<uint8_t> TinyAnimationGif() {
    GifImage image;
    image.globalTable = {{0, 0, 0}, {255, 255, 255}};
    image.loopCount = 0;
    GifFrame frame;
    frame.control = GifControl{};
    frame.control->delay = kDelayHundredths;
    image.frames = {frame, frame};
    image.frames[1].indices = {1};
    return BuildGif(image);
}

std::vector<uint8_t> TinyAnimationWebP() {
    WebPTestFrame frame;
    frame.durationMs = kDelayHundredths * 10;
    frame.argb = 0xFFFFFFFF;
    return BuildAnimatedWebP(1, 1, {frame, frame});
}

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "write_bench_images: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::vector<GifColor> palette = Palette();
    const std::vector<Frame> frames = Frames();
    const std::string stem = "generated-" + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                             "x" + std::to_string(kFrames);
    const bool written = Write(dir / "trivial-1x1.gif", TrivialGif()) &&
                         Write(dir / "trivial-1x1.webp", TrivialWebP()) &&
                         Write(dir / "tiny-1x1x2.gif", TinyAnimationGif()) &&
                         Write(dir / "tiny-1x1x2.webp", TinyAnimationWebP()) &&
                         Write(dir / (stem + ".gif"), AnimationGif(palette, frames)) &&
                         Write(dir / (stem + ".webp"), AnimationWebP(palette, frames)) &&
                         Write(dir / "flat-frames-1600x1200x6.gif", FlatFramesGif(palette)) &&
                         Write(dir / "large-4000x3000x2.gif", LargeAnimationGif(palette));
    return written ? 0 : 1;
}
