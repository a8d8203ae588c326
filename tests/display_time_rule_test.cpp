// The display-time rule at and around both of its limits.
#include <gtest/gtest.h>

#include "analysis/display_time_rule.h"

namespace {

// Delays in milliseconds and the times each rule shows them for.
struct Shown {
    UINT delay, normal, ie;
};
constexpr Shown kShown[] = {
    {0, 100, 100}, {10, 100, 100}, {11, 11, 100},         {20, 20, 100},
    {50, 50, 100}, {51, 51, 51},   {70000, 70000, 70000}, {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}};

TEST(FrameDisplayTime, NormalRuleRaisesUpToTenMilliseconds) {
    for (const Shown& shown : kShown) EXPECT_EQ(FrameDisplayTime(shown.delay, false), shown.normal);
}

TEST(FrameDisplayTime, IeRuleRaisesUpToFiftyMilliseconds) {
    for (const Shown& shown : kShown) EXPECT_EQ(FrameDisplayTime(shown.delay, true), shown.ie);
}

TEST(FrameDisplayTime, ShortGifDelaysAreTwoToFiveHundredths) {
    EXPECT_FALSE(IsShortGifDelay(0));
    EXPECT_FALSE(IsShortGifDelay(1));
    EXPECT_TRUE(IsShortGifDelay(2));
    EXPECT_TRUE(IsShortGifDelay(5));
    EXPECT_FALSE(IsShortGifDelay(6));
}

}  // namespace
