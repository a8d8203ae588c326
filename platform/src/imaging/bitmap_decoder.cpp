// The container decoder, its frames and their metadata query readers. The index is fixed once
// the decoder exists, so the metadata calls need no lock and are safe from any thread.
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/imaging_objects.h"

namespace platform::imaging {
namespace {

// A query reader over one metadata block: the container's, or frame `index`'s.
class QueryReader final : public ComObject<IWICMetadataQueryReader> {
  public:
    static constexpr UINT kContainer = ~0u;

    QueryReader(std::shared_ptr<DecoderState> state, UINT index)
        : state_(std::move(state)), index_(index) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object, {{&IID_IWICMetadataQueryReader, this}});
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        if (!format) return E_INVALIDARG;
        *format = state_->container->Format();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMetadataByName(LPCWSTR name, PROPVARIANT* value) override {
        if (!name) return E_INVALIDARG;
        const Container& container = *state_->container;
        // Windows answers a query without a value holder with whether the item exists.
        PROPVARIANT scratch{};  // VT_EMPTY: a query that finds nothing leaves it so
        PROPVARIANT* out = value ? value : &scratch;
        HRESULT hr = index_ == kContainer ? container.ContainerMetadata(name, out)
                                          : container.FrameMetadata(index_, name, out);
        if (!value) PropVariantClear(&scratch);
        return hr;
    }

  private:
    const std::shared_ptr<DecoderState> state_;
    const UINT index_;
};

class FrameDecode final : public ComObject<IWICBitmapFrameDecode>, public PremultipliedSource {
  public:
    FrameDecode(std::shared_ptr<DecoderState> state, UINT index)
        : state_(std::move(state)), index_(index) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object,
                      {{&IID_IWICBitmapFrameDecode, static_cast<IWICBitmapFrameDecode*>(this)},
                       {&IID_IWICBitmapSource, static_cast<IWICBitmapSource*>(this)}});
    }
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        if (!width || !height) return E_INVALIDARG;
        state_->container->FrameSize(index_, width, height);
        return S_OK;
    }
    // GIF frames are 8bpp indexed and WebP frames 32bppRGBA, as Windows decodes them.
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (!format) return E_INVALIDARG;
        *format = state_->container->PixelFormat(index_);
        return S_OK;
    }
    // The frame's own palette into any IWICPalette; PALETTEUNAVAILABLE for a frame without.
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
        if (!palette) return E_INVALIDARG;
        std::vector<WICColor> colors;
        HRESULT hr;
        try {
            hr = state_->container->FramePalette(index_, &colors);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        if (FAILED(hr)) return hr;
        return palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size()));
    }
    // The frame's pixels in its own format, after the checks Windows makes.
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize,
                                         BYTE* buffer) override {
        Container& container = *state_->container;
        UINT width = 0, height = 0;
        container.FrameSize(index_, &width, &height);
        const UINT bytesPerPixel =
            IsEqualGUID(container.PixelFormat(index_), GUID_WICPixelFormat8bppIndexed) ? 1 : 4;
        WICRect rect;
        HRESULT hr = CheckCopyArguments(prc, width, height, bytesPerPixel, stride, bufferSize,
                                        buffer, &rect);
        if (FAILED(hr) || rect.Width == 0 || rect.Height == 0) return hr;
        try {
            return container.CopyPixels(index_, rect, stride, buffer);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    // For the format converter: the rect converted by the container where it can.
    HRESULT CopyPremultiplied(const WICRect& rect, UINT stride, BYTE* buffer,
                              bool* opaque) override {
        try {
            return state_->container->CopyPremultipliedPixels(index_, rect, stride, buffer, opaque);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT PreparePixels() override {
        try {
            return state_->container->PreparePixels(index_);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
        if (!reader) return E_INVALIDARG;
        *reader = new (std::nothrow) QueryReader(state_, index_);
        return *reader ? S_OK : E_OUTOFMEMORY;
    }

  private:
    const std::shared_ptr<DecoderState> state_;
    const UINT index_;
};

}  // namespace

HRESULT CheckCopyArguments(const WICRect* prc, UINT width, UINT height, UINT bytesPerPixel,
                           UINT stride, UINT bufferSize, const BYTE* buffer, WICRect* rect) {
    if (!buffer) return E_INVALIDARG;
    if (prc) {
        const INT64 right = INT64{prc->X} + prc->Width, bottom = INT64{prc->Y} + prc->Height;
        if (prc->X < 0 || prc->Y < 0 || prc->Width < 0 || prc->Height < 0 || right > width ||
            bottom > height) {
            return E_INVALIDARG;
        }
        *rect = *prc;
    } else {
        // Only a still format's header can name a size that a WICRect cannot hold.
        if (width > INT32_MAX || height > INT32_MAX) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
        *rect = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    }
    const UINT64 row = UINT64{bytesPerPixel} * static_cast<UINT>(rect->Width);
    if (stride < row) return E_INVALIDARG;
    if (rect->Height > 0 &&
        UINT64{stride} * static_cast<UINT>(rect->Height - 1) + row > bufferSize) {
        return WINCODEC_ERR_INSUFFICIENTBUFFER;
    }
    return S_OK;
}

HRESULT BitmapDecoder::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object, {{&IID_IWICBitmapDecoder, this}});
}

HRESULT BitmapDecoder::GetContainerFormat(GUID* format) {
    if (!format) return E_INVALIDARG;
    *format = state_->container->Format();
    return S_OK;
}

// The global colour table into any IWICPalette; PALETTEUNAVAILABLE for a file without one.
HRESULT BitmapDecoder::CopyPalette(IWICPalette* palette) {
    if (!palette) return E_INVALIDARG;
    std::vector<WICColor> colors;
    try {
        colors = state_->container->GlobalPalette();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (colors.empty()) return WINCODEC_ERR_PALETTEUNAVAILABLE;
    return palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size()));
}

HRESULT BitmapDecoder::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
    if (!reader) return E_INVALIDARG;
    *reader = nullptr;
    if (!state_->container->HasContainerReader()) return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    *reader = new (std::nothrow) QueryReader(state_, QueryReader::kContainer);
    return *reader ? S_OK : E_OUTOFMEMORY;
}

HRESULT BitmapDecoder::GetFrameCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = state_->container->FrameCount();
    return S_OK;
}

HRESULT BitmapDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
    if (!frame) return E_INVALIDARG;
    *frame = nullptr;
    const Container& container = *state_->container;
    if (index >= container.FrameCount()) return E_INVALIDARG;
    if (!container.FrameFetchable(index)) return WINCODEC_ERR_BADIMAGE;
    *frame = new (std::nothrow) FrameDecode(state_, index);
    return *frame ? S_OK : E_OUTOFMEMORY;
}

}  // namespace platform::imaging
