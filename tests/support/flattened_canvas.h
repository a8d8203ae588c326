// Compares what a viewer painted with a reference canvas of straight-alpha RGBA, flattened
// onto the background colour the viewer was given.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/support/viewer_harness.h"

// Exact where the reference is opaque or transparent, within one where it is partly
// transparent (premultiplied rounding may differ there). Reports the first three wrong pixels
// as failures; returns how many pixels were partly transparent.
inline int ExpectFlattenedCanvas(const ViewerHarness& harness, const std::vector<uint32_t>& capture,
                                 const uint8_t* rgba, int width, int height, uint32_t background) {
    const int backgroundChannels[3] = {static_cast<int>((background >> 16) & 0xFF),
                                       static_cast<int>((background >> 8) & 0xFF),
                                       static_cast<int>(background & 0xFF)};
    int wrong = 0, partial = 0;
    for (int y = 0; y < height && wrong < 3; ++y) {
        for (int x = 0; x < width && wrong < 3; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            const uint32_t actual = harness.At(capture, x, y);
            const int tolerance = p[3] == 0 || p[3] == 255 ? 0 : 1;
            partial += tolerance;
            for (int c = 0; c < 3; ++c) {
                const int expected =
                    (p[c] * p[3] + backgroundChannels[c] * (255 - p[3]) + 127) / 255;
                const int channel = static_cast<int>((actual >> (16 - 8 * c)) & 0xFF);
                if (std::abs(channel - expected) > tolerance) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": "
                                  << channel << " instead of " << expected << " (alpha "
                                  << int{p[3]} << ")";
                    ++wrong;
                    break;
                }
            }
        }
    }
    return partial;
}
