// The stand-in's own LZW decoder against giflib, the reference it replaces: every frame of the
// corpus and of generated and crafted images, whole and in part, must give the same indices.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/corpus.h"
#include "tests/support/gif_decoders_compare.h"
#include "tests/support/gif_builder.h"
#include "tests/support/gif_lzw_codes.h"

namespace {

void ExpectSameIndices(const std::vector<uint8_t>& bytes, const std::string& what) {
    const std::string difference = FirstDecoderDifference(bytes);
    EXPECT_TRUE(difference.empty()) << what << ", " << difference;
}

std::vector<GifColor> Palette(unsigned colours) {
    std::vector<GifColor> palette(colours);
    for (unsigned i = 0; i < colours; ++i)
        palette[i] = {uint8_t(i), uint8_t(i * 7), uint8_t(i * 13)};
    return palette;
}

// Noise over the first `colours` indices, with runs of one index `run` long on average, so that
// 1 gives short strings and a large run long ones.
std::vector<uint8_t> Pixels(size_t count, unsigned colours, unsigned run, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> pixels(count);
    uint8_t index = 0;
    for (auto& pixel : pixels) {
        if (random() % run == 0) index = static_cast<uint8_t>(random() % colours);
        pixel = index;
    }
    return pixels;
}

// One frame of `width` x `height` whose image data is `codes` packed at `minimum`, cut after
// `keep` bytes of packed data when set (the file then ends there).
std::vector<uint8_t> CraftedGif(uint16_t width, uint16_t height, uint8_t minimum,
                                const std::vector<uint16_t>& codes, bool interlaced = false,
                                size_t keep = SIZE_MAX) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.globalTable = Palette(256);
    GifFrame frame;
    frame.width = width;
    frame.height = height;
    frame.interlaced = interlaced;
    frame.omitImageData = true;
    frame.control = GifControl{};
    frame.control->transparencyFlag = true;
    frame.control->transparentIndex = 77;
    image.frames.push_back(frame);
    image.omitTrailer = true;
    std::vector<uint8_t> bytes = BuildGif(image);
    std::vector<uint8_t> data = PackGifCodes(codes, minimum);
    const bool cut = keep < data.size();
    if (cut) data.resize(keep);
    bytes.push_back(minimum);
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t length = std::min<size_t>(255, data.size() - at);
        bytes.push_back(static_cast<uint8_t>(length));
        bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                     data.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    if (!cut) {
        bytes.push_back(0);
        bytes.push_back(0x3B);
    }
    return bytes;
}

TEST(GifLzwDifferential, EveryCorpusFrame) {
    const auto files = CorpusFiles("gif");
    SKIP_WITHOUT_CORPUS(files);
    for (const auto& file : files) ExpectSameIndices(ReadBytes(file), file.filename().string());
}

// Every code size from 2 to 8, each with short strings and long ones, plain and interlaced,
// whole and cut short at points through the image data.
TEST(GifLzwDifferential, GeneratedImagesAtEveryCodeSize) {
    struct Shape {
        uint16_t width, height;
        unsigned run;
    };
    const Shape shapes[] = {{37, 23, 1}, {301, 97, 1}, {256, 300, 40}, {640, 64, 5000}, {3, 2, 1}};
    uint32_t seed = 1;
    for (unsigned size = 2; size <= 8; ++size) {
        for (const Shape& shape : shapes) {
            for (bool interlaced : {false, true}) {
                GifImage image;
                image.width = shape.width;
                image.height = shape.height;
                image.globalTable = Palette(1u << size);
                GifFrame frame;
                frame.width = shape.width;
                frame.height = shape.height;
                frame.interlaced = interlaced;
                frame.indices =
                    Pixels(size_t{shape.width} * shape.height, 1u << size, shape.run, seed++);
                image.frames.push_back(frame);
                const std::vector<uint8_t> bytes = BuildGif(image);
                const std::string name =
                    "size " + std::to_string(size) + ", " + std::to_string(shape.width) + "x" +
                    std::to_string(shape.height) + " run " + std::to_string(shape.run) +
                    (interlaced ? ", interlaced" : "");
                ExpectSameIndices(bytes, name);
                for (size_t cut = bytes.size() - 2; cut > bytes.size() / 2;
                     cut -= bytes.size() / 7) {
                    ExpectSameIndices(
                        {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)},
                        name + ", cut at " + std::to_string(cut));
                }
            }
        }
    }
}

