// A decoder that answers as the one it wraps, except that fetching one chosen frame fails or
// throws (a composition failure, or an exception, in the middle of playback), first runs a
// test's function (something happening at that moment of a walk over the frames), or gives a
// frame whose metadata reader lacks one item or answers it with a value of another type.
#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

namespace faulty_decoder_detail {

// What a faulty frame's reader does with its one item (none when empty): fail it, or answer
// it with another type.
struct ItemFault {
    std::basic_string<WCHAR> item;
    bool otherType = false;
};

// Passes calls on to `inner`, whose reference it takes over, and counts its own references.
template <typename Interface>
class Wrapper : public Interface {
  public:
    Wrapper(Interface* inner, ItemFault fault) : fault_(std::move(fault)) { inner_.Attach(inner); }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~Wrapper() = default;
    HRESULT Answer(REFIID iid, void** object, std::initializer_list<const IID*> iids) {
        if (!object) return E_POINTER;
        for (const IID* known : iids) {
            if (IsEqualGUID(iid, *known)) {
                AddRef();
                *object = static_cast<Interface*>(this);
                return S_OK;
            }
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    Microsoft::WRL::ComPtr<Interface> inner_;
    const ItemFault fault_;

  private:
    std::atomic<ULONG> references_{1};
};

// Windows' decoders and frames both offer colour contexts and a thumbnail, and its frames a
// resolution, which the stand-in leaves out: passed on as they are.
template <typename Interface>
class ImageWrapper : public Wrapper<Interface> {
  public:
    using Wrapper<Interface>::Wrapper;
#if defined(_WIN32)
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts,
                                               UINT* actual) override {
        return this->inner_->GetColorContexts(count, contexts, actual);
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override {
        return this->inner_->GetThumbnail(thumbnail);
    }
#endif
};

class FaultyReader final : public Wrapper<IWICMetadataQueryReader> {
  public:
    using Wrapper::Wrapper;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object, {&IID_IUnknown, &IID_IWICMetadataQueryReader});
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        return inner_->GetContainerFormat(format);
    }
    // The one item fails, or comes as a 32-bit signed 7: a type no query of the module asks for.
    HRESULT STDMETHODCALLTYPE GetMetadataByName(LPCWSTR name, PROPVARIANT* value) override {
        if (!name || fault_.item != name) return inner_->GetMetadataByName(name, value);
        if (!fault_.otherType) return WINCODEC_ERR_PROPERTYNOTFOUND;
        PropVariantInit(value);
        value->vt = VT_I4;
        value->lVal = 7;
        return S_OK;
    }
#if defined(_WIN32)
    HRESULT STDMETHODCALLTYPE GetLocation(UINT length, WCHAR* location, UINT* actual) override {
        return inner_->GetLocation(length, location, actual);
    }
    HRESULT STDMETHODCALLTYPE GetEnumerator(IEnumString** names) override {
        return inner_->GetEnumerator(names);
    }
#endif
};

class FaultyFrame final : public ImageWrapper<IWICBitmapFrameDecode> {
  public:
    using ImageWrapper::ImageWrapper;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object,
                      {&IID_IUnknown, &IID_IWICBitmapSource, &IID_IWICBitmapFrameDecode});
    }
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        return inner_->GetSize(width, height);
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        return inner_->GetPixelFormat(format);
    }
#if defined(_WIN32)
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
        return inner_->GetResolution(dpiX, dpiY);
    }
#endif
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
        return inner_->CopyPalette(palette);
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                         BYTE* pixels) override {
        return inner_->CopyPixels(rect, stride, size, pixels);
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
        if (!reader) return E_POINTER;
        IWICMetadataQueryReader* inner = nullptr;
        const HRESULT hr = inner_->GetMetadataQueryReader(&inner);
        if (FAILED(hr)) return hr;
        *reader = new FaultyReader(inner, fault_);
        return S_OK;
    }
};

}  // namespace faulty_decoder_detail

class FaultyDecoder final : public faulty_decoder_detail::ImageWrapper<IWICBitmapDecoder> {
  public:
    enum class Fault { Fail, Throw, Call, MissingItem, OtherType };

    // Takes the viewer's place for `decoder`, and its reference. With Fault::Call, every fetch
    // of the frame first runs `call` on the fetching thread, then succeeds.
    static void Install(IWICBitmapDecoder*& decoder, UINT faultyFrame, Fault fault,
                        std::function<void()> call = {}) {
        decoder = new FaultyDecoder(decoder, faultyFrame, fault, std::move(call), {});
    }
    // Fault::MissingItem or Fault::OtherType: the frame's reader answers the query `item` with
    // a failure, or with a value of another type.
    static void Install(IWICBitmapDecoder*& decoder, UINT faultyFrame, Fault fault, LPCWSTR item) {
        decoder =
            new FaultyDecoder(decoder, faultyFrame, fault, {}, {item, fault == Fault::OtherType});
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object, {&IID_IUnknown, &IID_IWICBitmapDecoder});
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        return inner_->GetContainerFormat(format);
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
        return inner_->CopyPalette(palette);
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
        return inner_->GetMetadataQueryReader(reader);
    }
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override {
        return inner_->GetFrameCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override {
        if (index == faultyFrame_) {
            if (kind_ == Fault::Throw) throw std::runtime_error("a decoder that throws");
            if (kind_ == Fault::Fail) return WINCODEC_ERR_BADIMAGE;
            if (kind_ == Fault::Call) call_();
        }
        const HRESULT hr = inner_->GetFrame(index, frame);
        if (SUCCEEDED(hr) && index == faultyFrame_ && !fault_.item.empty()) {
            *frame = new faulty_decoder_detail::FaultyFrame(*frame, fault_);
        }
        return hr;
    }
#if defined(_WIN32)
    HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override {
        return inner_->QueryCapability(stream, capability);
    }
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions options) override {
        return inner_->Initialize(stream, options);
    }
    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override {
        return inner_->GetDecoderInfo(info);
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override {
        return inner_->GetPreview(preview);
    }
#endif

  private:
    FaultyDecoder(IWICBitmapDecoder* inner, UINT faultyFrame, Fault kind,
                  std::function<void()> call, faulty_decoder_detail::ItemFault fault)
        : ImageWrapper(inner, std::move(fault)),
          faultyFrame_(faultyFrame),
          kind_(kind),
          call_(std::move(call)) {}

    const UINT faultyFrame_;
    const Fault kind_;
    const std::function<void()> call_;
};
