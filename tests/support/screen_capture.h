// Reading what another process's window shows, from the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ScreenCapture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xFFRRGGBB, row-major, width * height
    std::string error;             // why there are no pixels, when a capture failed

    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    }
};

// The client area of `window` as Windows' GDI reads it from the screen. Under Wine a Direct2D
// frame never reaches the window's own DC, so this reads the screen's: the window must be
// unobscured. A synchronous read within the process, for the tests of the module's painting.
ScreenCapture CaptureClientArea(HWND window);

// The client area of `window` as the X server shows it, read from outside Wine: what a person
// sees, which is what is left when anything between Direct3D's present and X loses a frame.
// Under Wine only; elsewhere `error` says so.
ScreenCapture CaptureClientAreaOnX(HWND window);

// What a person sees of the client area: the X server's pixels under Wine, the screen's on
// Windows.
ScreenCapture CaptureClientAreaAsShown(HWND window);
