// The WebP container through libwebp's demuxer: canvas size, frame count and durations.
// Frames are presented as the whole canvas as composed at that frame, so each is canvas-sized
// and placed at the origin.
//
// The pixels come from libwebp's animation decoder, which composes each frame onto the canvas
// left by the one before (a still WebP is a one-frame animation to it). Frames are handed out
// as Windows' WebP decoder hands them out: 32bppRGBA, bytes R, G, B, A with straight alpha, so
// that the module's format converter premultiplies and swaps them on the way to 32bppPBGRA.
#include <webp/demux.h>

#include <cstring>
#include <mutex>

#include "drawing/drawing.h"
#include "imaging/container.h"
#include "imaging/imaging_objects.h"

namespace platform::imaging {
namespace {

class WebPContainer final : public Container {
  public:
    WebPContainer(SharedBytes bytes, UINT width, UINT height, std::vector<UINT32> durations,
                  bool animated)
        : bytes_(std::move(bytes)),
          width_(width),
          height_(height),
          durations_(std::move(durations)),
          animated_(animated) {}

    const GUID& Format() const override { return GUID_ContainerFormatWebp; }
    UINT FrameCount() const override { return static_cast<UINT>(durations_.size()); }
    bool FrameFetchable(UINT) const override { return true; }
    void FrameSize(UINT, UINT* width, UINT* height) const override {
        *width = width_;
        *height = height_;
    }
    HRESULT ContainerMetadata(LPCWSTR, PROPVARIANT*) const override {
        return WINCODEC_ERR_PROPERTYNOTFOUND;
    }
    HRESULT FrameMetadata(UINT index, LPCWSTR path, PROPVARIANT* value) const override {
        if (animated_ && PathIs(path, "/ANMF/FrameDuration")) {
            return StoreValue({VT_UI4, durations_[index]}, value);
        }
        return WINCODEC_ERR_PROPERTYNOTFOUND;
    }
    const std::vector<WICColor>& GlobalPalette() const override { return noPalette_; }
    const GUID& PixelFormat(UINT) const override { return GUID_WICPixelFormat32bppRGBA; }
    HRESULT CopyPixels(UINT index, const WICRect& rect, UINT stride, BYTE* buffer) override {
        return CopyRows(index, rect, stride, buffer,
                        [](const BYTE* from, BYTE* to, size_t n) { std::memcpy(to, from, 4 * n); });
    }
    HRESULT CopyPremultipliedPixels(UINT index, const WICRect& rect, UINT stride,
                                    BYTE* buffer) override {
        return CopyRows(index, rect, stride, buffer, PremultiplyRgbaRow);
    }

  private:
    // The rect of the canvas as composed at the frame, each row through `copy`.
    HRESULT CopyRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer,
                     void (*copy)(const BYTE* from, BYTE* to, size_t width));

    struct AnimationDeleter {
        void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
    };

    const SharedBytes bytes_;
    const UINT width_, height_;
    const std::vector<UINT32> durations_;
    const bool animated_;
    const std::vector<WICColor> noPalette_;

    // The animation decoder's place, kept between calls so that frame N + 1 after frame N
    // costs one frame; it starts over only when a frame before the last is asked for. A worker
    // decodes frames while other threads read metadata (which needs no lock), and any thread
    // may fetch a frame, so the place has a lock of its own.
    std::mutex lock_;
    std::unique_ptr<WebPAnimDecoder, AnimationDeleter> animation_;
    UINT decoded_ = 0;  // frames composed since the last start
    uint8_t* canvas_ = nullptr;
};

// IWICBitmapSource::CopyPixels on a WebP frame: the rect of the canvas as composed at it.
HRESULT WebPContainer::CopyRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer,
                                void (*copy)(const BYTE* from, BYTE* to, size_t width)) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!animation_) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) return E_FAIL;
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        const WebPData data{bytes_->data(), bytes_->size()};
        animation_.reset(WebPAnimDecoderNew(&data, &options));
        // The demuxer took these bytes already, so what fails here is the canvas allocation.
        if (!animation_) return E_OUTOFMEMORY;
        decoded_ = 0;
    }
    if (index + 1 < decoded_) {
        WebPAnimDecoderReset(animation_.get());
        decoded_ = 0;
    }
    if (decoded_ < index + 1) drawing::DropSpareSurface();
    while (decoded_ < index + 1) {
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(animation_.get(), &canvas_, &timestamp)) {
            WebPAnimDecoderReset(animation_.get());
            decoded_ = 0;
            return WINCODEC_ERR_BADIMAGE;
        }
        ++decoded_;
    }
    const size_t canvasStride = size_t{width_} * 4;
    const uint8_t* from =
        canvas_ + canvasStride * static_cast<UINT>(rect.Y) + 4 * size_t{static_cast<UINT>(rect.X)};
    for (INT y = 0; y < rect.Height; ++y, from += canvasStride) {
        copy(from, buffer + size_t{stride} * static_cast<UINT>(y), static_cast<size_t>(rect.Width));
    }
    return S_OK;
}

}  // namespace

std::unique_ptr<Container> OpenWebP(const SharedBytes& bytes) {
    if (bytes->size() < 12 || std::memcmp(bytes->data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes->data() + 8, "WEBP", 4) != 0) {
        return nullptr;
    }
    const WebPData data{bytes->data(), bytes->size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (!demux) return nullptr;
    const UINT width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    const UINT height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    const UINT count = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
    const bool animated = (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    std::vector<UINT32> durations;
    durations.reserve(count);
    WebPIterator frame;
    if (WebPDemuxGetFrame(demux, 1, &frame)) {
        do {
            durations.push_back(static_cast<UINT32>(frame.duration));
        } while (WebPDemuxNextFrame(&frame));
        WebPDemuxReleaseIterator(&frame);
    }
    WebPDemuxDelete(demux);
    return std::make_unique<WebPContainer>(bytes, width, height, std::move(durations), animated);
}

}  // namespace platform::imaging
