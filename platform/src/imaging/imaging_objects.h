// The stand-in imaging component's COM objects.
#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <memory>
#include <mutex>

#include "com/com_object.h"
#include "imaging/container.h"

namespace platform::imaging {

// The argument checks of IWICBitmapSource::CopyPixels, in Windows' order and with its results:
// a null buffer, a rect outside the source or a stride shorter than a row is E_INVALIDARG, a
// buffer that cannot hold the rect's rows WINCODEC_ERR_INSUFFICIENTBUFFER. A null `prc` is the
// whole source; *rect is the rect to copy.
HRESULT CheckCopyArguments(const WICRect* prc, UINT width, UINT height, UINT bytesPerPixel,
                           UINT stride, UINT bufferSize, const BYTE* buffer, WICRect* rect);

// Straight RGBA bytes to premultiplied BGRA, `width` pixels from `from` to `to` (the same row,
// or rows that do not overlap). True when every pixel is opaque.
bool PremultiplyRgbaRow(const BYTE* from, BYTE* to, size_t width);

// A frame of the stand-in's own whose converted pixels its container can give straight, which
// the format converter asks before reading the frame's own format (see
// Container::CopyPremultipliedPixels), and which may decode ahead of the copy
// (Container::PreparePixels). `rect` has been checked against the frame.
class PremultipliedSource {
  public:
    virtual HRESULT CopyPremultiplied(const WICRect& rect, UINT stride, BYTE* buffer,
                                      bool* opaque) = 0;
    virtual HRESULT PreparePixels() = 0;

  protected:
    ~PremultipliedSource() = default;
};

class Palette final : public ComObject<IWICPalette> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE InitializeCustom(WICColor* colors, UINT count) override;
    HRESULT STDMETHODCALLTYPE GetColors(UINT count, WICColor* colors, UINT* actual) override;

  private:
    std::mutex lock_;
    std::vector<WICColor> colors_;
    bool initialized_ = false;
};

// What the decoder, its frames and its readers share, and what outlives the factory: the
// bytes, the index and the stream (held as Windows' decoders hold theirs).
struct DecoderState {
    std::unique_ptr<Container> container;
    Microsoft::WRL::ComPtr<IStream> stream;
};

class BitmapDecoder final : public ComObject<IWICBitmapDecoder> {
  public:
    explicit BitmapDecoder(std::shared_ptr<DecoderState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

  private:
    const std::shared_ptr<DecoderState> state_;
};

class ImagingFactory final : public ComObject<IWICImagingFactory> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateDecoderFromStream(IStream* stream, const GUID* vendor,
                                                      WICDecodeOptions options,
                                                      IWICBitmapDecoder** decoder) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(IWICPalette** palette) override;
    HRESULT STDMETHODCALLTYPE CreateFormatConverter(IWICFormatConverter** converter) override;
};

// Made by the factory, but holds nothing of it: a converter outlives the factory it came from.
IWICFormatConverter* NewFormatConverter();

}  // namespace platform::imaging
