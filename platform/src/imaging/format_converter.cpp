// The format converter, to 32bppPBGRA only: the one target the module asks for, from the two
// formats the stand-in's animation frames come in: 8bpp indexed (GIF) through the palette,
// and 32bppRGBA (WebP) by swapping red and blue and premultiplying.
#include <wrl/client.h>

#include <cstring>
#include <mutex>
#include <new>

#include "imaging/imaging_objects.h"

namespace platform::imaging {
namespace {

using Microsoft::WRL::ComPtr;

enum class Source { Indexed, StraightRgba };

// Premultiplies as Wine's converter does, rounding to nearest.
UINT32 Premultiply(UINT32 color) {
    const UINT32 alpha = color >> 24;
    if (alpha == 255) return color;
    UINT32 out = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        out |= ((((color >> shift) & 0xFF) * alpha + 127) / 255) << shift;
    }
    return out;
}

// Bytes R, G, B, A read as a little-endian word, to bytes B, G, R, A.
UINT32 SwapRedAndBlue(UINT32 color) {
    return (color & 0xFF00FF00) | ((color >> 16) & 0xFF) | ((color & 0xFF) << 16);
}

class FormatConverter final : public ComObject<IWICFormatConverter> {
  public:
    // Answers for the converter and the bitmap source it is, as Windows' converter does.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object,
                      {{&IID_IWICFormatConverter, static_cast<IWICFormatConverter*>(this)},
                       {&IID_IWICBitmapSource, static_cast<IWICBitmapSource*>(this)}});
    }

    // IWICFormatConverter::Initialize: an unknown target or source format is
    // UNSUPPORTEDPIXELFORMAT, a second call WRONGSTATE. Dithering, the palette and the alpha
    // threshold only matter for indexed targets, so they are ignored, as Wine does here.
    HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* source, REFWICPixelFormatGUID target,
                                         WICBitmapDitherType, IWICPalette*, double,
                                         WICBitmapPaletteType) override {
        if (!IsEqualGUID(target, GUID_WICPixelFormat32bppPBGRA)) {
            return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        }
        if (!source) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(lock_);
        if (source_) return WINCODEC_ERR_WRONGSTATE;
        WICPixelFormatGUID format;
        HRESULT hr = source->GetPixelFormat(&format);
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) {
            kind_ = Source::Indexed;
        } else if (IsEqualGUID(format, GUID_WICPixelFormat32bppRGBA)) {
            kind_ = Source::StraightRgba;
        } else {
            return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        }
        source_ = source;
        return S_OK;
    }

    // The source's size; NOTINITIALIZED before Initialize, as on Windows.
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        ComPtr<IWICBitmapSource> source = Initialized();
        return source ? source->GetSize(width, height) : WINCODEC_ERR_NOTINITIALIZED;
    }
    // The target format once initialised.
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (!format) return E_INVALIDARG;
        if (!Initialized()) return WINCODEC_ERR_NOTINITIALIZED;
        *format = GUID_WICPixelFormat32bppPBGRA;
        return S_OK;
    }
    // A non-indexed target has no palette of its own: the source's is given, as Wine does.
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
        if (!palette) return E_INVALIDARG;
        ComPtr<IWICBitmapSource> source = Initialized();
        return source ? source->CopyPalette(palette) : WINCODEC_ERR_WRONGSTATE;
    }

    // The rect converted, into the caller's buffer with no copy of our own: the source's pixels
    // are fetched into the buffer itself and widened, or swapped and premultiplied, there.
    // WRONGSTATE before Initialize, as Wine answers.
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize,
                                         BYTE* buffer) override {
        ComPtr<IWICBitmapSource> source = Initialized();
        if (!source) return WINCODEC_ERR_WRONGSTATE;
        UINT width = 0, height = 0;
        HRESULT hr = source->GetSize(&width, &height);
        if (FAILED(hr)) return hr;
        WICRect rect;
        hr = CheckCopyArguments(prc, width, height, 4, stride, bufferSize, buffer, &rect);
        if (FAILED(hr) || rect.Width == 0 || rect.Height == 0) return hr;

        // Read before the pixels, as Wine does: a palette that cannot be had fails the copy.
        // Indices past the palette's end have no colour; Wine's converter reads them from a
        // table it never filled, here they are transparent black, like the transparent index.
        UINT32 colors[256] = {};
        if (kind_ == Source::Indexed) {
            ComPtr<Palette> palette;
            palette.Attach(new (std::nothrow) Palette());
            if (!palette) return E_OUTOFMEMORY;
            UINT count = 0;
            hr = source->CopyPalette(palette.Get());
            if (SUCCEEDED(hr)) hr = palette->GetColors(256, colors, &count);
            if (FAILED(hr)) return hr;
            for (UINT i = 0; i < count; ++i) colors[i] = Premultiply(colors[i]);
        }

        // The buffer holds 4 bytes a pixel, so it holds the source's 1 with the same stride.
        hr = source->CopyPixels(&rect, stride, bufferSize, buffer);
        if (FAILED(hr)) return hr;
        for (INT y = 0; y < rect.Height; ++y) {
            BYTE* row = buffer + size_t{stride} * static_cast<UINT>(y);
            if (kind_ == Source::Indexed) {
                // From the right, so that each index is read before its colour covers it.
                for (size_t x = static_cast<UINT>(rect.Width); x-- > 0;) {
                    std::memcpy(row + 4 * x, &colors[row[x]], 4);
                }
            } else {
                for (size_t x = 0; x < static_cast<UINT>(rect.Width); ++x) {
                    UINT32 color;
                    std::memcpy(&color, row + 4 * x, 4);
                    color = Premultiply(SwapRedAndBlue(color));
                    std::memcpy(row + 4 * x, &color, 4);
                }
            }
        }
        return S_OK;
    }

  private:
    ComPtr<IWICBitmapSource> Initialized() {
        std::lock_guard<std::mutex> guard(lock_);
        return source_;
    }

    std::mutex lock_;
    ComPtr<IWICBitmapSource> source_;  // set once, by Initialize
    Source kind_ = Source::Indexed;
};

}  // namespace

IWICFormatConverter* NewFormatConverter() {
    return new (std::nothrow) FormatConverter();
}

}  // namespace platform::imaging
