// Every animated corpus GIF composed through the module in playback order, frame by frame,
// against an independent decoder: ImageMagick's coalesced frames flattened over the same
// background colour. Natively the test makes the references and keeps them; under Wine it
// reads the ones the native run left, and paints through Windows' own Direct2D.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tests/support/corpus.h"
#include "tests/support/flattened_canvas.h"
#include "tests/support/platform_info.h"
#include "tests/support/viewer_harness.h"

namespace {

constexpr uint32_t kBackground = 0x3366CC;

// Where no frame has covered the canvas yet, ImageMagick shows these GIFs' own background
// colour, while the module clears with the colour in effect (the host's unless the user
// chooses the image's). They are compared with the image's colour chosen.
const std::set<std::string> kImageMagickUsesTheImageBackground = {"wuffs-frame-out-of-bounds.gif",
                                                                  "wuffs-multiple-loop-counts.gif"};

// Not compared, and why.
const std::map<std::string, std::string> kDifferentByDesign = {
    {"wuffs-background-color.gif",
     "ImageMagick starts the canvas with the image's background colour but restores a "
     "disposal-2 area to transparent; the module clears both with the one colour in effect"}};

std::string ReferencePath(const std::filesystem::path& file) {
    return std::string(TAVOREN_REFERENCE_DIR) + "/" + file.filename().string() + ".rgb";
}

#if !defined(_WIN32)
// ImageMagick's coalesced frames of `file`, converted by `options` (ending in the raw output
// format); empty when ImageMagick refuses the file.
std::vector<uint8_t> ImageMagickFrames(const std::filesystem::path& file,
                                       const std::string& options) {
    const std::string command =
        "convert '" + file.string() + "' -coalesce " + options + " 2>/dev/null";
    std::vector<uint8_t> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.insert(out.end(), buffer, buffer + got);
    if (pclose(pipe) != 0) out.clear();
    return out;
}

// Flattened over the background colour: RGB bytes, one canvas after another.
std::vector<uint8_t> MakeReference(const std::filesystem::path& file) {
    char colour[32];
    std::snprintf(colour, sizeof(colour), "#%06X", kBackground);
    return ImageMagickFrames(
        file, std::string("-background '") + colour + "' -alpha remove -alpha off -depth 8 rgb:-");
}
#endif

TEST(CorpusComposition, EveryAnimatedGifMatchesImageMagicksFrames) {
    const auto files = CorpusFiles("gif");
    SKIP_WITHOUT_CORPUS(files);
#if defined(_WIN32)
    if (!std::filesystem::exists(TAVOREN_REFERENCE_DIR)) {
        GTEST_SKIP() << "no references at " TAVOREN_REFERENCE_DIR ": the native run makes them";
    }
#else
    std::filesystem::create_directories(TAVOREN_REFERENCE_DIR);
#endif
    int compared = 0, frames = 0;
    ViewerHarness harness(128, 128);  // one window for all: a window costs seconds under Wine
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> bytes = ReadBytes(file);
#if defined(_WIN32)
        // Wine's GIF decoder reads a null colour map for an image without a global table and
        // takes the process down with it; those are compared natively only.
        if (RunningUnderWine() && bytes.size() > 10 && !(bytes[10] & 0x80)) {
            std::printf("not compared under Wine: %s has no global colour table\n",
                        file.filename().string().c_str());
            continue;
        }
#endif
        if (!harness.Open(bytes, kBackground)) continue;
        TavorenGif* viewer = harness.viewer();
        if (viewer->frameCount < 2 || !viewer->composeTarget || viewer->width > 128 ||
            viewer->height > 128) {
            continue;
        }
        if (const auto named = kDifferentByDesign.find(file.filename().string());
            named != kDifferentByDesign.end()) {
            std::printf("not compared: %s: %s\n", named->first.c_str(), named->second.c_str());
            continue;
        }
        if (kImageMagickUsesTheImageBackground.count(file.filename().string())) {
            viewer->WriteColor(viewer->backgroundColor,
                               viewer->ReadColor(viewer->imageBackgroundColor));
        }
#if defined(_WIN32)
        const std::vector<uint8_t> reference = ReadBytes(ReferencePath(file));
        if (reference.empty()) continue;  // ImageMagick refused it natively
#else
        const std::vector<uint8_t> reference = MakeReference(file);
        if (reference.empty()) continue;
        std::ofstream(ReferencePath(file), std::ios::binary)
            .write(reinterpret_cast<const char*>(reference.data()),
                   static_cast<std::streamsize>(reference.size()));
#endif
        const size_t canvas = size_t{viewer->width} * viewer->height * 3;
        ASSERT_EQ(reference.size() % canvas, 0u);
        const UINT referenceFrames = static_cast<UINT>(reference.size() / canvas);
        EXPECT_EQ(referenceFrames, viewer->frameCount);
        ++compared;
        for (UINT f = 0; f < std::min(referenceFrames, viewer->frameCount); ++f) {
            SCOPED_TRACE(f);
            if (!harness.Step(f)) {
                ADD_FAILURE() << "frame " << f << " did not compose";
                break;
            }
            ++frames;
            const auto capture = harness.PaintAndCapture();
            int wrong = 0;
            for (UINT y = 0; y < viewer->height; ++y) {
                for (UINT x = 0; x < viewer->width; ++x) {
                    const uint8_t* p = &reference[f * canvas + (size_t{y} * viewer->width + x) * 3];
                    const uint32_t expected = (uint32_t{p[0]} << 16) | (p[1] << 8) | p[2];
                    const uint32_t actual =
                        harness.At(capture, static_cast<int>(x), static_cast<int>(y));
                    if (actual != expected && wrong++ < 3) {
                        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << actual
                                      << " instead of " << expected;
                    }
                }
            }
            if (wrong) break;
        }
        std::printf("composed %s: %u frames\n", file.filename().string().c_str(),
                    viewer->frameCount);
    }
    std::printf("compared %d animated GIFs, %d frames\n", compared, frames);
    EXPECT_GT(compared, 0);
}

