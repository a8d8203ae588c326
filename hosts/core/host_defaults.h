// What both reference hosts start with, unless told otherwise.
#pragma once

#include <cstdint>

// The host colour around the picture, 0xRRGGBB: a dark grey, against which both light and
// dark pictures stand out.
constexpr uint32_t kDefaultBackground = 0x303030;
// The smallest client area a host window gets, so that a tiny picture still has a window
// that can be grabbed, and room for the status.
constexpr int kMinimumClientWidth = 480, kMinimumClientHeight = 300;
