// Builds WebP files with libwebp, so that tests can play animations with known canvas sizes,
// offsets and durations. Linux only: the Windows builds have no libwebp.
#pragma once

#include <cstdint>
#include <vector>

struct WebPTestFrame {
    int durationMs = 100;
    uint32_t argb = 0xFF000000;    // solid fill colour 0xAARRGGBB, or:
    std::vector<uint32_t> pixels;  // width * height ARGB when not empty
    int offsetX = 0, offsetY = 0;  // frame offset inside the canvas; must be even, as in WebP
    int width = 0, height = 0;     // 0: the canvas size
    bool disposeToBackground = false;
    bool blend = true;  // alpha-blend onto the canvas; false overwrites the rectangle
};

// An animated WebP (lossless frames, looping forever) of the given canvas size and frames,
// each kept as its own frame with its exact offset and duration, one frame included. With one
// frame and still == true, a plain lossless still WebP of the canvas with the frame drawn on
// transparent black instead. Throws std::invalid_argument for odd offsets or a wrong number of
// pixels, std::runtime_error when libwebp refuses (a frame outside the canvas, say).
std::vector<uint8_t> BuildAnimatedWebP(int canvasWidth, int canvasHeight,
                                       const std::vector<WebPTestFrame>& frames,
                                       bool still = false);
