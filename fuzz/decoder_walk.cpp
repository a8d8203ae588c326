#include "fuzz/decoder_walk.h"

#include <wincodec.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/work_budget.h"

using Microsoft::WRL::ComPtr;

namespace {

// Every path the stand-in answers, the module's among them, in the letter case the module
// writes and in another, and paths that name nothing.
const LPCWSTR kContainerPaths[] = {
    TEXT("/logscrdesc/Width"),
    TEXT("/logscrdesc/Height"),
    TEXT("/logscrdesc/GlobalColorTableFlag"),
    TEXT("/logscrdesc/ColorResolution"),
    TEXT("/logscrdesc/SortFlag"),
    TEXT("/logscrdesc/GlobalColorTableSize"),
    TEXT("/logscrdesc/BackgroundColorIndex"),
    TEXT("/logscrdesc/PixelAspectRatio"),
    TEXT("/LOGSCRDESC/WIDTH"),
    TEXT("/logscrdesc"),
    TEXT("/logscrdesc/Width/"),
    TEXT(""),
};
const LPCWSTR kFramePaths[] = {
    TEXT("/imgdesc/Left"),
    TEXT("/imgdesc/Top"),
    TEXT("/imgdesc/Width"),
    TEXT("/imgdesc/Height"),
    TEXT("/imgdesc/LocalColorTableFlag"),
    TEXT("/imgdesc/InterlaceFlag"),
    TEXT("/imgdesc/SortFlag"),
    TEXT("/imgdesc/LocalColorTableSize"),
    TEXT("/grctlext/Disposal"),
    TEXT("/grctlext/UserInputFlag"),
    TEXT("/grctlext/TransparencyFlag"),
    TEXT("/grctlext/Delay"),
    TEXT("/grctlext/TransparentColorIndex"),
    TEXT("/ANMF/FrameDuration"),
    TEXT("/anmf/frameduration"),
    TEXT("/grctlext"),
    TEXT("/imgdesc/Left/x"),
    TEXT(""),
};

// The value is read by its own type, so that a wrong tag with a pointer type would show.
void QueryAll(IWICMetadataQueryReader* reader, const LPCWSTR* paths, size_t count) {
    GUID format;
    reader->GetContainerFormat(&format);
    for (size_t i = 0; i < count; ++i) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(reader->GetMetadataByName(paths[i], &value))) {
            volatile UINT32 sink = 0;
            switch (value.vt) {
                case VT_BOOL:
                    sink = static_cast<UINT32>(value.boolVal);
                    break;
                case VT_UI1:
                    sink = value.bVal;
                    break;
                case VT_UI2:
                    sink = value.uiVal;
                    break;
                case VT_UI4:
                    sink = value.ulVal;
                    break;
                default:
                    break;
            }
            (void)sink;
        }
        PropVariantClear(&value);
        // Without a holder: only whether the item exists.
        reader->GetMetadataByName(paths[i], nullptr);
    }
    reader->GetMetadataByName(nullptr, nullptr);
}

void ReadPalette(IWICImagingFactory* factory, IWICBitmapDecoder* decoder,
                 IWICBitmapFrameDecode* frame) {
    ComPtr<IWICPalette> palette;
    if (FAILED(factory->CreatePalette(palette.GetAddressOf()))) return;
    const HRESULT hr =
        frame ? frame->CopyPalette(palette.Get()) : decoder->CopyPalette(palette.Get());
    if (FAILED(hr)) return;
    // A GIF colour table holds at most 256 colours.
    WICColor colors[256];
    UINT delivered = 0;
    palette->GetColors(256, colors, &delivered);
}

// Arguments that must be refused without a byte written: each buffer is exactly as large
// as the call claims, so a write past it is caught.
void CopyRefused(IWICBitmapSource* source, UINT width, UINT height, UINT bytesPerPixel) {
    if (width == 0 || height == 0 || width > 256 || height > 256) return;
    const UINT row = width * bytesPerPixel;
    std::vector<BYTE> shortBuffer(size_t{row} * height - 1);
    source->CopyPixels(nullptr, row, static_cast<UINT>(shortBuffer.size()), shortBuffer.data());
    const WICRect outside{static_cast<INT>(width) - 1, 0, 2, 1};
    std::vector<BYTE> two(2 * bytesPerPixel);
    source->CopyPixels(&outside, 2 * bytesPerPixel, static_cast<UINT>(two.size()), two.data());
    const WICRect negative{-1, 0, 1, 1};
    source->CopyPixels(&negative, bytesPerPixel, static_cast<UINT>(two.size()), two.data());
    source->CopyPixels(nullptr, row - 1, row * height, nullptr);
}

