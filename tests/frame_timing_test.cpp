// The display-time rule at and around both of its limits.
#include <gtest/gtest.h>

#include "analysis/frame_timing.h"

namespace {

TEST(FrameDisplayTime, NormalRuleRaisesUpToTenMilliseconds) {
    EXPECT_EQ(FrameDisplayTime(0, false), 100u);
    EXPECT_EQ(FrameDisplayTime(10, false), 100u);
    EXPECT_EQ(FrameDisplayTime(11, false), 11u);
    EXPECT_EQ(FrameDisplayTime(20, false), 20u);
    EXPECT_EQ(FrameDisplayTime(50, false), 50u);
}

TEST(FrameDisplayTime, IeRuleRaisesUpToFiftyMilliseconds) {
    EXPECT_EQ(FrameDisplayTime(0, true), 100u);
    EXPECT_EQ(FrameDisplayTime(11, true), 100u);
    EXPECT_EQ(FrameDisplayTime(50, true), 100u);
    EXPECT_EQ(FrameDisplayTime(51, true), 51u);
    EXPECT_EQ(FrameDisplayTime(70000, true), 70000u);
    EXPECT_EQ(FrameDisplayTime(0xFFFFFFFFu, false), 0xFFFFFFFFu);
}

TEST(FrameDisplayTime, ShortGifDelaysAreTwoToFiveHundredths) {
    EXPECT_FALSE(IsShortGifDelay(0));
    EXPECT_FALSE(IsShortGifDelay(1));
    EXPECT_TRUE(IsShortGifDelay(2));
    EXPECT_TRUE(IsShortGifDelay(5));
    EXPECT_FALSE(IsShortGifDelay(6));
}

}  // namespace
