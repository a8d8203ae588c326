// Writes the fuzzers' built seeds: small GIFs and WebPs made by the test builders, covering
// what the corpus files may not (each disposal method, transparency, interlacing, local
// tables, lying tables, bad code sizes, missing data; WebP blending, offsets, disposal).
//   make_seeds GIF_DIR WEBP_DIR
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/gif_builder.h"
#include "tests/support/webp_builder.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A width x height frame at (left, top) whose pixels run through the first `colors` indices.
GifFrame RampFrame(uint16_t left, uint16_t top, uint16_t width, uint16_t height, unsigned colors) {
    GifFrame frame = SolidFrame(left, top, width, height, 0, 0, 0);
    frame.control.reset();
    frame.indices.resize(size_t{width} * height);
    for (size_t i = 0; i < frame.indices.size(); ++i) {
        frame.indices[i] = static_cast<uint8_t>(i % colors);
    }
    return frame;
}

const std::vector<GifColor> kFourColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

std::vector<std::pair<std::string, GifImage>> GifSeeds() {
    std::vector<std::pair<std::string, GifImage>> seeds;
    for (uint8_t disposal = 0; disposal <= 3; ++disposal) {
        seeds.emplace_back("disposal-" + std::to_string(disposal),
                           SimpleAnimation(4, 12, 10, 5, disposal));
    }

    // Smaller frames at offsets, transparent, each with another disposal and a local table.
    GifImage placed;
    placed.width = 16;
    placed.height = 12;
    placed.globalTable = kFourColours;
    placed.backgroundIndex = 2;
    placed.loopCount = 0;
    placed.commentsBeforeFrame = {"first", "", "third"};
    for (uint8_t i = 0; i < 4; ++i) {
        GifFrame frame =
            RampFrame(static_cast<uint16_t>(i * 3), static_cast<uint16_t>(i * 2), 6, 5, 3);
        frame.control = GifControl{static_cast<uint8_t>(i), false, true, static_cast<uint16_t>(i),
                                   static_cast<uint8_t>(i)};
        if (i % 2) frame.localTable = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
        placed.frames.push_back(frame);
    }
    seeds.emplace_back("placed-transparent", placed);

    GifImage interlaced;
    interlaced.width = 9;
    interlaced.height = 11;
    interlaced.globalTable = kFourColours;
    GifFrame tall = RampFrame(0, 0, 9, 11, 4);
    tall.interlaced = true;
    interlaced.frames = {tall, tall};
    interlaced.frames[1].control = GifControl{2, false, false, 2, 0};
    seeds.emplace_back("interlaced", interlaced);

    GifImage still;
    still.gif87a = true;
    still.width = 5;
    still.height = 4;
    still.globalTable = kFourColours;
    const GifFrame whole = RampFrame(0, 0, 5, 4, 4);
    still.frames = {whole};
    seeds.emplace_back("still-87a", still);

    // A frame beyond the screen, a 256-colour local table, a lying table size, a bad code
    // size, a frame without data and no trailer.
    GifImage damaged;
    damaged.width = 8;
    damaged.height = 8;
    damaged.globalTable = kFourColours;
    damaged.globalTableSizeField = 7;
    GifFrame beyond = RampFrame(6, 6, 5, 5, 256);
    beyond.localTable.assign(256, GifColor{1, 2, 3});
    GifFrame badCode = whole;
    badCode.lzwMinimumCodeSize = 11;
    GifFrame empty = whole;
    empty.omitImageData = true;
    damaged.frames = {beyond, badCode, whole, empty};
    damaged.omitTrailer = true;
    seeds.emplace_back("damaged", damaged);

    GifImage noTable;
    noTable.width = 3;
    noTable.height = 3;
    GifFrame plain = RampFrame(0, 0, 3, 3, 2);
    plain.control = GifControl{3, true, true, 0, 1};
    noTable.frames = {plain, plain};
    seeds.emplace_back("no-table", noTable);
    return seeds;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> WebPSeeds() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
    std::vector<WebPTestFrame> frames(3);
    frames[0].argb = 0xFFFF0000;
    frames[1] = {60, 0x8000FF00, {}, 2, 2, 6, 4, true, true};
    frames[2] = {0, 0x400000FF, {}, 4, 0, 4, 6, false, false};
    seeds.emplace_back("animated-blend-offsets", BuildAnimatedWebP(10, 8, frames));
    std::vector<WebPTestFrame> one(1);
    one[0].pixels.resize(6 * 5);
    for (size_t i = 0; i < one[0].pixels.size(); ++i) {
        one[0].pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x0A0B0C);
    }
    seeds.emplace_back("still", BuildAnimatedWebP(6, 5, one, true));
    seeds.emplace_back("one-frame-animation", BuildAnimatedWebP(6, 5, one));
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds GIF_DIR WEBP_DIR\n");
        return 2;
    }
    try {
        for (const auto& [name, image] : GifSeeds()) {
            if (!Write(std::string(argv[1]) + "/built-" + name + ".gif", BuildGif(image))) return 1;
        }
        for (const auto& [name, bytes] : WebPSeeds()) {
            if (!Write(std::string(argv[2]) + "/built-" + name + ".webp", bytes)) return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
