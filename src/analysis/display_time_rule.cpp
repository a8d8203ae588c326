#include "analysis/display_time_rule.h"

UINT FrameDisplayTime(UINT delayMs, bool ieTiming) {
    const UINT threshold = ieTiming ? 50 : 10;
    return delayMs <= threshold ? 100 : delayMs;
}

bool IsShortGifDelay(UINT hundredths) {
    return hundredths >= 2 && hundredths <= 5;
}
