// Loading and the metadata scan as a host observes them: the result, the progress calls, the
// memory result and the image description, on images the tests build themselves.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/gif_builder.h"
#include "tests/support/animation_formats.h"
#include "tests/support/load_recorder.h"
#include "tests/support/platform_info.h"
#include "tests/support/temporary_file.h"
#include "tests/support/wide_path.h"

namespace {

using Progress = std::vector<std::pair<UINT32, UINT32>>;

std::vector<BYTE> Gif(const GifImage& image) {
    std::vector<uint8_t> bytes = BuildGif(image);
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

GifImage WithDelays(std::initializer_list<uint16_t> delays) {
    GifImage image;
    image.globalTable = {{0, 0, 0}, {255, 255, 255}};
    for (uint16_t delay : delays) image.frames.push_back(SolidFrame(0, 0, 1, 1, 0, delay, 1));
    return image;
}

// A valid 1x1 PNG, which the imaging component opens as a one-frame still.
const std::vector<BYTE> kOnePixelPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
    0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

class LoadImageTest : public ::testing::Test {
  protected:
    void SetUp() override { viewer_ = CreateInstance(nullptr); }
    // The viewer goes first: on Windows a file cannot be removed while its stream is open.
    void TearDown() override {
        DestroyInstance(viewer_);
        files_.clear();
    }

    LoadRecord Load(const GifImage& image) { return LoadFromMemory(viewer_, Gif(image)); }
    const TemporaryFile& File(const std::vector<BYTE>& bytes) {
        return *files_.emplace_back(std::make_unique<TemporaryFile>(bytes));
    }

    TavorenGif* viewer_ = nullptr;
    std::vector<std::unique_ptr<TemporaryFile>> files_;
};

TEST_F(LoadImageTest, FileSourceOpensTheFileAndLeavesMemoryResultAlone) {
    const TemporaryFile& file = File(Gif(WithDelays({10, 20})));
    INT32 memoryResult = 55;
    const BYTE unused[] = {1, 2, 3};
    EXPECT_EQ(LoadImageSource(viewer_, file.wide().c_str(), unused, 0, &memoryResult, 0, 0, nullptr,
                              nullptr),
              0);
    EXPECT_EQ(memoryResult, 55);
    EXPECT_EQ(viewer_->frameCount, 2u);
}

TEST_F(LoadImageTest, MemorySourceIgnoresThePathAndAlwaysWritesMemoryResult) {
    const std::vector<BYTE> gif = Gif(WithDelays({10, 20}));
    INT32 memoryResult = 55;
    EXPECT_EQ(LoadImageSource(viewer_, TEXT("no such file"), gif.data(), gif.size(), &memoryResult,
                              0, 0, nullptr, nullptr),
              0);
    EXPECT_EQ(memoryResult, 0);

    const BYTE garbage[] = {'n', 'o', 'p', 'e'};
    memoryResult = 55;
    EXPECT_EQ(LoadImageSource(viewer_, nullptr, garbage, sizeof(garbage), &memoryResult, 0, 0,
                              nullptr, nullptr),
              -1);
    EXPECT_EQ(memoryResult, 0);
}

// Bytes that no memory stream can take: the load ends before the imaging component is asked
// for anything, and still answers the memory result. A 64-bit build names more than the
// stream's 32-bit count (refused, not cut to the GIF's own length); a 32-bit process cannot
// hold a copy of 4 GiB.
TEST_F(LoadImageTest, MemoryWithoutAStreamWritesTheMemoryResultAndCreatesNothing) {
    const std::vector<BYTE> gif = Gif(WithDelays({10, 20}));
    const SIZE_T size = sizeof(SIZE_T) >= 8 ? static_cast<SIZE_T>((uint64_t{1} << 32) + gif.size())
                                            : static_cast<SIZE_T>(UINT32_MAX);
    INT32 memoryResult = 55;
    LoadRecord record;
    EXPECT_EQ(LoadImageSource(viewer_, nullptr, gif.data(), size, &memoryResult, 0, 0,
                              &LoadRecord::Progress, &record),
              -1);
    EXPECT_EQ(memoryResult, 0);
    EXPECT_TRUE(record.progress.empty());
    EXPECT_EQ(viewer_->wicFactory, nullptr) << "no stream, so no imaging factory";
    EXPECT_EQ(viewer_->decoder, nullptr);
}

TEST_F(LoadImageTest, AFileOpenElsewhereExclusivelyIsRefused) {
    const TemporaryFile& file = File(Gif(WithDelays({10, 20})));
    IStream* holder = nullptr;
    ASSERT_EQ(SHCreateStreamOnFileW(file.wide().c_str(), STGM_READ | STGM_SHARE_EXCLUSIVE, &holder),
              S_OK);
    LoadRecord record = LoadFromFile(viewer_, file.wide().c_str());
    EXPECT_EQ(record.result, -1);
    EXPECT_TRUE(record.progress.empty());
    holder->Release();
    EXPECT_EQ(LoadFromFile(viewer_, file.wide().c_str()).result, 0) << "free again once closed";
}

TEST_F(LoadImageTest, MissingFileAndUnknownBytesFailBeforeAnyProgress) {
    EXPECT_EQ(LoadFromFile(viewer_, TEXT("surely-missing-file.gif")).result, -1);
    LoadRecord record = LoadFromMemory(viewer_, {'G', 'I', 'F', '0', '0', '0', 0, 0});
    EXPECT_EQ(record.result, -1);
    EXPECT_TRUE(record.progress.empty());
}

TEST_F(LoadImageTest, StillPngFailsAfterTheOneFrameWalk) {
    LoadRecord record = LoadFromMemory(viewer_, kOnePixelPng);
    EXPECT_EQ(record.result, -1);
    EXPECT_EQ(record.progress, (Progress{{0, 1}, {1, 1}}));
}

TEST_F(LoadImageTest, ProgressCountsEveryFrame) {
    GifImage image = SimpleAnimation(10, 4, 3, 10);
    LoadRecord record = Load(image);
    EXPECT_EQ(record.result, 0);
    Progress expected;
    for (UINT32 i = 0; i <= 10; ++i) expected.emplace_back(i, 10);
    EXPECT_EQ(record.progress, expected);
    EXPECT_EQ(viewer_->width, 4u);
    EXPECT_EQ(viewer_->height, 3u);
}

TEST_F(LoadImageTest, NoFramesGivesOneProgressCallAndFails) {
    GifImage image = WithDelays({});
    LoadRecord record = Load(image);
    EXPECT_EQ(record.result, -1);
    EXPECT_EQ(record.progress, (Progress{{0, 0}}));
}

TEST_F(LoadImageTest, AFrameThatCannotBeFetchedLeavesAGapInTheProgress) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine's decoder refuses the whole file when one frame cannot be decoded";
    }
    GifImage image = WithDelays({10, 10, 10});
    image.frames[1].lzwMinimumCodeSize = 12;  // no LZW decoder can start on this
    LoadRecord record = Load(image);
    EXPECT_EQ(record.result, 0);
    EXPECT_EQ(record.progress, (Progress{{0, 3}, {1, 3}, {3, 3}}));
    EXPECT_EQ(viewer_->totalDuration, 200) << "the skipped frame adds nothing";
}

