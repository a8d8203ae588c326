// CreateFrameBitmap: the frame through the drawing library's own copy where the device holds
// it, otherwise read once and averaged down to the composition surface's resolution.
#include "render/frame_bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace {

// Output position i of n over a source of `size`: the source cells [first, last).
struct Span {
    UINT first, last;
};

Span Cover(UINT i, UINT n, UINT size) {
    const auto first = static_cast<UINT>(UINT64{i} * size / n);
    const auto last = static_cast<UINT>(UINT64{i + 1} * size / n);
    return {first, std::max(last, first + 1)};
}

// Box-averages the source (w x h, premultiplied BGRA) into `out` (ow x oh, ow <= w, oh <= h).
// The source is read whole, in one call: a decoder asked for rows in parts may decode the
// frame from its start for each part.
HRESULT Shrink(IWICBitmapSource* source, UINT w, UINT h, UINT ow, UINT oh,
               std::vector<uint32_t>& out) {
    std::vector<uint32_t> pixels(size_t{w} * h);
    const UINT64 stride = UINT64{w} * 4;
    if (stride * h > UINT32_MAX) return E_OUTOFMEMORY;  // beyond what one copy can name
    if (HRESULT hr =
            source->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(stride * h),
                               reinterpret_cast<BYTE*>(pixels.data()));
        FAILED(hr)) {
        return hr;
    }
    std::vector<Span> columns(ow);
    for (UINT x = 0; x < ow; ++x) columns[x] = Cover(x, ow, w);
    std::vector<uint32_t> sums(size_t{ow} * 4);
    for (UINT y = 0; y < oh; ++y) {
        const Span rows = Cover(y, oh, h);
        std::fill(sums.begin(), sums.end(), 0u);
        for (UINT row = rows.first; row < rows.last; ++row) {
            const uint32_t* line = pixels.data() + size_t{row} * w;
            for (UINT x = 0; x < ow; ++x) {
                uint32_t* sum = &sums[size_t{x} * 4];
                for (UINT sx = columns[x].first; sx < columns[x].last; ++sx) {
                    const uint32_t p = line[sx];
                    sum[0] += p & 0xFF;
                    sum[1] += (p >> 8) & 0xFF;
                    sum[2] += (p >> 16) & 0xFF;
                    sum[3] += p >> 24;
                }
            }
        }
        uint32_t* target = out.data() + size_t{y} * ow;
        for (UINT x = 0; x < ow; ++x) {
            const uint32_t count = (rows.last - rows.first) * (columns[x].last - columns[x].first);
            const uint32_t* sum = &sums[size_t{x} * 4];
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) pixel |= ((sum[c] + count / 2) / count) << (8 * c);
            target[x] = pixel;
        }
    }
    return S_OK;
}

}  // namespace

HRESULT CreateFrameBitmap(ID2D1RenderTarget* target, D2D1_SIZE_F scale, IWICBitmapSource* source,
                          ID2D1Bitmap** bitmap) {
    UINT w = 0, h = 0;
    const UINT64 limit = target->GetMaximumBitmapSize();
    const bool fits = FAILED(source->GetSize(&w, &h)) || (w <= limit && h <= limit);
    const bool shrinkable = scale.width > 0.0f && scale.width <= 1.0f && scale.height > 0.0f &&
                            scale.height <= 1.0f && (scale.width < 1.0f || scale.height < 1.0f);
    if (fits || !shrinkable) return target->CreateBitmapFromWicBitmap(source, nullptr, bitmap);

    const auto ow =
        static_cast<UINT>(std::max(1.0, std::ceil(static_cast<double>(w) * scale.width)));
    const auto oh =
        static_cast<UINT>(std::max(1.0, std::ceil(static_cast<double>(h) * scale.height)));
    // A frame of up to twice the pixels of the device's largest surface: a canvas one pixel
    // beyond the limit on both sides is shown, a decompression bomb is not decoded.
    if (ow > limit || oh > limit || UINT64{w} * h > 2 * limit * limit) {
        return D2DERR_MAX_TEXTURE_SIZE_EXCEEDED;
    }
    std::vector<uint32_t> pixels;
    try {
        pixels.resize(size_t{ow} * oh);
        if (HRESULT hr = Shrink(source, w, h, ow, oh, pixels); FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    // The resolution that keeps the frame's own size in drawing units.
    const D2D1_BITMAP_PROPERTIES properties = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        static_cast<FLOAT>(96.0 * ow / w), static_cast<FLOAT>(96.0 * oh / h));
    return target->CreateBitmap(D2D1::SizeU(ow, oh), pixels.data(), ow * 4, &properties, bitmap);
}
