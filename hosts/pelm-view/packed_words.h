// Client sizes and points as window messages carry them in lParam: two unsigned 16-bit halves.
#pragma once

#include <windows.h>

#include <algorithm>

inline LPARAM PackWords(int low, int high) {
    const auto word = [](int v) { return static_cast<LPARAM>(std::clamp(v, 0, 0xFFFF)); };
    return word(low) | (word(high) << 16);
}
