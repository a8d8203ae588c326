// The WebP container through libwebp's demuxer: canvas size, frame count and durations.
// Frames are presented as the whole canvas as composed at that frame, so each is canvas-sized
// and placed at the origin.
//
// The pixels are composed on one canvas (webp_canvas.h), each frame onto the canvas left by the
// one before (a still WebP is a one-frame animation to it). Frames are handed out as Windows'
// WebP decoder hands them out: 32bppRGBA, bytes R, G, B, A with straight alpha, so that the
// module's format converter premultiplies and swaps them on the way to 32bppPBGRA.
#include <webp/demux.h>

#include <cstring>
#include <mutex>

#include "drawing/drawing.h"
#include "imaging/container.h"
#include "imaging/imaging_objects.h"
#include "imaging/webp_canvas.h"

namespace platform::imaging {
namespace {

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
using Demuxer = std::unique_ptr<WebPDemuxer, DemuxerDeleter>;

class WebPContainer final : public Container {
  public:
    // The demuxer reads `bytes`, which the container keeps.
    WebPContainer(SharedBytes bytes, Demuxer demux, std::vector<UINT32> durations)
        : bytes_(std::move(bytes)),
          demux_(std::move(demux)),
          width_(WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_WIDTH)),
          height_(WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_HEIGHT)),
          durations_(std::move(durations)),
          animated_((WebPDemuxGetI(demux_.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0),
          canvas_(demux_.get()) {}

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
        return CopyRows(index, rect, stride, buffer, [](const BYTE* from, BYTE* to, size_t n) {
            std::memcpy(to, from, 4 * n);
            return false;
        });
    }
    HRESULT CopyPremultipliedPixels(UINT index, const WICRect& rect, UINT stride, BYTE* buffer,
                                    bool* opaque) override {
        return CopyRows(index, rect, stride, buffer, PremultiplyRgbaRow, opaque);
    }
    HRESULT PreparePixels(UINT index) override {
        std::lock_guard<std::mutex> guard(lock_);
        return Compose(index);
    }

  private:
    HRESULT Compose(UINT index);
    // The rect of the canvas as composed at the frame, each row through `copy`, which answers
    // whether the row is opaque (false: not known); *opaque, where given, whether all were.
    HRESULT CopyRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer,
                     bool (*copy)(const BYTE* from, BYTE* to, size_t width),
                     bool* opaque = nullptr);

    const SharedBytes bytes_;
    const Demuxer demux_;
    const UINT width_, height_;
    const std::vector<UINT32> durations_;
    const bool animated_;
    const std::vector<WICColor> noPalette_;

    // The canvas keeps its place between calls, so that frame N + 1 after frame N costs one
    // frame. A worker decodes frames while other threads read metadata (which needs no lock),
    // and any thread may fetch a frame, so the canvas has a lock of its own.
    std::mutex lock_;
    WebPCanvas canvas_;
};

// The canvas as composed at frame `index`, with `lock_` held. The drawing spare goes before
// libwebp decodes: its working memory is up to a frame's worth.
HRESULT WebPContainer::Compose(UINT index) {
    if (canvas_.Holds(index)) return S_OK;
    drawing::DropSpareSurface();
    return canvas_.ComposeTo(index);
}

// IWICBitmapSource::CopyPixels on a WebP frame: the rect of the canvas as composed at it.
HRESULT WebPContainer::CopyRows(UINT index, const WICRect& rect, UINT stride, BYTE* buffer,
                                bool (*copy)(const BYTE* from, BYTE* to, size_t width),
                                bool* opaque) {
    std::lock_guard<std::mutex> guard(lock_);
    if (HRESULT hr = Compose(index); FAILED(hr)) return hr;
    const size_t canvasStride = size_t{width_} * 4;
    const uint8_t* from = canvas_.pixels() + canvasStride * static_cast<UINT>(rect.Y) +
                          4 * size_t{static_cast<UINT>(rect.X)};
    bool allOpaque = true;
    for (INT y = 0; y < rect.Height; ++y, from += canvasStride) {
        allOpaque &= copy(from, buffer + size_t{stride} * static_cast<UINT>(y),
                          static_cast<size_t>(rect.Width));
    }
    if (opaque) *opaque = allOpaque;
    return S_OK;
}

}  // namespace

std::unique_ptr<Container> OpenWebP(const SharedBytes& bytes) {
    if (bytes->size() < 12 || std::memcmp(bytes->data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes->data() + 8, "WEBP", 4) != 0) {
        return nullptr;
    }
    const WebPData data{bytes->data(), bytes->size()};
    Demuxer demux(WebPDemux(&data));
    if (!demux) return nullptr;
    std::vector<UINT32> durations;
    durations.reserve(WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT));
    WebPIterator frame;
    if (WebPDemuxGetFrame(demux.get(), 1, &frame)) {
        do {
            durations.push_back(static_cast<UINT32>(frame.duration));
        } while (WebPDemuxNextFrame(&frame));
        WebPDemuxReleaseIterator(&frame);
    }
    return std::make_unique<WebPContainer>(bytes, std::move(demux), std::move(durations));
}

}  // namespace platform::imaging