// The centre of the frame in its own format, with a stride longer than a row and a buffer
// that ends with the last row.
void CopyCentre(IWICBitmapFrameDecode* frame, UINT width, UINT height, UINT bytesPerPixel,
                PixelBudget& budget) {
    if (width < 2 || height < 2) return;
    const WICRect centre{static_cast<INT>(width / 4), static_cast<INT>(height / 4),
                         static_cast<INT>(std::max<UINT>(width / 2, 1)),
                         static_cast<INT>(std::max<UINT>(height / 2, 1))};
    // A GIF frame decodes whole rows down to the last one asked for; a WebP frame the canvas.
    const uint64_t cost = bytesPerPixel == 1 ? uint64_t{width} * (centre.Y + centre.Height)
                                             : uint64_t{width} * height;
    if (!budget.Take(cost)) return;
    const UINT row = static_cast<UINT>(centre.Width) * bytesPerPixel;
    const UINT stride = row + 3;
    std::vector<BYTE> buffer(size_t{stride} * (centre.Height - 1) + row);
    frame->CopyPixels(&centre, stride, static_cast<UINT>(buffer.size()), buffer.data());
}

void WalkFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, UINT index,
               PixelBudget& budget) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(index, frame.GetAddressOf()))) return;
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    WICPixelFormatGUID format{};
    frame->GetPixelFormat(&format);
    ReadPalette(factory, decoder, frame.Get());
    ComPtr<IWICMetadataQueryReader> reader;
    if (SUCCEEDED(frame->GetMetadataQueryReader(reader.GetAddressOf()))) {
        QueryAll(reader.Get(), kFramePaths, std::size(kFramePaths));
    }

    const bool indexed = IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed);
    const UINT bytesPerPixel = indexed ? 1 : 4;
    CopyRefused(frame.Get(), width, height, bytesPerPixel);

    // The module's way: through the converter, the whole frame in one call. A frame too
    // large for what is left of the budget gets the rows that fit (an indexed frame decodes
    // only as far down as asked), or nothing (a WebP frame costs its whole canvas).
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.GetAddressOf()))) return;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return;
    }
    UINT convertedWidth = 0, convertedHeight = 0;
    converter->GetSize(&convertedWidth, &convertedHeight);
    WICPixelFormatGUID converted{};
    converter->GetPixelFormat(&converted);
    if (width == 0 || height == 0) {
        BYTE none[4];
        converter->CopyPixels(nullptr, 4, sizeof none, none);
        return;
    }
    const uint64_t area = uint64_t{width} * height;
    uint64_t rows = height;
    if (area > budget.left()) rows = indexed ? budget.left() / width : 0;
    rows = std::min<uint64_t>(rows, budget.left() / width);
    if (rows == 0 || !budget.Take(uint64_t{width} * rows)) return;
    const UINT stride = width * 4;
    std::vector<BYTE> pixels(size_t{stride} * rows);
    const WICRect top{0, 0, static_cast<INT>(width), static_cast<INT>(rows)};
    converter->CopyPixels(rows == height ? nullptr : &top, stride, static_cast<UINT>(pixels.size()),
                          pixels.data());
    CopyRefused(converter.Get(), width, height, 4);
    CopyCentre(frame.Get(), width, height, bytesPerPixel, budget);
}

}  // namespace

void WalkDecoder(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf())))) {
        return;
    }
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(data, static_cast<UINT>(size)));
    if (!stream) return;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.GetAddressOf()))) {
        return;
    }
    // The decoder keeps what it needs: neither the factory nor the stream need outlive it.
    factory.Reset();
    stream.Reset();
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf())))) {
        return;
    }

    GUID format{};
    decoder->GetContainerFormat(&format);
    UINT count = 0;
    decoder->GetFrameCount(&count);
    ReadPalette(factory.Get(), decoder.Get(), nullptr);
    ComPtr<IWICMetadataQueryReader> reader;
    if (SUCCEEDED(decoder->GetMetadataQueryReader(reader.GetAddressOf()))) {
        QueryAll(reader.Get(), kContainerPaths, std::size(kContainerPaths));
    }

    PixelBudget budget(kDecoderPixelBudget);
    const UINT walked = std::min(count, kMaxFramesPerInput);
    for (UINT i = 0; i < walked; ++i) WalkFrame(factory.Get(), decoder.Get(), i, budget);
    // Back to the first frame after the last, as playback wraps: a decoder that keeps its
    // place between frames must start over.
    if (count > 1) WalkFrame(factory.Get(), decoder.Get(), 0, budget);

    ComPtr<IWICBitmapFrameDecode> missing;
    decoder->GetFrame(count, missing.GetAddressOf());
    decoder->GetFrame(UINT32_MAX, missing.GetAddressOf());
}
