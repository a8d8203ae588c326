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
    bool blend = true;   // alpha-blend onto the canvas; false overwrites the rectangle
    bool lossy = false;  // VP8 (with an ALPH chunk where the frame has alpha), not VP8L
};

// A frame of that size at that offset, of the default solid colour.
WebPTestFrame PlacedFrame(int width, int height, int offsetX, int offsetY);

// A frame whose alpha and colour vary across it, so that every pixel blends differently.
WebPTestFrame GradientFrame(int width, int height, int offsetX, int offsetY, int seed);

// Every canvas libwebp's own animation decoder composes (WebPAnimDecoderGetNext), R, G, B, A
// straight, one after another; it stops at the first frame that fails to decode.
std::vector<std::vector<uint8_t>> LibWebPCanvases(const std::vector<uint8_t>& bytes);

// An animated WebP (looping forever) of the given canvas size and frames, each kept as its own
// frame with its exact offset and duration, one frame included (lossless only). With one
// lossless frame and still == true, a plain lossless still WebP of the canvas with the frame
// drawn on transparent black instead. Throws std::invalid_argument for odd offsets or a wrong
// number of pixels, std::runtime_error when libwebp refuses (a frame outside the canvas, say).
std::vector<uint8_t> BuildAnimatedWebP(int canvasWidth, int canvasHeight,
                                       const std::vector<WebPTestFrame>& frames,
                                       bool still = false);
