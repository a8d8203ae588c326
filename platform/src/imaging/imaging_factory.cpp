// The imaging factory: picks the container decoder by the stream's signature, as the
// Windows imaging component does, and makes palettes.
#include <new>

#include "imaging/imaging_objects.h"

namespace platform::imaging {

HRESULT ImagingFactory::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object, {{&IID_IWICImagingFactory, this}});
}

HRESULT ImagingFactory::CreateDecoderFromStream(IStream* stream, const GUID* /*vendor*/,
                                                WICDecodeOptions /*options*/,
                                                IWICBitmapDecoder** decoder) {
    if (!stream || !decoder) return E_INVALIDARG;
    *decoder = nullptr;
    // Every container's metadata is read when the decoder is created, whatever the option.
    SharedBytes bytes = ReadWholeStream(stream);
    if (!bytes) return WINCODEC_ERR_STREAMREAD;
    std::unique_ptr<Container> container;
    try {
        container = OpenGif(bytes);
        if (!container) container = OpenWebP(bytes);
        if (!container) container = OpenStill(bytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!container) return WINCODEC_ERR_COMPONENTNOTFOUND;
    auto state = std::make_shared<DecoderState>();
    state->container = std::move(container);
    state->stream = stream;
    *decoder = new BitmapDecoder(std::move(state));
    return S_OK;
}

// IWICImagingFactory::CreateFormatConverter: an uninitialised converter.
HRESULT ImagingFactory::CreateFormatConverter(IWICFormatConverter** converter) {
    if (!converter) return E_INVALIDARG;
    *converter = NewFormatConverter();
    return *converter ? S_OK : E_OUTOFMEMORY;
}

HRESULT ImagingFactory::CreatePalette(IWICPalette** palette) {
    if (!palette) return E_INVALIDARG;
    *palette = new (std::nothrow) Palette();
    return *palette ? S_OK : E_OUTOFMEMORY;
}

HRESULT Palette::QueryInterface(REFIID iid, void** object) {
    return Answer(iid, object, {{&IID_IWICPalette, this}});
}

HRESULT Palette::InitializeCustom(WICColor* colors, UINT count) {
    if (!colors && count) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(lock_);
    colors_.assign(colors, colors + count);
    initialized_ = true;
    return S_OK;
}

// Copies up to `count` colours and says how many it gave, as IWICPalette::GetColors does.
HRESULT Palette::GetColors(UINT count, WICColor* colors, UINT* actual) {
    if (!colors || !actual) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(lock_);
    if (!initialized_) return WINCODEC_ERR_NOTINITIALIZED;
    const UINT given = std::min<UINT>(count, static_cast<UINT>(colors_.size()));
    std::copy(colors_.begin(), colors_.begin() + given, colors);
    *actual = given;
    return S_OK;
}

}  // namespace platform::imaging
