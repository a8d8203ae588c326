// Every animated corpus file, GIF and WebP through one routine, composed through the module in
// playback order, frame by frame, against an independent decoder: ImageMagick's coalesced
// frames (straight RGBA) flattened over the same background colour, exact where a pixel is
// opaque or transparent, within one where premultiplication rounds. Natively the test makes
// the references and keeps them; under Wine it reads the ones the native run left, and paints
// through Windows' own Direct2D (GIF only: Wine's imaging component has no WebP decoder).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tests/support/animation_formats.h"
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
    return std::string(TAVOREN_REFERENCE_DIR) + "/" + file.filename().string() + ".rgba";
}

#if !defined(_WIN32)
// ImageMagick's coalesced frames of `file`, straight RGBA, one canvas after another; empty when
// ImageMagick refuses the file.
std::vector<uint8_t> ImageMagickFrames(const std::filesystem::path& file) {
    const std::string command =
        "convert '" + file.string() + "' -coalesce -depth 8 rgba:- 2>/dev/null";
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
#endif

class CorpusComposition : public ::testing::TestWithParam<ImageFormat> {};

TEST_P(CorpusComposition, EveryAnimatedFileMatchesImageMagicksFrames) {
    const bool gif = GetParam() == ImageFormat::Gif;
    if (!gif) SKIP_WITHOUT_WEBP_DECODER();
    const auto files = CorpusFiles(gif ? "gif" : "webp");
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
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadBytes(file);
#if defined(_WIN32)
        // Wine's GIF decoder reads a null colour map for an image without a global table and
        // takes the process down with it; those are compared natively only.
        if (RunningUnderWine() && bytes.size() > 10 && !(bytes[10] & 0x80)) {
            std::printf("not compared under Wine: %s has no global colour table\n", name.c_str());
            continue;
        }
#endif
        if (!harness.Open(bytes, kBackground)) continue;
        TavorenGif* viewer = harness.viewer();
        if (viewer->frameCount < 2 || !viewer->composeTarget || viewer->width > 128 ||
            viewer->height > 128) {
            continue;
        }
        if (const auto named = kDifferentByDesign.find(name); named != kDifferentByDesign.end()) {
            std::printf("not compared: %s: %s\n", named->first.c_str(), named->second.c_str());
            continue;
        }
        if (kImageMagickUsesTheImageBackground.count(name)) {
            viewer->WriteColor(viewer->backgroundColor,
                               viewer->ReadColor(viewer->imageBackgroundColor));
        }
#if defined(_WIN32)
        const std::vector<uint8_t> reference = ReadBytes(ReferencePath(file));
        if (reference.empty()) continue;  // ImageMagick refused it natively
#else
        const std::vector<uint8_t> reference = ImageMagickFrames(file);
        if (reference.empty()) continue;
        std::ofstream(ReferencePath(file), std::ios::binary)
            .write(reinterpret_cast<const char*>(reference.data()),
                   static_cast<std::streamsize>(reference.size()));
#endif
        const size_t canvas = size_t{viewer->width} * viewer->height * 4;
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
            ExpectFlattenedCanvas(harness, harness.PaintAndCapture(), &reference[f * canvas],
                                  static_cast<int>(viewer->width), static_cast<int>(viewer->height),
                                  kBackground);
            if (HasFailure()) break;
        }
        std::printf("composed %s: %u frames\n", name.c_str(), viewer->frameCount);
    }
    std::printf("compared %d animated %s files, %d frames\n", compared, FormatName(GetParam()),
                frames);
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(, CorpusComposition, ::testing::ValuesIn(kBothFormats), FormatCaseName());

}  // namespace
