// CreateFrameBitmap: the frame through the drawing library's own copy where the device holds
// it, otherwise averaged down in strips of rows, so that no full-size copy is ever made.
#include "render/frame_bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace {

// A strip of source rows holds about this much; giant frames are read in several.
constexpr UINT64 kStripBytes = UINT64{32} << 20;

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
HRESULT Shrink(IWICBitmapSource* source, UINT w, UINT h, UINT ow, UINT oh,
               std::vector<uint32_t>& out) {
    std::vector<Span> columns(ow);
    for (UINT x = 0; x < ow; ++x) columns[x] = Cover(x, ow, w);
    const UINT stripRows =
        static_cast<UINT>(std::clamp<UINT64>(kStripBytes / (UINT64{w} * 4), 1, h));
    std::vector<uint32_t> strip;
    std::vector<uint32_t> sums(size_t{ow} * 4);
    strip.resize(size_t{w} * std::min<UINT64>(stripRows + (h + oh - 1) / oh, h));
    UINT stripTop = 0, stripCount = 0;
    for (UINT y = 0; y < oh; ++y) {
        const Span rows = Cover(y, oh, h);
        if (rows.last > stripTop + stripCount) {
            stripTop = rows.first;
            stripCount = std::min(h - stripTop, std::max(stripRows, rows.last - rows.first));
            const WICRect rect{0, static_cast<INT>(stripTop), static_cast<INT>(w),
                               static_cast<INT>(stripCount)};
            const UINT stride = w * 4;
            if (HRESULT hr = source->CopyPixels(&rect, stride, stride * stripCount,
                                                reinterpret_cast<BYTE*>(strip.data()));
                FAILED(hr)) {
                return hr;
            }
        }
        std::fill(sums.begin(), sums.end(), 0u);
        for (UINT row = rows.first; row < rows.last; ++row) {
            const uint32_t* line = strip.data() + size_t{row - stripTop} * w;
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
    if (ow > limit || oh > limit || UINT64{w} * h > limit * limit) {
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
