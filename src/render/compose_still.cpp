// ComposeStill: a picture of one frame is composed once, and again only when the background
// it was composed on changes; every other paint only draws the composition surface.
#include <wrl/client.h>

#include <algorithm>
#include <new>
#include <vector>

#include "module/release_interface.h"
#include "module/tavoren_gif.h"
#include "render/frame_bitmap.h"

using Microsoft::WRL::ComPtr;

namespace {

// A still larger than this is drawn a band of rows at a time, so that no full-size copy of it
// is ever held beside the composition surface, which already takes as much. Bands are at least
// this large and at most kMostBands: a decoder that cannot seek in the frame's data (GIF's LZW)
// and keeps nothing between reads decodes from the frame's start for each band, so a few large
// bands bound that cost at a few decodes of the frame.
constexpr UINT64 kBandBytes = UINT64{4} << 20;
constexpr UINT64 kMostBands = 8;

bool SameColour(const D2D1_COLOR_F& a, const D2D1_COLOR_F& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Draws the w x h pixels onto `target` with their top-left corner at `at`, band by band, each
// band drawn and committed before the next is read.
bool DrawInBands(ID2D1RenderTarget* target, IWICBitmapSource* pixels, UINT w, UINT h,
                 D2D1_POINT_2F at) {
    const UINT stride = w * 4;
    const UINT64 rowsAtLeast =
        std::max<UINT64>(kBandBytes / stride, (h + kMostBands - 1) / kMostBands);
    const auto rows = static_cast<UINT>(std::clamp<UINT64>(rowsAtLeast, 1, h));
    std::vector<BYTE> band;
    try {
        band.resize(size_t{stride} * rows);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const D2D1_BITMAP_PROPERTIES properties = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
    for (UINT top = 0; top < h; top += rows) {
        const UINT count = std::min(rows, h - top);
        const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(w), static_cast<INT>(count)};
        ComPtr<ID2D1Bitmap> bitmap;
        if (FAILED(pixels->CopyPixels(&rect, stride, stride * count, band.data())) ||
            FAILED(target->CreateBitmap(D2D1::SizeU(w, count), band.data(), stride, &properties,
                                        bitmap.GetAddressOf()))) {
            return false;
        }
        const FLOAT y = at.y + static_cast<FLOAT>(top);
        const D2D1_RECT_F place =
            D2D1::RectF(at.x, y, at.x + static_cast<FLOAT>(w), y + static_cast<FLOAT>(count));
        target->BeginDraw();
        target->DrawBitmap(bitmap.Get(), &place, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                           nullptr);
        if (FAILED(target->EndDraw())) return false;
    }
    return true;
}

}  // namespace

bool TavorenGif::ComposeStill() {
    const D2D1_COLOR_F background = ReadColor(backgroundColor);
    if (stillComposed && SameColour(background, stillBackground)) return true;
    stillComposed = false;
    frameRect = {};
    ComPtr<IWICBitmapSource> pixels;
    if (!DecodeFrame(currentFrame, pixels.GetAddressOf())) return false;
    UINT w = 0, h = 0;
    if (FAILED(pixels->GetSize(&w, &h))) return false;
    // At its own place on the canvas; without a readable placement, at the origin.
    const bool placed = frameRect.right > frameRect.left && frameRect.bottom > frameRect.top;
    const D2D1_POINT_2F at =
        placed ? D2D1::Point2F(frameRect.left, frameRect.top) : D2D1::Point2F(0.0f, 0.0f);
    // In bands only where band and surface pixels are one to one.
    const D2D1_SIZE_F scale = SurfaceScale();
    const bool inBands = UINT64{w} * h * 4 > kBandBytes && scale.width == 1.0f &&
                         scale.height == 1.0f &&
                         (!placed || (frameRect.right - frameRect.left == static_cast<FLOAT>(w) &&
                                      frameRect.bottom - frameRect.top == static_cast<FLOAT>(h)));
    if (!inBands && FAILED(CreateFrameBitmap(windowTarget, scale, pixels.Get(), &frameBitmap))) {
        return false;
    }
    composeTarget->BeginDraw();
    composeTarget->Clear(&background);
    if (frameBitmap) {
        composeTarget->DrawBitmap(frameBitmap, placed ? &frameRect : nullptr, 1.0f,
                                  D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    }
    bool drawn = SUCCEEDED(composeTarget->EndDraw());
    // The surface holds the picture now; the frame's own copy would only hold memory.
    ReleaseInterface(frameBitmap);
    if (drawn && inBands) drawn = DrawInBands(composeTarget, pixels.Get(), w, h, at);
    if (!drawn) return false;
    stillBackground = background;
    stillComposed = true;
    return true;
}
