// The stand-in's own GIF decoder beside giflib, the reference it answers to (Linux only: the
// stand-in is the Linux build's platform). Shared by the differential test and its fuzzer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/gif_container.h"

// Decodes every frame of the GIF `bytes` both ways (its first rows, up to 4 M pixels), whole, as
// an inner rect and in bands, then each frame's inner rect again straight after the frame
// before's, into buffers with a wider stride whose padding must stay as it was: the first
// difference, described, or empty when every frame decodes alike (or the file does not open).
inline std::string FirstDecoderDifference(const std::vector<uint8_t>& bytes) {
    auto shared = std::make_shared<platform::ImageBytes>(bytes.data(), bytes.size());
    std::unique_ptr<platform::imaging::Container> container = platform::imaging::OpenGif(shared);
    if (!container) return {};
    auto& gif = static_cast<platform::imaging::GifContainer&>(*container);
    const UINT frames = gif.FrameCount();
    for (UINT step = 0; step < 2 * frames; ++step) {
        const UINT index = step % frames;
        if (!gif.FrameFetchable(index)) continue;
        UINT width = 0, height = 0;
        gif.FrameSize(index, &width, &height);
        // The rows a few megabytes hold: a frame's size is the file's word, not its data's.
        height = std::min(height, std::max(1u, (4u << 20) / std::max(width, 1u)));
        const WICRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        const WICRect inner{static_cast<INT>(width / 3), static_cast<INT>(height / 4),
                            static_cast<INT>(width - width / 3 - width / 5),
                            static_cast<INT>(height - height / 4 - height / 3)};
        // And in three bands of rows, top to bottom, as a large picture is drawn.
        const INT third = static_cast<INT>(height / 3), rows = static_cast<INT>(height);
        const WICRect bands[] = {{0, 0, whole.Width, third},
                                 {0, third, whole.Width, third},
                                 {0, 2 * third, whole.Width, rows - 2 * third}};
        const std::vector<WICRect> rects =
            step < frames ? std::vector<WICRect>{whole, inner, bands[0], bands[1], bands[2]}
                          : std::vector<WICRect>{inner};
        for (const WICRect& rect : rects) {
            if (rect.Width <= 0 || rect.Height <= 0) continue;
            const UINT stride = static_cast<UINT>(rect.Width) + 5;
            std::vector<BYTE> ours(size_t{stride} * static_cast<UINT>(rect.Height), 0xA5);
            std::vector<BYTE> giflib = ours;
            const HRESULT oursResult = gif.CopyPixels(index, rect, stride, ours.data());
            const HRESULT giflibResult = gif.CopyPixelsByGiflib(index, rect, stride, giflib.data());
            const std::string where = "frame " + std::to_string(index) + ", rect " +
                                      std::to_string(rect.X) + "," + std::to_string(rect.Y) + " " +
                                      std::to_string(rect.Width) + "x" +
                                      std::to_string(rect.Height);
            if (oursResult != giflibResult) return where + ": the results differ";
            if (ours == giflib) continue;
            size_t at = 0;
            while (ours[at] == giflib[at]) ++at;
            return where + ": first difference at row " + std::to_string(at / stride) +
                   ", column " + std::to_string(at % stride) + " (ours " +
                   std::to_string(ours[at]) + ", giflib " + std::to_string(giflib[at]) + ")";
        }
    }
    return {};
}
