// A decoder that answers as the one it wraps, except that fetching one chosen frame fails or
// throws (a composition failure, or an exception, in the middle of playback), or first runs
// a test's function (something happening at that moment of a walk over the frames).
#pragma once

#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <utility>

class FaultyDecoder final : public IWICBitmapDecoder {
  public:
    enum class Fault { Fail, Throw, Call };

    // Takes the viewer's place for `decoder`, which it holds from now on. With Fault::Call,
    // every fetch of the frame first runs `call` on the fetching thread, then succeeds.
    static void Install(IWICBitmapDecoder*& decoder, UINT faultyFrame, Fault fault,
                        std::function<void()> call = {}) {
        auto* faulty = new FaultyDecoder(decoder, faultyFrame, fault, std::move(call));
        decoder->Release();
        decoder = faulty;
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
            if (fault_ != Fault::Call) return WINCODEC_ERR_BADIMAGE;
            call_();
        }
        return inner_->GetFrame(index, frame);
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
    FaultyDecoder(IWICBitmapDecoder* inner, UINT faultyFrame, Fault fault,
                  std::function<void()> call)
        : inner_(inner), faultyFrame_(faultyFrame), fault_(fault), call_(std::move(call)) {}
    ~FaultyDecoder() = default;

    Microsoft::WRL::ComPtr<IWICBitmapDecoder> inner_;
    const UINT faultyFrame_;
    const Fault fault_;
    const std::function<void()> call_;
    std::atomic<ULONG> references_{1};
};
