// Every corpus file loads with the description its own bytes give, or is refused where that
// is the answer. Each target writes what it saw of every GIF to a file, so that the test
// script can hold the stand-in's answers against those of Windows' own imaging component
// (Wine's, under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "tests/support/corpus.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/wide_path.h"

namespace {

struct Expected {
    std::string_view name;
    INT32 result;
    UINT frames, width, height;
    INT colorBits, totalDuration;
    // Image data cut off, invalid or too short: a decoder that checks it as it opens the
    // file (Windows', Wine's) may refuse the file instead.
    bool damaged;
};

// Written by tools/corpus_descriptions.py from the files' own GIF blocks and WebP chunks,
// without a decoder.
constexpr Expected kExpected[] = {
    {"pillow-background_outside_palette.gif", 0, 2, 1, 1, 1, 200, false},
    {"pillow-comment_after_last_frame.gif", 0, 2, 1, 1, 8, 0, false},
    {"pillow-decompression_bomb.gif", 0, 1, 32, 32, 2, 0, true},
    {"pillow-decompression_bomb_extents.gif", 0, 2, 100, 100, 1, 0, false},
    {"pillow-dispose_bgnd.gif", 0, 5, 100, 100, 1, 5000, false},
    {"pillow-dispose_none.gif", 0, 5, 100, 100, 1, 5000, false},
    {"pillow-dispose_prev.gif", 0, 5, 100, 100, 1, 4100, false},
    {"pillow-duplicate_number_of_loops.gif", 0, 2, 1, 1, 8, 0, false},
    {"pillow-missing_background.gif", 0, 4, 32, 32, 4, 400, false},
    {"pillow-multiple_comments.gif", 0, 5, 100, 100, 1, 4100, false},
    {"pillow-no_palette.gif", 0, 2, 1, 1, 1, 0, false},
    {"pillow-no_palette_with_background.gif", 0, 2, 1, 1, 1, 0, false},
    {"pillow-no_palette_with_transparency.gif", 0, 2, 2, 2, 8, 200, false},
    {"pillow-second_frame_comment.gif", 0, 3, 1, 1, 8, 0, false},
    {"pillow-test_extents.gif", 0, 2, 100, 100, 1, 0, false},
    {"pillow-transparent_dispose.gif", 0, 3, 3, 1, 2, 1100, false},
    {"pillow-zero_width.gif", 0, 1, 0, 32, 2, 0, true},
    {"wuffs-animated-red-blue.gif", 0, 4, 64, 48, 8, 1000, false},
    {"wuffs-background-color.gif", 0, 2, 4, 1, 2, 300, false},
    {"wuffs-empty-palette.gif", 0, 2, 1, 1, 2, 0, false},
    {"wuffs-frame-out-of-bounds.gif", 0, 4, 2, 2, 4, 0, false},
    {"wuffs-hippopotamus.interlaced.gif", 0, 1, 36, 28, 8, 0, false},
    {"wuffs-hippopotamus.interlaced.truncated.gif", 0, 1, 36, 28, 8, 0, true},
    {"wuffs-metadata-empty.gif", 0, 1, 2, 2, 2, 0, false},
    {"wuffs-metadata-full.gif", 0, 1, 2, 2, 2, 0, false},
    {"wuffs-multiple-graphic-controls.gif", 0, 1, 1, 1, 2, 0, false},
    {"wuffs-multiple-loop-counts.gif", 0, 4, 2, 2, 2, 0, false},
    {"wuffs-muybridge.gif", 0, 15, 30, 20, 8, 1500, false},
    {"wuffs-no-frames.gif", -1, 0, 1, 1, 2, 0, false},
    {"wuffs-pixel-data-none.gif", 0, 1, 2, 2, 2, 0, true},
    {"wuffs-pixel-data-not-enough.gif", 0, 1, 2, 2, 2, 0, true},
    {"wuffs-pixel-data-too-much-bad-lzw.gif", 0, 1, 2, 2, 2, 0, true},
    {"wuffs-pixel-data-too-much-good-lzw.gif", 0, 1, 2, 2, 2, 0, false},
    {"wuffs-pjw-thumbnail.gif", 0, 1, 32, 32, 1, 0, false},
    {"wuffs-small-frame-interlaced.gif", 0, 1, 5, 5, 2, 0, false},
    {"wuffs-transparent-index.gif", 0, 2, 4, 2, 5, 300, false},
    {"wuffs-zero-width-frame.gif", 0, 1, 2, 2, 2, 0, false},
    {"dispose_prev.mixed.webp", 0, 5, 100, 100, 0, 4100, false},
    {"durations-0-10-11-40-50-51.webp", 0, 6, 48, 32, 0, 162, false},
    {"muybridge.lossy.webp", 0, 15, 30, 20, 0, 1500, false},
    {"red-blue.lossless.webp", 0, 4, 64, 48, 0, 1000, false},
    {"still.pjw-thumbnail.lossy.webp", 0, 1, 32, 32, 0, 0, false},
    {"transparent_dispose.webp", 0, 3, 3, 1, 0, 1100, false},
};

const Expected* Find(std::string_view name) {
    const auto found = std::find_if(std::begin(kExpected), std::end(kExpected),
                                    [&](const Expected& row) { return row.name == name; });
    return found == std::end(kExpected) ? nullptr : found;
}

void ExpectDescription(const TavorenGif& viewer, const LoadRecord& record,
                       const Expected& expected) {
#if defined(_WIN32)
    if (record.result == -1 && expected.damaged) return;
#endif
    EXPECT_EQ(record.result, expected.result);
    if (record.result != 0) return;
    EXPECT_EQ(viewer.frameCount, expected.frames);
    EXPECT_EQ(viewer.width, expected.width);
    EXPECT_EQ(viewer.height, expected.height);
    EXPECT_EQ(viewer.colorBits, expected.colorBits);
    EXPECT_EQ(viewer.totalDuration, expected.totalDuration);
    EXPECT_NE(viewer.decoder, nullptr);
}

std::string Describe(const TavorenGif& viewer, const LoadRecord& record) {
    std::ostringstream line;
    line << "result=" << record.result << " progress=";
    for (const auto& [done, total] : record.progress) line << done << "/" << total << ",";
    line << " frames=" << viewer.frameCount << " size=" << viewer.width << "x" << viewer.height
         << " colorBits=" << viewer.colorBits << " transparent=" << viewer.isTransparent
         << " duration=" << viewer.totalDuration << " shortDelays=" << viewer.hasShortDelays;
    return line.str();
}

void ScanAll(const std::string& kind, std::ostream* answers) {
    const auto files = CorpusFiles(kind);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        TavorenGif* viewer = CreateInstance(nullptr);
        LoadRecord record = LoadFromFile(viewer, Wide(file.string()).c_str());
        const Expected* expected = Find(file.filename().string());
        if (expected) {
            ExpectDescription(*viewer, record, *expected);
        } else {
            ADD_FAILURE() << "no expected description: run tools/corpus_descriptions.py";
        }
        if (answers)
            *answers << file.filename().string() << " " << Describe(*viewer, record) << "\n";
        DestroyInstance(viewer);
    }
}

TEST(CorpusScan, EveryGifGivesTheDescriptionOfItsBlocksAndTheAnswersAreRecorded) {
    const auto files = CorpusFiles("gif");
    SKIP_WITHOUT_CORPUS(files);
    std::filesystem::create_directories(TAVOREN_REPORT_DIR);
    std::ofstream answers(std::string(TAVOREN_REPORT_DIR) + "/corpus-scan.txt");
    ASSERT_TRUE(answers.is_open());
    ScanAll("gif", &answers);
}

TEST(CorpusScan, EveryWebPGivesTheDescriptionOfItsChunks) {
    SKIP_WITHOUT_WEBP_DECODER();
    const auto files = CorpusFiles("webp");
    SKIP_WITHOUT_CORPUS(files);
    ScanAll("webp", nullptr);
}

}  // namespace