TEST(CorpusComposition, EveryAnimatedWebPMatchesImageMagicksFrames) {
#if defined(_WIN32)
    GTEST_SKIP() << "WebP is composed natively only: Wine's imaging component has no WebP decoder";
#else
    const auto files = CorpusFiles("webp");
    SKIP_WITHOUT_CORPUS(files);
    int compared = 0, frames = 0;
    ViewerHarness harness(128, 128);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> bytes = ReadBytes(file);
        if (!harness.Open(bytes, kBackground)) continue;
        TavorenGif* viewer = harness.viewer();
        if (viewer->frameCount < 2 || viewer->width > 128 || viewer->height > 128) continue;
        // Unflattened RGBA: the test flattens, so that it knows which pixels were partly
        // transparent, where premultiplied rounding may differ by one.
        const std::vector<uint8_t> reference = ImageMagickFrames(file, "-depth 8 rgba:-");
        if (reference.empty()) continue;
        const size_t canvas = size_t{viewer->width} * viewer->height * 4;
        ASSERT_EQ(reference.size() % canvas, 0u);
        EXPECT_EQ(reference.size() / canvas, viewer->frameCount);
        ++compared;
        for (UINT f = 0;
             f < std::min<UINT>(static_cast<UINT>(reference.size() / canvas), viewer->frameCount);
             ++f) {
            SCOPED_TRACE(f);
            ASSERT_TRUE(harness.Step(f));
            ++frames;
            ExpectFlattenedCanvas(harness, harness.PaintAndCapture(), &reference[f * canvas],
                                  static_cast<int>(viewer->width), static_cast<int>(viewer->height),
                                  kBackground);
        }
        std::printf("composed %s: %u frames\n", file.filename().string().c_str(),
                    viewer->frameCount);
    }
    std::printf("compared %d animated WebPs, %d frames\n", compared, frames);
    EXPECT_GT(compared, 0);
#endif
}

}  // namespace
