// ScanImage: the image description from metadata alone, without decoding a pixel.
#include <wrl/client.h>

#include "analysis/frame_duration.h"
#include "analysis/metadata_query.h"
#include "module/tavoren_gif.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kMaxPaletteColors = 256;

void ReportProgress(ProgressCallback callback, UINT32 done, UINT32 total, void* userData) {
    // A host that passes no callback is not called back.
    if (callback) callback(done, total, userData);
}

D2D1_COLOR_F OpaqueColor(WICColor argb) {
    return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
            1.0f};
}

}  // namespace

bool TavorenGif::ScanImage(ProgressCallback progressCallback, void* userData) {
    // Format and count.
    GUID format;
    if (SUCCEEDED(decoder->GetContainerFormat(&format))) {
        isWebP = IsEqualGUID(format, GUID_ContainerFormatWebp);
    }
    UINT count = 0;
    const HRESULT countResult = decoder->GetFrameCount(&count);
    if (SUCCEEDED(countResult)) frameCount = count;
    ReportProgress(progressCallback, 0, frameCount, userData);

    ComPtr<IWICMetadataQueryReader> containerReader;
    bool result = SUCCEEDED(countResult) &&
                  SUCCEEDED(decoder->GetMetadataQueryReader(containerReader.GetAddressOf()));

    // Container metadata: the GIF logical screen and the background colour.
    if (containerReader && !isWebP) {
        IWICMetadataQueryReader* reader = containerReader.Get();
        UINT32 value = 0;
        if (QueryMetadata(reader, TEXT("/logscrdesc/GlobalColorTableFlag"), VT_BOOL, &value) ==
                QueryResult::Found &&
            value) {
            UINT32 index = 0;
            const QueryResult indexResult =
                QueryMetadata(reader, TEXT("/logscrdesc/BackgroundColorIndex"), VT_UI1, &index);
            // An image without frames cannot load, so its palette is not asked for: Wine's
            // GIF decoder reads frame 0 to answer CopyPalette and crashes when there is none.
            if (indexResult == QueryResult::Found && frameCount > 0) {
                ComPtr<IWICPalette> palette;
                WICColor colors[kMaxPaletteColors];
                UINT delivered = 0;
                if (SUCCEEDED(wicFactory->CreatePalette(palette.GetAddressOf())) &&
                    SUCCEEDED(decoder->CopyPalette(palette.Get())) &&
                    SUCCEEDED(palette->GetColors(kMaxPaletteColors, colors, &delivered)) &&
                    index < delivered) {
                    const D2D1_COLOR_F background = OpaqueColor(colors[index]);
                    WriteColor(imageBackgroundColor, background);
                    WriteColor(backgroundColor, background);
                    useImageBackground = false;
                }
            }
            if (indexResult != QueryResult::Failed &&
                QueryMetadata(reader, TEXT("/logscrdesc/GlobalColorTableSize"), VT_UI1, &value) ==
                    QueryResult::Found) {
                colorBits = static_cast<INT>(value) + 1;
            }
        }
        result = false;
        UINT32 screenWidth = 0;
        const QueryResult widthResult =
            QueryMetadata(reader, TEXT("/logscrdesc/Width"), VT_UI2, &screenWidth);
        if (widthResult != QueryResult::Failed) {
            UINT32 screenHeight = 0;
            if (widthResult == QueryResult::OtherType) screenWidth = 0;
            if (QueryMetadata(reader, TEXT("/logscrdesc/Height"), VT_UI2, &screenHeight) ==
                QueryResult::Found) {
                height = screenHeight;
                width = screenWidth;
                result = true;
            }
        }
    }
    containerReader.Reset();

    // Frame walk: per-frame progress, timing and transparency.
    totalDuration = 0;
    isTransparent = false;
    bool allTransparent = true;
    for (UINT i = 0; i < frameCount; ++i) {
        ComPtr<IWICBitmapFrameDecode> frame;
        if (FAILED(decoder->GetFrame(i, frame.GetAddressOf()))) continue;
        ReportProgress(progressCallback, i + 1, frameCount, userData);
        if (isWebP && width == 0) {
            UINT frameWidth = 0, frameHeight = 0;
            if (SUCCEEDED(frame->GetSize(&frameWidth, &frameHeight))) {
                width = frameWidth;
                height = frameHeight;
            }
        }
        ComPtr<IWICMetadataQueryReader> reader;
        if (FAILED(frame->GetMetadataQueryReader(reader.GetAddressOf()))) continue;
        // A single frame has no time to count until the timing rule is switched.
        if (frameCount >= 2) {
            AddFrameDuration(reader.Get(), isWebP, ieTiming, totalDuration, hasShortDelays);
        }
        if (isWebP) continue;
        UINT32 value = 0;
        if (QueryMetadata(reader.Get(), TEXT("/grctlext/TransparencyFlag"), VT_BOOL, &value) ==
                QueryResult::Found &&
            !value) {
            allTransparent = false;
        }
        if (colorBits == 0 && QueryMetadata(reader.Get(), TEXT("/imgdesc/LocalColorTableSize"),
                                            VT_UI1, &value) == QueryResult::Found) {
            colorBits = static_cast<INT>(value) + 1;
        }
    }
    if (allTransparent) isTransparent = true;

    if (isWebP && width == 0) result = false;
    return result;
}
