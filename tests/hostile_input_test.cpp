// Damaged images all the way through: load, attach, every frame composed in the worker's
// order and painted. Each must end in a defined answer, never a crash or a read out of
// bounds (the sanitizer builds run this too).
#include <gtest/gtest.h>

#include <random>

#include "tests/support/platform_info.h"
#include "tests/support/viewer_harness.h"

namespace {

GifImage Animation() {
    GifImage image;
    image.width = 9;
    image.height = 7;
    image.globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int i = 0; i < 4; ++i) {
        GifFrame frame;
        frame.left = static_cast<uint16_t>(i);
        frame.width = 5;
        frame.height = 4;
        frame.interlaced = i == 2;
        frame.indices.resize(20);
        for (size_t p = 0; p < frame.indices.size(); ++p)
            frame.indices[p] = static_cast<uint8_t>((p + i) % 4);
        if (i == 1) frame.localTable = std::vector<GifColor>(8, GifColor{9, 8, 7});
        frame.control = GifControl{};
        frame.control->disposal = static_cast<uint8_t>(i);
        frame.control->transparencyFlag = i == 3;
        image.frames.push_back(frame);
    }
    return image;
}

// Composes and paints every frame the damaged image still offers; answers how many composed.
int PlayThrough(ViewerHarness& harness, const std::vector<uint8_t>& bytes) {
    if (!harness.Open(bytes)) return -1;
    int composed = 0;
    for (UINT f = 0; f < harness.viewer()->frameCount && f < 16; ++f) {
        if (harness.Step(f)) ++composed;
        RECT source{0, 0, 9, 7}, dest{0, 0, 18, 14};
        const INT32 painted = Render(harness.viewer(), 0, &source, &dest, 1);
        EXPECT_TRUE(painted == 0 || painted == -1);
    }
    return composed;
}

TEST(HostileInput, RandomlyDamagedGifsEndInADefinedAnswer) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine's own GIF decoder is not hardened against damaged files; the "
                        "module's handling is checked against the stand-in natively";
    }
    const std::vector<uint8_t> whole = BuildGif(Animation());
    ViewerHarness harness(20, 16);
    ASSERT_EQ(PlayThrough(harness, whole), 4);
    std::mt19937 random(2026);
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> damaged = whole;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < changes; ++c) {
            damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        }
        if (round % 4 == 0) damaged.resize(random() % damaged.size() + 1);
        if (PlayThrough(harness, damaged) >= 0) ++loaded;
    }
    std::printf("%d of 400 damaged GIFs still loaded\n", loaded);
    EXPECT_GT(loaded, 0);
}

}  // namespace