TEST_F(LoadImageTest, NullProgressCallbackIsNotCalled) {
    GifImage image = SimpleAnimation(3, 2, 2, 10);
    const std::vector<BYTE> gif = Gif(image);
    INT32 memoryResult = 1;
    EXPECT_EQ(LoadImageSource(viewer_, nullptr, gif.data(), gif.size(), &memoryResult, 0, 0,
                              nullptr, nullptr),
              0);
}

TEST_F(LoadImageTest, TotalsFollowTheRuleInForceAtLoad) {
    EXPECT_EQ(Load(WithDelays({0, 3})).result, 0);
    EXPECT_EQ(viewer_->totalDuration, 130);
    EXPECT_TRUE(viewer_->hasShortDelays);

    viewer_->ieTiming = true;
    EXPECT_EQ(Load(WithDelays({0, 3})).result, 0);
    EXPECT_EQ(viewer_->totalDuration, 200);
    EXPECT_TRUE(viewer_->ieTiming) << "a load keeps the setting";

    viewer_->ieTiming = false;
    Load(WithDelays({0, 1, 2, 5, 6}));
    EXPECT_EQ(viewer_->totalDuration, 330);
    viewer_->ieTiming = true;
    Load(WithDelays({0, 1, 2, 5, 6}));
    EXPECT_EQ(viewer_->totalDuration, 460);
}

