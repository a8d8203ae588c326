// The multimedia timer's resolution requests, as the module uses them.
#pragma once

#include "windef.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u

// Asks for waits and timers at least as fine as `period` milliseconds until the matching
// timeEndPeriod. Linux's waits are as fine already: the stand-in only keeps the count of the
// requests, and refuses a period of 0 and an end without its begin as Windows does.
extern "C" MMRESULT timeBeginPeriod(UINT period);
extern "C" MMRESULT timeEndPeriod(UINT period);
