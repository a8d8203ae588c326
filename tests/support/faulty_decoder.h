// A decoder that answers as the one it wraps, except that fetching one chosen frame fails or
// throws (a composition failure, or an exception, in the middle of playback), first runs a
// test's function (something happening at that moment of a walk over the frames), or gives a
// frame whose metadata reader lacks one item or answers it with a value of another type.
#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

class FaultyDecoder final : public IWICBitmapDecoder {
  public:
    enum class Fault { Fail, Throw, Call, MissingItem, OtherType };

    // Takes the viewer's place for `decoder`, which it holds from now on. With Fault::Call,
    // every fetch of the frame first runs `call` on the fetching thread, then succeeds.
    static void Install(IWICBitmapDecoder*& decoder, UINT faultyFrame, Fault fault,
                        std::function<void()> call = {}) {
        auto* faulty = new FaultyDecoder(decoder, faultyFrame, fault, std::move(call));
        decoder->Release();
        decoder = faulty;
    }
    // Fault::MissingItem or Fault::OtherType: the frame's reader answers the query `item` with
    // a failure, or with a 32-bit signed value of 7 (a type no query of the module asks for).
    static void Install(IWICBitmapDecoder*& decoder, UINT faultyFrame, Fault fault, LPCWSTR item) {
        Install(decoder, faultyFrame, fault);
        static_cast<FaultyDecoder*>(decoder)->itemFault_ = {item, fault == Fault::OtherType};
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWICBitmapDecoder)) {
            AddRef();
            *object = static_cast<IWICBitmapDecoder*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
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
            if (fault_ == Fault::Throw) throw std::runtime_error("a decoder that throws");
            if (fault_ == Fault::Fail) return WINCODEC_ERR_BADIMAGE;
            if (fault_ == Fault::Call) call_();
        }
        const HRESULT hr = inner_->GetFrame(index, frame);
        if (SUCCEEDED(hr) && index == faultyFrame_ && !itemFault_.item.empty()) {
            *frame = new FaultyFrame(*frame, itemFault_);
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
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts,
                                               UINT* actual) override {
        return inner_->GetColorContexts(count, contexts, actual);
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override {
        return inner_->GetThumbnail(thumbnail);
    }
#endif

  private:
    // What a faulty frame's reader does with its one item: fail it, or answer another type.
    struct ItemFault {
        std::basic_string<WCHAR> item;
        bool otherType = false;
    };

    // Forwards to `inner`, whose reference it takes over, and counts its own references.
    template <typename Interface>
    class Wrapper : public Interface {
      public:
        Wrapper(Interface* inner, const ItemFault& fault) : fault_(fault) { inner_.Attach(inner); }
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

    class FaultyReader final : public Wrapper<IWICMetadataQueryReader> {
      public:
        using Wrapper::Wrapper;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
            return Answer(iid, object, {&IID_IUnknown, &IID_IWICMetadataQueryReader});
        }
        HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
            return inner_->GetContainerFormat(format);
        }
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

    class FaultyFrame final : public Wrapper<IWICBitmapFrameDecode> {
      public:
        using Wrapper::Wrapper;
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
        HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override {
            return inner_->GetResolution(dpiX, dpiY);
        }
        HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
            return inner_->CopyPalette(palette);
        }
        HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                             BYTE* pixels) override {
            return inner_->CopyPixels(rect, stride, size, pixels);
        }
        HRESULT STDMETHODCALLTYPE
        GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
            if (!reader) return E_POINTER;
            IWICMetadataQueryReader* inner = nullptr;
            const HRESULT hr = inner_->GetMetadataQueryReader(&inner);
            if (FAILED(hr)) return hr;
            *reader = new FaultyReader(inner, fault_);
            return S_OK;
        }
#if defined(_WIN32)
        HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts,
                                                   UINT* actual) override {
            return inner_->GetColorContexts(count, contexts, actual);
        }
        HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override {
            return inner_->GetThumbnail(thumbnail);
        }
#endif
    };

    FaultyDecoder(IWICBitmapDecoder* inner, UINT faultyFrame, Fault fault,
                  std::function<void()> call)
        : inner_(inner), faultyFrame_(faultyFrame), fault_(fault), call_(std::move(call)) {}
    ~FaultyDecoder() = default;

    Microsoft::WRL::ComPtr<IWICBitmapDecoder> inner_;
    const UINT faultyFrame_;
    const Fault fault_;
    const std::function<void()> call_;
    ItemFault itemFault_;
    std::atomic<ULONG> references_{1};
};
