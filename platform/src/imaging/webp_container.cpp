// The WebP container through libwebp's demuxer: canvas size, frame count and durations.
// Frames are presented as the whole canvas as composed at that frame, so each is canvas-sized
// and placed at the origin.
#include <webp/demux.h>

#include <cstring>

#include "container.h"

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

  private:
    const SharedBytes bytes_;
    const UINT width_, height_;
    const std::vector<UINT32> durations_;
    const bool animated_;
    const std::vector<WICColor> noPalette_;
};

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
