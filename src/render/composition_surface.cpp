// CreateCompositionSurface: the canvas-sized surface frames are composed on. A canvas the
// device cannot hold gets the largest surface it allows, at a lower resolution: the surface
// keeps the canvas's size in drawing units, so frame rectangles, clips and the paint's source
// rectangle stay in canvas pixels and the drawing library scales them.
#include <algorithm>

#include "module/tavoren_gif.h"

bool TavorenGif::CreateCompositionSurface(ID2D1RenderTarget* windowSurface,
                                          ID2D1BitmapRenderTarget** surface) {
    stillComposed = false;
    const D2D1_SIZE_F canvas = D2D1::SizeF(static_cast<FLOAT>(width), static_cast<FLOAT>(height));
    const UINT64 limit = windowSurface->GetMaximumBitmapSize();
    const UINT64 longest = std::max(width, height);
    D2D1_SIZE_U pixels = D2D1::SizeU(width, height);
    const bool shrunk = limit > 0 && longest > limit;
    if (shrunk) {
        // Rounded up, and in integers, so that the longest side is exactly the limit.
        auto side = [&](UINT64 v) {
            return static_cast<UINT32>(
                std::clamp<UINT64>((v * limit + longest - 1) / longest, 1, limit));
        };
        pixels = D2D1::SizeU(side(width), side(height));
    }
    return SUCCEEDED(windowSurface->CreateCompatibleRenderTarget(
        &canvas, shrunk ? &pixels : nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
        surface));
}

D2D1_SIZE_F TavorenGif::SurfaceScale() const {
    if (!composeTarget || width == 0 || height == 0) return D2D1::SizeF(1.0f, 1.0f);
    const D2D1_SIZE_U pixels = composeTarget->GetPixelSize();
    return D2D1::SizeF(static_cast<FLOAT>(pixels.width) / static_cast<FLOAT>(width),
                       static_cast<FLOAT>(pixels.height) / static_cast<FLOAT>(height));
}
