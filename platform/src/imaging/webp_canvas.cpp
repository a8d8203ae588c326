// The composition rules are libwebp's animation decoder's (src/demux/anim_decode.c), which
// Windows' WebP decoder follows too: which frame starts afresh on a cleared canvas, which
// pixels blend, and its integer blend of straight-alpha colours.
#include "imaging/webp_canvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::imaging {
namespace {

constexpr size_t kPixelBytes = 4;

bool CoversCanvas(const WebPIterator& frame, UINT width, UINT height) {
    return static_cast<UINT>(frame.width) == width && static_cast<UINT>(frame.height) == height;
}

// A frame that owes nothing to the canvas before it, which is cleared instead: the first, one
// that covers the canvas and draws every pixel as it is, and one that follows a frame whose
// disposal left nothing of what came before.
bool IsKeyFrame(const WebPIterator& frame, const WebPIterator& previous, bool previousWasKey,
                UINT width, UINT height) {
    if (frame.frame_num == 1) return true;
    if ((!frame.has_alpha || frame.blend_method == WEBP_MUX_NO_BLEND) &&
        CoversCanvas(frame, width, height)) {
        return true;
    }
    return previous.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND &&
           (CoversCanvas(previous, width, height) || previousWasKey);
}

// `over` (straight alpha, bytes R, G, B, A as a little-endian word) over `under`, in libwebp's
// integer arithmetic: under's alpha weighted by (256 - a) / 256, each channel the weighted sum
// times 2^24 / (resulting alpha), truncated.
uint32_t BlendStraight(uint32_t over, uint32_t under) {
    const uint32_t overAlpha = over >> 24;
    if (overAlpha == 0) return under;
    const uint32_t underWeight = ((under >> 24) * (256 - overAlpha)) >> 8;
    const uint32_t alpha = overAlpha + underWeight;
    const uint32_t scale = (1u << 24) / alpha;
    uint32_t out = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sum =
            ((over >> shift) & 0xFF) * overAlpha + ((under >> shift) & 0xFF) * underWeight;
        out |= ((sum * scale) >> 24) << shift;
    }
    return out;
}

// Blends the `count` pixels of `row` that are not opaque over those of `canvas` below them;
// opaque pixels stay as they are.
void BlendRow(uint8_t* row, const uint8_t* canvas, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t over, under;
        std::memcpy(&over, row + kPixelBytes * i, 4);
        if (over >> 24 == 0xFF) continue;
        std::memcpy(&under, canvas + kPixelBytes * i, 4);
        over = BlendStraight(over, under);
        std::memcpy(row + kPixelBytes * i, &over, 4);
    }
}

}  // namespace

WebPCanvas::WebPCanvas(const WebPDemuxer* demux)
    : demux_(demux),
      width_(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH)),
      height_(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT)) {}

WebPCanvas::~WebPCanvas() = default;

HRESULT WebPCanvas::ComposeTo(UINT index) {
    if (!canvas_) {
        // Zeroed pages cost nothing until the first frame writes them.
        canvas_.reset(static_cast<uint8_t*>(std::calloc(size_t{width_} * height_, kPixelBytes)));
        if (!canvas_) return E_OUTOFMEMORY;
        composed_ = 0;
    }
    if (index + 1 < composed_) composed_ = 0;
    while (composed_ < index + 1) {
        if (HRESULT hr = ComposeNext(); FAILED(hr)) {
            composed_ = 0;
            return hr;
        }
    }
    return S_OK;
}

// Frame `composed_` onto the canvas as the frame before it left it.
HRESULT WebPCanvas::ComposeNext() {
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux_, static_cast<int>(composed_) + 1, &frame)) {
        return WINCODEC_ERR_BADIMAGE;
    }
    struct Release {
        WebPIterator* frame;
        ~Release() { WebPDemuxReleaseIterator(frame); }
    } release{&frame};
    // The demuxer keeps frames inside the canvas; a frame past it is refused all the same.
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
        static_cast<UINT>(frame.x_offset + frame.width) > width_ ||
        static_cast<UINT>(frame.y_offset + frame.height) > height_) {
        return WINCODEC_ERR_BADIMAGE;
    }

    const size_t stride = kPixelBytes * width_;
    uint8_t* const canvas = canvas_.get();
    auto clear = [&](const WebPIterator& rect) {
        for (int y = 0; y < rect.height; ++y) {
            std::memset(canvas + stride * static_cast<size_t>(rect.y_offset + y) +
                            kPixelBytes * static_cast<size_t>(rect.x_offset),
                        0, kPixelBytes * static_cast<size_t>(rect.width));
        }
    };
    const bool first = composed_ == 0;
    const bool key = IsKeyFrame(frame, previous_, !first && previousWasKey_, width_, height_);
    if (key) {
        // A frame over the whole canvas writes every pixel itself.
        if (!CoversCanvas(frame, width_, height_)) std::memset(canvas, 0, stride * height_);
    } else if (previous_.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND) {
        clear(previous_);
    }

    uint8_t* const origin = canvas + stride * static_cast<size_t>(frame.y_offset) +
                            kPixelBytes * static_cast<size_t>(frame.x_offset);
    if (key || frame.blend_method == WEBP_MUX_NO_BLEND) {
        if (!DecodeInto(frame, origin, static_cast<int>(stride))) return WINCODEC_ERR_BADIMAGE;
    } else {
        const size_t rowBytes = kPixelBytes * static_cast<size_t>(frame.width);
        std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(frame.height));
        if (!DecodeInto(frame, rows.data(), static_cast<int>(rowBytes))) {
            return WINCODEC_ERR_BADIMAGE;
        }
        // After a frame disposed to the background, what lies inside its rectangle is not
        // blended but taken as decoded (libwebp's FindBlendRangeAtRow).
        const bool skipPrevious = previous_.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
        const int left = frame.x_offset, right = frame.x_offset + frame.width;
        const int previousLeft = previous_.x_offset;
        const int previousRight = previous_.x_offset + previous_.width;
        for (int y = 0; y < frame.height; ++y) {
            uint8_t* row = rows.data() + rowBytes * static_cast<size_t>(y);
            uint8_t* under = origin + stride * static_cast<size_t>(y);
            const int canvasY = frame.y_offset + y;
            const bool overlaps = skipPrevious && canvasY >= previous_.y_offset &&
                                  canvasY < previous_.y_offset + previous_.height &&
                                  left < previousRight && previousLeft < right;
            if (!overlaps) {
                BlendRow(row, under, frame.width);
            } else {
                if (left < previousLeft) BlendRow(row, under, previousLeft - left);
                if (right > previousRight) {
                    const int skip = previousRight - left;
                    BlendRow(row + kPixelBytes * skip, under + kPixelBytes * skip,
                             right - previousRight);
                }
            }
            std::memcpy(under, row, rowBytes);
        }
    }
    previous_ = frame;
    previousWasKey_ = key;
    ++composed_;
    return S_OK;
}

// The frame's pixels decoded to straight RGBA at `rgba`, a row every `stride` bytes.
bool WebPCanvas::DecodeInto(const WebPIterator& frame, uint8_t* rgba, int stride) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size =
        static_cast<size_t>(stride) * static_cast<size_t>(frame.height - 1) +
        kPixelBytes * static_cast<size_t>(frame.width);
    config.options.use_threads = 0;
    return WebPDecode(frame.fragment.bytes, frame.fragment.size, &config) == VP8_STATUS_OK;
}

}  // namespace platform::imaging