// Tables filled to 4096 entries and kept (a deferred clear), clear codes every few codes, and
// streams cut inside a code.
TEST(GifLzwDifferential, FullTablesClearsAndCutCodes) {
    for (uint8_t minimum : {2, 5, 8}) {
        const unsigned colours = 1u << minimum;
        const std::vector<uint8_t> noise = Pixels(500 * 200, colours, 1, minimum);
        const std::vector<uint8_t> runs = Pixels(500 * 200, colours, 300, minimum + 50);
        for (const auto* pixels : {&noise, &runs}) {
            for (size_t clearEvery : {size_t{0}, size_t{1}, size_t{7}, size_t{1000}}) {
                const std::vector<uint16_t> codes = GifLzwCodes(*pixels, minimum, clearEvery);
                const std::string name = "code size " + std::to_string(minimum) +
                                         (pixels == &noise ? ", noise" : ", runs") +
                                         ", clear every " + std::to_string(clearEvery);
                ExpectSameIndices(CraftedGif(500, 200, minimum, codes), name);
                ExpectSameIndices(CraftedGif(500, 200, minimum, codes, true),
                                  name + ", interlaced");
                const size_t packed = PackGifCodes(codes, minimum).size();
                for (size_t keep : {packed / 3, packed / 2 + 1, packed - 1}) {
                    ExpectSameIndices(CraftedGif(500, 200, minimum, codes, false, keep),
                                      name + ", cut after " + std::to_string(keep));
                }
            }
        }
    }
}

// Codes at random, most of them ones the table does not hold yet, and the end code too early:
// where giflib decodes such data its way, ours must too.
TEST(GifLzwDifferential, CodesTheTableDoesNotHold) {
    // One code past the table early on, then literals until the table is full, then its last
    // entry: the table giflib fills after such a code.
    for (uint8_t minimum : {2, 8}) {
        const uint16_t clear = static_cast<uint16_t>(1u << minimum);
        std::vector<uint16_t> codes{clear, 0, static_cast<uint16_t>(clear + 5), 1};
        for (int i = 0; i < 4200; ++i) codes.push_back(static_cast<uint16_t>(i % clear));
        codes.insert(codes.end(), {4095, 4095, 4094, 1});
        ExpectSameIndices(
            CraftedGif(100, 50, minimum, codes),
            "a full table after a code past it, code size " + std::to_string(minimum));
    }
    std::mt19937 random(23);
    for (int round = 0; round < 400; ++round) {
        const auto minimum = static_cast<uint8_t>(1 + random() % 8);
        const unsigned clear = 1u << minimum;
        std::vector<uint16_t> codes;
        const size_t count = 1 + random() % 6000;
        unsigned next = clear + 2;
        for (size_t i = 0; i < count; ++i) {
            // Mostly valid codes, so that the table grows; now and then one beyond it.
            const unsigned pick = random() % 100;
            unsigned code = pick < 60   ? random() % std::min(next, 4096u)
                            : pick < 90 ? random() % clear
                                        : random() % 4096;
            if (code == clear + 1 && random() % 8) code = 0;
            codes.push_back(static_cast<uint16_t>(code));
            next = code == clear ? clear + 2 : std::min(next + 1, 4096u);
        }
        const auto width = static_cast<uint16_t>(1 + random() % 90);
        const auto height = static_cast<uint16_t>(1 + random() % 60);
        ExpectSameIndices(CraftedGif(width, height, minimum, codes, random() % 2),
                          "round " + std::to_string(round));
    }
}

}  // namespace
