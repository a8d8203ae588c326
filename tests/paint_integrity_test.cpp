// A host that paints in a loop while an animation plays sees only frames of the animation:
// each painted picture is compared with the frames composed independently here, for each
// disposal method, restore to previous on frame 0 included. The worker's step from one frame
// to the next (undo, then compose) must be one step for a paint.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <set>
#include <vector>

#include "playback/transport.h"
#include "tests/support/platform_info.h"
#include "tests/support/viewer_test.h"
#include "tests/support/worker_waits.h"

namespace {

constexpr int kSide = 300;
constexpr unsigned kFrames = 4;
constexpr auto kPaintingTime = std::chrono::seconds(2);
constexpr uint32_t kBackground = 0x000000;
constexpr uint32_t kColours[kFrames] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

struct Case {
    const char* name;
    std::array<uint8_t, kFrames> disposals;
};

// Overlapping rectangles within the canvas, so that every disposal method changes what the
// next frame shows.
GifFrame FrameOf(unsigned i, uint8_t disposal) {
    return SolidFrame(static_cast<uint16_t>(10 + 25 * i), static_cast<uint16_t>(20 + 20 * i), 210,
                      200, static_cast<uint8_t>(i + 1), 2, disposal);  // 20 ms
}

GifImage Animation(const Case& c) {
    GifImage image;
    image.width = image.height = kSide;
    image.globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    for (unsigned i = 0; i < kFrames; ++i) image.frames.push_back(FrameOf(i, c.disposals[i]));
    return image;
}

// The pictures of one pass, composed as the GIF disposal methods say: the frame before is
// undone, frame 0 starts from the background, a restore-to-previous frame saves the canvas
// before it is drawn.
std::set<std::vector<uint32_t>> Pictures(const Case& c) {
    using Picture = std::vector<uint32_t>;
    Picture canvas(kSide * kSide, kBackground), saved = canvas;
    auto fill = [&](const GifFrame& f, uint32_t colour) {
        for (int y = f.top; y < f.top + f.height; ++y) {
            std::fill_n(canvas.begin() + y * kSide + f.left, f.width, colour);
        }
    };
    std::set<Picture> pictures;
    uint8_t previous = 1;
    GifFrame previousFrame;
    for (unsigned pass = 0; pass < 2; ++pass) {  // the second starts after a wrap
        for (unsigned i = 0; i < kFrames; ++i) {
            if (previous == 2) fill(previousFrame, kBackground);
            if (previous == 3) canvas = saved;
            if (i == 0) std::fill(canvas.begin(), canvas.end(), kBackground);
            const GifFrame frame = FrameOf(i, c.disposals[i]);
            if (c.disposals[i] == 3) saved = canvas;
            fill(frame, kColours[i]);
            pictures.insert(canvas);
            previous = c.disposals[i];
            previousFrame = frame;
        }
    }
    return pictures;
}

struct PaintIntegrity : ViewerTest {};

TEST_F(PaintIntegrity, EveryPaintWhilePlayingIsAFrame) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine's Direct2D (Debian's Wine 8) shows a paint nothing of what the "
                        "worker's thread drew on the composition surface: every paint of a "
                        "playing animation gives the canvas as the window thread last saw it";
    }
    const Case cases[] = {
        {"keep", {1, 1, 1, 1}},
        {"restore to background", {2, 2, 2, 2}},
        {"restore to previous, frame 0 too", {3, 3, 3, 3}},
        {"mixed", {3, 2, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::set<std::vector<uint32_t>> pictures = Pictures(c);
        TavorenGif* viewer = Open(Animation(c), kSide, kSide);
        ASSERT_TRUE(viewer);
        Play(viewer);
        ASSERT_TRUE(harness->window().WaitForInvalidation(1, kTimeout));
        int paints = 0, torn = 0;
        std::set<const std::vector<uint32_t>*> seen;
        const auto end = std::chrono::steady_clock::now() + kPaintingTime;
        while (std::chrono::steady_clock::now() < end) {
            std::vector<uint32_t> capture = harness->PaintAndCapture();
            for (uint32_t& pixel : capture) pixel &= 0xFFFFFF;
            ++paints;
            const auto found = pictures.find(capture);
            if (found == pictures.end()) {
                ++torn;
            } else {
                seen.insert(&*found);
            }
            harness->window().PumpMessages();
        }
        StopPlayback(viewer);
        EXPECT_EQ(torn, 0) << "of " << paints << " paints";
        EXPECT_GE(seen.size(), 2u) << "the animation did not move";
        harness.reset();
    }
}

}  // namespace
