// Every corpus file loads with 0 or -1 and never crashes. Each target writes what it saw of
// every GIF to a file, so that the test script can hold the stand-in's answers against those
// of Windows' own imaging component (Wine's, under Wine).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/corpus.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/wide_path.h"

namespace {

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
        EXPECT_TRUE(record.result == 0 || record.result == -1);
        if (record.result == 0) {
            EXPECT_GT(viewer->frameCount, 0u);
            EXPECT_NE(viewer->decoder, nullptr);
        }
        if (answers)
            *answers << file.filename().string() << " " << Describe(*viewer, record) << "\n";
        DestroyInstance(viewer);
    }
}

TEST(CorpusScan, EveryGifLoadsOrIsRefusedAndTheAnswersAreRecorded) {
    const auto files = CorpusFiles("gif");
    SKIP_WITHOUT_CORPUS(files);
    std::filesystem::create_directories(TAVOREN_REPORT_DIR);
    std::ofstream answers(std::string(TAVOREN_REPORT_DIR) + "/corpus-scan.txt");
    ASSERT_TRUE(answers.is_open());
    ScanAll("gif", &answers);
}

TEST(CorpusScan, EveryWebPLoadsOrIsRefused) {
    SKIP_WITHOUT_WEBP_DECODER();
    const auto files = CorpusFiles("webp");
    SKIP_WITHOUT_CORPUS(files);
    ScanAll("webp", nullptr);
}

}  // namespace