TEST_F(LoadImageTest, ShortDelaysCountOnlyInAnimations) {
    Load(WithDelays({10, 3}));
    ASSERT_TRUE(viewer_->hasShortDelays);
    Load(WithDelays({10, 20}));
    EXPECT_FALSE(viewer_->hasShortDelays) << "a reload does not inherit the flag";
}

// A single frame has no total, but its control block still decides the transparency.
TEST_F(LoadImageTest, ASingleFramesControlBlockDecidesTheTransparency) {
    GifImage image = WithDelays({10});
    image.frames[0].control->transparencyFlag = false;
    ASSERT_EQ(Load(image).result, 0);
    EXPECT_FALSE(viewer_->isTransparent);
    image.frames[0].control->transparencyFlag = true;
    ASSERT_EQ(Load(image).result, 0);
    EXPECT_TRUE(viewer_->isTransparent);
}

TEST_F(LoadImageTest, FramesWithoutControlBlockAddNoTimeAndDoNotDecideTransparency) {
    GifImage image = WithDelays({10, 10, 10});
    image.frames[0].control->transparencyFlag = true;
    image.frames[1].control.reset();
    image.frames[2].control->transparencyFlag = true;
    Load(image);
    EXPECT_EQ(viewer_->totalDuration, 200);
    EXPECT_TRUE(viewer_->isTransparent) << "no frame reported an opaque control block";

    image.frames[2].control->transparencyFlag = false;
    Load(image);
    EXPECT_FALSE(viewer_->isTransparent) << "one opaque control block decides";
}

TEST_F(LoadImageTest, BackgroundColourComesFromTheGlobalTableWhenTheIndexIsInside) {
    const D2D1_COLOR_F host{0.5f, 0.25f, 0.75f, 1.0f};
    viewer_->WriteColor(viewer_->hostBackgroundColor, host);
    viewer_->useImageBackground = true;

    GifImage image = WithDelays({10, 10});
    image.globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    image.backgroundIndex = 2;
    Load(image);
    D2D1_COLOR_F background = viewer_->ReadColor(viewer_->backgroundColor);
    EXPECT_FLOAT_EQ(background.r, 0.0f);
    EXPECT_FLOAT_EQ(background.g, 1.0f);
    EXPECT_FLOAT_EQ(background.b, 0.0f);
    EXPECT_FLOAT_EQ(background.a, 1.0f);
    EXPECT_FLOAT_EQ(viewer_->ReadColor(viewer_->imageBackgroundColor).g, 1.0f);
    EXPECT_FALSE(viewer_->useImageBackground);
    EXPECT_EQ(viewer_->colorBits, 2);

    // Out of range: no image colour; the host's colour stands in for both.
    viewer_->useImageBackground = true;
    image.backgroundIndex = 5;
    Load(image);
    background = viewer_->ReadColor(viewer_->backgroundColor);
    EXPECT_FLOAT_EQ(background.r, 0.5f);
    EXPECT_FLOAT_EQ(background.b, 0.75f);
    EXPECT_FLOAT_EQ(viewer_->ReadColor(viewer_->imageBackgroundColor).g, 0.25f);
    EXPECT_TRUE(viewer_->useImageBackground) << "kept when no image colour was taken";
    EXPECT_EQ(viewer_->colorBits, 2) << "the table size is still read";
}

TEST_F(LoadImageTest, WithoutAGlobalTableColourBitsComeFromTheFirstLocalSizeField) {
    GifImage image = WithDelays({10, 10, 10});
    image.globalTable.clear();
    image.frames[0].localTable = std::vector<GifColor>(2, GifColor{1, 2, 3});
    image.frames[0].localTableSizeField = 5;  // the size field is read, not the table
    image.frames[1].localTable = std::vector<GifColor>(256, GifColor{1, 2, 3});
    Load(image);
    EXPECT_EQ(viewer_->colorBits, 6);

    // The first frame has no local table: its size field (0) still answers.
    image.frames[0].localTable.clear();
    image.frames[0].localTableSizeField.reset();
    Load(image);
    EXPECT_EQ(viewer_->colorBits, 1);
}

