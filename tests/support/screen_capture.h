// Reading what another process's window shows, from the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct ScreenCapture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xFFRRGGBB, row-major, width * height

    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    }
};

// The client area of `window` as the screen shows it. Under Wine a Direct2D frame never
// reaches the window's own DC, so this reads the screen's: the window must be unobscured.
ScreenCapture CaptureClientArea(HWND window);
