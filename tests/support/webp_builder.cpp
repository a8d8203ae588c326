#include "tests/support/webp_builder.h"

#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// A WebP file of one picture, lossless unless asked. The simple WebPEncodeLosslessRGBA would be
// enough but rewrites the colour under transparent pixels; tests compare those too.
std::vector<uint8_t> Encode(int width, int height, const std::vector<uint32_t>& argb,
                            bool lossy = false) {
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        throw std::runtime_error("libwebp version mismatch");
    config.lossless = lossy ? 0 : 1;
    config.exact = 1;
    config.method = 0;  // fastest; the size of test files does not matter
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    if (!WebPPictureAlloc(&picture)) throw std::runtime_error("WebPPictureAlloc failed");
    std::unique_ptr<WebPPicture, decltype(&WebPPictureFree)> owned(&picture, WebPPictureFree);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = argb.data() + static_cast<size_t>(y) * width;
        std::copy(row, row + width, picture.argb + static_cast<size_t>(y) * picture.argb_stride);
    }

    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    bool encoded = WebPEncode(&config, &picture);
    std::vector<uint8_t> out(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    if (!encoded)
        throw std::runtime_error("WebPEncode failed: " + std::to_string(picture.error_code));
    return out;
}

std::vector<uint32_t> FramePixels(const WebPTestFrame& frame, int width, int height) {
    if (frame.pixels.empty())
        return std::vector<uint32_t>(static_cast<size_t>(width) * height, frame.argb);
    if (frame.pixels.size() != static_cast<size_t>(width) * height)
        throw std::invalid_argument("WebPTestFrame: pixels must hold width * height values");
    return frame.pixels;
}

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>& out, const char* fourcc, const std::vector<uint8_t>& payload) {
    out.insert(out.end(), fourcc, fourcc + 4);
    PutLE(out, static_cast<uint32_t>(payload.size()), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() & 1) out.push_back(0);
}

// WebPMuxAssemble turns a single frame that covers the canvas into a still image, so an
// animation of one such frame is laid out by hand: VP8X, ANIM, then one ANMF around the frame's
// VP8L chunk.
std::vector<uint8_t> OneFrameAnimation(int canvasWidth, int canvasHeight,
                                       const WebPMuxFrameInfo& frame, bool hasAlpha) {
    constexpr uint32_t kAlphaFlag = 0x10, kAnimationFlag = 0x02;
    std::vector<uint8_t> vp8x, anim, anmf;
    PutLE(vp8x, (hasAlpha ? kAlphaFlag : 0) | kAnimationFlag, 4);
    PutLE(vp8x, canvasWidth - 1, 3);
    PutLE(vp8x, canvasHeight - 1, 3);
    PutLE(anim, 0xFFFFFFFF, 4);  // background colour, as for the mux below
    PutLE(anim, 0, 2);           // loop forever
    PutLE(anmf, frame.x_offset / 2, 3);
    PutLE(anmf, frame.y_offset / 2, 3);
    PutLE(anmf, canvasWidth - 1, 3);
    PutLE(anmf, canvasHeight - 1, 3);
    PutLE(anmf, frame.duration, 3);
    anmf.push_back((frame.blend_method == WEBP_MUX_NO_BLEND ? 2 : 0) |
                   (frame.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND ? 1 : 0));
    // The encoder wrote a simple file: "RIFF", size, "WEBP", then the VP8L chunk.
    anmf.insert(anmf.end(), frame.bitstream.bytes + 12,
                frame.bitstream.bytes + frame.bitstream.size);

    std::vector<uint8_t> body{'W', 'E', 'B', 'P'};
    PutChunk(body, "VP8X", vp8x);
    PutChunk(body, "ANIM", anim);
    PutChunk(body, "ANMF", anmf);
    std::vector<uint8_t> out;
    PutChunk(out, "RIFF", body);
    return out;
}

}  // namespace

