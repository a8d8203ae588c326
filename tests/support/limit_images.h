// Images at and beyond the sizes the module can hold, built in memory: enormous logical
// screens and canvases, frames far outside them, an empty screen and very many frames. The
// limits tests and the measuring driver (bench/limits_probe.cpp) take the same ones by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LimitImage {
    std::string name;
    std::string what;  // one line for the driver's table
    std::vector<uint8_t> bytes;
};

// A GIF of `frames` frames of 1x1 at the origin on a `width` x `height` logical screen, 20 ms
// each, alternating two colours.
std::vector<uint8_t> TinyFramesOnScreen(uint16_t width, uint16_t height, unsigned frames);

// A GIF on an 8x8 screen: a full first frame, then frames placed far outside the screen (the
// last one reaching the format's largest coordinates).
std::vector<uint8_t> FramesFarOutsideTheScreen();

// A GIF on a 2x2 screen whose second frame declares `side` x `side` pixels at the origin but
// carries data for one pixel only: the frame bitmap, not the screen, is what is large.
std::vector<uint8_t> OversizedFrameOnTinyScreen(uint16_t side);

#if TAVOREN_HAS_WEBP_BUILDER
// An animated WebP of two 2x2 frames on a `width` x `height` canvas (VP8X allows 2^24 a side;
// the frames' own headers stay small).
std::vector<uint8_t> TinyFramesOnWebPCanvas(uint32_t width, uint32_t height);
#endif

// Every built case, in the driver's order; the WebP ones only where the builder exists.
std::vector<LimitImage> LimitImages();
