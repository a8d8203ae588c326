// The stand-in's WebP frames (composed on its own canvas, read through the imaging component's
// objects as the module reads them) against libwebp's animation decoder, the reference they
// replace. For the differential test and its fuzz target; natively only.
#pragma once

#include <shlwapi.h>
#include <wincodec.h>
#include <webp/demux.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

// The frames in playing order, the last again, then the first two again (which starts the
// canvas over), each against libwebp's canvas for it: the first difference, described, or empty
// when all are alike. Where libwebp stops at a frame that does not decode, ours must refuse that
// frame too; a file libwebp's animation decoder does not open at all is not compared.
inline std::string FirstWebPCanvasDifference(const std::vector<uint8_t>& bytes) {
    using Microsoft::WRL::ComPtr;
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return "libwebp's options";
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, decltype(&WebPAnimDecoderDelete)> reference(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    if (!reference) return {};
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(reference.get(), &info)) return {};
    std::vector<std::vector<uint8_t>> canvases;
    const size_t canvasBytes = size_t{info.canvas_width} * info.canvas_height * 4;
    for (uint8_t* canvas = nullptr; canvases.size() < info.frame_count;) {
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(reference.get(), &canvas, &timestamp)) break;
        canvases.emplace_back(canvas, canvas + canvasBytes);
    }
    const bool stopped = canvases.size() < info.frame_count;

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    stream.Attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        !stream ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.GetAddressOf()))) {
        return "the stand-in refuses a file libwebp opens";
    }
    UINT count = 0;
    if (FAILED(decoder->GetFrameCount(&count)) || count != info.frame_count) {
        return "frame counts differ: ours " + std::to_string(count) + ", libwebp " +
               std::to_string(info.frame_count);
    }
    std::vector<UINT> order;
    for (UINT i = 0; i < count && i <= canvases.size(); ++i) order.push_back(i);
    if (!stopped && count > 0) order.push_back(count - 1);
    if (count > 1) order.insert(order.end(), {0, 1});
    for (const UINT index : order) {
        if (index > canvases.size()) continue;  // past a frame that does not decode
        const std::string frame = "frame " + std::to_string(index);
        ComPtr<IWICBitmapFrameDecode> decoded;
        UINT width = 0, height = 0;
        HRESULT hr = decoder->GetFrame(index, decoded.GetAddressOf());
        if (SUCCEEDED(hr)) hr = decoded->GetSize(&width, &height);
        if (FAILED(hr)) return frame + ": not had";
        if (size_t{width} * height * 4 != canvasBytes) return frame + ": sizes differ";
        std::vector<uint8_t> pixels(canvasBytes, 0xEE);
        hr = decoded->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()),
                                 pixels.data());
        if (index == canvases.size()) {
            if (SUCCEEDED(hr)) return frame + ": libwebp refuses it, ours decodes it";
            continue;
        }
        if (FAILED(hr)) return frame + ": libwebp decodes it, ours refuses it";
        if (pixels == canvases[index]) continue;
        size_t at = 0;
        while (pixels[at] == canvases[index][at]) ++at;
        return frame + ": first difference at pixel " + std::to_string(at / 4 % width) + "," +
               std::to_string(at / 4 / width) + ", byte " + std::to_string(at % 4) + " (ours " +
               std::to_string(pixels[at]) + ", libwebp " + std::to_string(canvases[index][at]) +
               ")";
    }
    return {};
}
