// A frame's display time as its metadata gives it, added to a running total.
#pragma once

#include <windows.h>
#include <wincodec.h>

// GIF: "/grctlext/Delay" under the display-time rule in force, noting a short delay.
// WebP: "/ANMF/FrameDuration" in milliseconds as stored. A frame without the value adds
// nothing. The total wraps instead of overflowing on absurd sums.
void AddFrameDuration(IWICMetadataQueryReader* frameReader, bool isWebP, bool ieTiming, INT& total,
                      bool& hasShortDelays);