std::vector<uint8_t> BuildAnimatedWebP(int canvasWidth, int canvasHeight,
                                       const std::vector<WebPTestFrame>& frames, bool still) {
    if (frames.empty()) throw std::invalid_argument("BuildAnimatedWebP: no frames");

    if (still && frames.size() == 1) {
        const WebPTestFrame& frame = frames[0];
        int width = frame.width ? frame.width : canvasWidth;
        int height = frame.height ? frame.height : canvasHeight;
        std::vector<uint32_t> source = FramePixels(frame, width, height);
        std::vector<uint32_t> canvas(static_cast<size_t>(canvasWidth) * canvasHeight, 0);
        for (int y = std::max(0, -frame.offsetY); y < height && frame.offsetY + y < canvasHeight;
             ++y)
            for (int x = std::max(0, -frame.offsetX); x < width && frame.offsetX + x < canvasWidth;
                 ++x)
                canvas[static_cast<size_t>(frame.offsetY + y) * canvasWidth + frame.offsetX + x] =
                    source[static_cast<size_t>(y) * width + x];
        return Encode(canvasWidth, canvasHeight, canvas);
    }

    // WebPMux rather than WebPAnimEncoder: that encoder merges identical consecutive frames and
    // crops each frame to what changed, whereas the tests need every frame exactly as given.
    std::unique_ptr<WebPMux, decltype(&WebPMuxDelete)> mux(WebPMuxNew(), WebPMuxDelete);
    if (!mux) throw std::runtime_error("WebPMuxNew failed");
    auto check = [](WebPMuxError error, const char* what) {
        if (error != WEBP_MUX_OK)
            throw std::runtime_error(std::string(what) + " failed: " + std::to_string(error));
    };
    for (const WebPTestFrame& frame : frames) {
        // The mux would quietly round odd offsets down.
        if ((frame.offsetX | frame.offsetY) & 1)
            throw std::invalid_argument("WebPTestFrame: offsets must be even");
        int width = frame.width ? frame.width : canvasWidth;
        int height = frame.height ? frame.height : canvasHeight;
        std::vector<uint32_t> pixels = FramePixels(frame, width, height);
        std::vector<uint8_t> bitstream = Encode(width, height, pixels, frame.lossy);

        WebPMuxFrameInfo info{};
        info.bitstream = {bitstream.data(), bitstream.size()};
        info.x_offset = frame.offsetX;
        info.y_offset = frame.offsetY;
        info.duration = frame.durationMs;
        info.id = WEBP_CHUNK_ANMF;
        info.dispose_method =
            frame.disposeToBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
        info.blend_method = frame.blend ? WEBP_MUX_BLEND : WEBP_MUX_NO_BLEND;
        if (frames.size() == 1 && width == canvasWidth && height == canvasHeight) {
            if (frame.lossy) throw std::invalid_argument("BuildAnimatedWebP: one lossy frame");
            bool hasAlpha = std::any_of(pixels.begin(), pixels.end(),
                                        [](uint32_t argb) { return argb >> 24 != 0xFF; });
            return OneFrameAnimation(canvasWidth, canvasHeight, info, hasAlpha);
        }
        check(WebPMuxPushFrame(mux.get(), &info, 1), "WebPMuxPushFrame");
    }
    // White background, as libwebp's own encoder writes it; players are free to ignore it.
    WebPMuxAnimParams params{0xFFFFFFFF, 0};
    check(WebPMuxSetAnimationParams(mux.get(), &params), "WebPMuxSetAnimationParams");
    check(WebPMuxSetCanvasSize(mux.get(), canvasWidth, canvasHeight), "WebPMuxSetCanvasSize");

    WebPData assembled;
    WebPDataInit(&assembled);
    check(WebPMuxAssemble(mux.get(), &assembled), "WebPMuxAssemble");
    std::vector<uint8_t> out(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    return out;
}

WebPTestFrame PlacedFrame(int width, int height, int offsetX, int offsetY) {
    WebPTestFrame frame;
    frame.width = width;
    frame.height = height;
    frame.offsetX = offsetX;
    frame.offsetY = offsetY;
    return frame;
}

WebPTestFrame GradientFrame(int width, int height, int offsetX, int offsetY, int seed) {
    WebPTestFrame frame = PlacedFrame(width, height, offsetX, offsetY);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha = static_cast<uint32_t>((x * 37 + y * 59 + seed * 11) % 256);
            const uint32_t red = static_cast<uint32_t>((x * 23 + seed * 50) % 256);
            const uint32_t green = static_cast<uint32_t>((y * 41 + seed * 30) % 256);
            const uint32_t blue = static_cast<uint32_t>((x * y * 7 + seed) % 256);
            frame.pixels.push_back(alpha << 24 | red << 16 | green << 8 | blue);
        }
    }
    return frame;
}

std::vector<std::vector<uint8_t>> LibWebPCanvases(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> canvases;
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return canvases;
    options.color_mode = MODE_RGBA;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, decltype(&WebPAnimDecoderDelete)> decoder(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    if (!decoder) return canvases;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder.get(), &info);
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    while (WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
        canvases.emplace_back(canvas, canvas + size_t{info.canvas_width} * info.canvas_height * 4);
    }
    return canvases;
}
