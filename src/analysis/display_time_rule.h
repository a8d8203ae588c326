// The one rule that turns a frame's stored delay into the time it is shown.
#pragma once

#include <windows.h>

// Very short delays are raised to 100 ms: up to 10 ms under the normal rule, up to 50 ms
// under the IE-compatible rule. Both limits count as short.
UINT FrameDisplayTime(UINT delayMs, bool ieTiming);

// GIF delays of 2 to 5 hundredths, the only ones the two rules show differently.
bool IsShortGifDelay(UINT hundredths);
