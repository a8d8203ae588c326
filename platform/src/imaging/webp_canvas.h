// A WebP animation composed on one canvas, frame after frame, to the same bytes as libwebp's
// animation decoder gives (straight RGBA), without its second canvas and its two copies of the
// canvas a frame: the canvas keeps the frame last composed, and the previous frame's disposal
// is applied to it when the next one is composed. A frame that replaces what it covers is
// decoded straight onto the canvas; one that blends goes through a buffer of its own size.
#pragma once

#include <wincodec.h>
#include <webp/demux.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace platform::imaging {

class WebPCanvas {
  public:
    // The demuxer outlives the canvas. No memory is taken until the first frame is composed.
    explicit WebPCanvas(const WebPDemuxer* demux);
    ~WebPCanvas();
    WebPCanvas(const WebPCanvas&) = delete;
    WebPCanvas& operator=(const WebPCanvas&) = delete;

    // Composes frame `index` (from 0): after frame index - 1 it costs that one frame, an
    // earlier frame starts over from the first. WINCODEC_ERR_BADIMAGE for a frame that does not
    // decode, after which the next call starts over; E_OUTOFMEMORY without a canvas.
    HRESULT ComposeTo(UINT index);
    // True when frame `index` is the one on the canvas.
    bool Holds(UINT index) const { return canvas_ && composed_ == index + 1; }

    // The canvas as composed at the frame last composed: R, G, B, A bytes, straight alpha,
    // 4 * width bytes a row.
    const uint8_t* pixels() const { return canvas_.get(); }

  private:
    HRESULT ComposeNext();
    bool DecodeInto(const WebPIterator& frame, uint8_t* rgba, int stride);

    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    const WebPDemuxer* const demux_;
    const UINT width_, height_;
    std::unique_ptr<uint8_t, Free> canvas_;
    UINT composed_ = 0;        // frames composed since the last start
    WebPIterator previous_{};  // the frame last composed, its disposal not yet applied
    bool previousWasKey_ = false;
};

}  // namespace platform::imaging