TEST_F(LoadImageTest, AReloadStartsFromAFreshDescriptionButKeepsTheOptions) {
    GifImage big = SimpleAnimation(3, 40, 30, 10);
    Load(big);
    viewer_->rotation = 90;
    viewer_->ieTiming = true;
    viewer_->elapsed = 1234;

    LoadRecord failed = LoadFromMemory(viewer_, {'x', 'y', 'z'});
    EXPECT_EQ(failed.result, -1);
    EXPECT_EQ(viewer_->frameCount, 0u) << "no stale count beside a missing decoder";
    EXPECT_EQ(viewer_->decoder, nullptr);
    EXPECT_EQ(viewer_->width, 0u);
    EXPECT_EQ(viewer_->elapsed, 0);
    EXPECT_EQ(viewer_->rotation, 90);
    EXPECT_TRUE(viewer_->ieTiming);

    GifImage small = SimpleAnimation(2, 5, 6, 10);
    EXPECT_EQ(Load(small).result, 0);
    EXPECT_EQ(viewer_->width, 5u);
    EXPECT_EQ(viewer_->height, 6u);
    EXPECT_EQ(viewer_->currentFrame, 0u);
    EXPECT_EQ(viewer_->disposal, 1u);
}

TEST_F(LoadImageTest, TruncationAtAnyByteNeverFailsBadly) {
    GifImage image = SimpleAnimation(3, 7, 5, 4);
    image.frames[1].localTable = std::vector<GifColor>(8, GifColor{9, 9, 9});
    image.frames[2].interlaced = true;
    const std::vector<BYTE> whole = Gif(image);
    for (size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        std::vector<BYTE> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
        if (cut.empty()) cut.push_back(0);  // a memory load needs at least one byte
        LoadRecord record = LoadFromMemory(viewer_, cut);
        ASSERT_TRUE(record.result == 0 || record.result == -1);
        if (record.result == 0) {
            ASSERT_GT(viewer_->frameCount, 0u);
        }
    }
}

// What a load gives whatever the container: each case runs for GIF and for WebP.
class AnyFormatLoad : public ::testing::TestWithParam<ImageFormat> {
  protected:
    void SetUp() override {
        SKIP_UNLESS_FORMAT_AVAILABLE(GetParam());
        viewer_ = CreateInstance(nullptr);
    }
    void TearDown() override { DestroyInstance(viewer_); }
    LoadRecord Load(int width, int height, const std::vector<int>& delaysMs, bool still = false) {
        return LoadFromMemory(viewer_,
                              BuildSolidAnimation(GetParam(), width, height, delaysMs, still));
    }

    TavorenGif* viewer_ = nullptr;
};

TEST_P(AnyFormatLoad, AStillPictureIsOneFrameWithoutATotalOrAShortDelay) {
    EXPECT_EQ(Load(10, 6, {30}, true).result, 0);
    EXPECT_EQ(viewer_->frameCount, 1u);
    EXPECT_EQ(viewer_->width, 10u);
    EXPECT_EQ(viewer_->totalDuration, 0);
    EXPECT_FALSE(viewer_->hasShortDelays) << "only an animation's delays count";
}

TEST_P(AnyFormatLoad, AReloadOfADifferentImageTakesItsOwnSize) {
    ASSERT_EQ(Load(30, 20, {100, 100}).result, 0);
    ASSERT_EQ(Load(12, 14, {100, 100}).result, 0);
    EXPECT_EQ(viewer_->width, 12u) << "the scan reads the size only while width is 0";
    EXPECT_EQ(viewer_->height, 14u);
}

INSTANTIATE_TEST_SUITE_P(, AnyFormatLoad, ::testing::ValuesIn(kBothFormats), FormatCaseName());

}  // namespace
