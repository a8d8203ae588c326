// ScanImage: the image description from metadata alone, without decoding a pixel, in three
// stages: the format and the frame count, the GIF logical screen, and the walk over the frames.
#include <wrl/client.h>

#include "analysis/duration_sum.h"
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

// WebP or GIF, and the frame count, reported as the first progress. Answers the container's
// metadata reader, or null when the count or the reader could not be had: the scan then fails.
ComPtr<IWICMetadataQueryReader> ReadFormatAndCount(TavorenGif& viewer,
                                                   ProgressCallback progressCallback,
                                                   void* userData) {
    GUID format;
    if (SUCCEEDED(viewer.decoder->GetContainerFormat(&format))) {
        viewer.isWebP = IsEqualGUID(format, GUID_ContainerFormatWebp);
    }
    UINT count = 0;
    const HRESULT countResult = viewer.decoder->GetFrameCount(&count);
    if (SUCCEEDED(countResult)) viewer.frameCount = count;
    ReportProgress(progressCallback, 0, viewer.frameCount, userData);

    ComPtr<IWICMetadataQueryReader> containerReader;
    if (FAILED(countResult) ||
        FAILED(viewer.decoder->GetMetadataQueryReader(containerReader.GetAddressOf()))) {
        return nullptr;
    }
    return containerReader;
}

// Entry `index` of the global colour table as the image's own background colour, when the
// table has it.
void ReadBackgroundColor(TavorenGif& viewer, UINT32 index) {
    // An image without frames cannot load, so its palette is not asked for: Wine's GIF
    // decoder reads frame 0 to answer CopyPalette and crashes when there is none.
    if (viewer.frameCount == 0) return;
    ComPtr<IWICPalette> palette;
    WICColor colors[kMaxPaletteColors];
    UINT delivered = 0;
    if (SUCCEEDED(viewer.wicFactory->CreatePalette(palette.GetAddressOf())) &&
        SUCCEEDED(viewer.decoder->CopyPalette(palette.Get())) &&
        SUCCEEDED(palette->GetColors(kMaxPaletteColors, colors, &delivered)) && index < delivered) {
        const D2D1_COLOR_F background = OpaqueColor(colors[index]);
        viewer.WriteColor(viewer.imageBackgroundColor, background);
        viewer.WriteColor(viewer.backgroundColor, background);
        viewer.useImageBackground = false;
    }
}

// The GIF logical screen: the background colour and colour depth of a global colour table,
// then the canvas size. True when the size was read.
bool ReadLogicalScreen(TavorenGif& viewer, IWICMetadataQueryReader* reader) {
    UINT32 value = 0;
    if (QueryMetadata(reader, TEXT("/logscrdesc/GlobalColorTableFlag"), VT_BOOL, &value) ==
            QueryResult::Found &&
        value) {
        UINT32 index = 0;
        const QueryResult indexResult =
            QueryMetadata(reader, TEXT("/logscrdesc/BackgroundColorIndex"), VT_UI1, &index);
        if (indexResult == QueryResult::Found) ReadBackgroundColor(viewer, index);
        if (indexResult != QueryResult::Failed &&
            QueryMetadata(reader, TEXT("/logscrdesc/GlobalColorTableSize"), VT_UI1, &value) ==
                QueryResult::Found) {
            viewer.colorBits = static_cast<INT>(value) + 1;
        }
    }
    UINT32 screenWidth = 0;
    const QueryResult widthResult =
        QueryMetadata(reader, TEXT("/logscrdesc/Width"), VT_UI2, &screenWidth);
    if (widthResult == QueryResult::Failed) return false;
    if (widthResult == QueryResult::OtherType) screenWidth = 0;
    UINT32 screenHeight = 0;
    if (QueryMetadata(reader, TEXT("/logscrdesc/Height"), VT_UI2, &screenHeight) !=
        QueryResult::Found) {
        return false;
    }
    viewer.height = screenHeight;
    viewer.width = screenWidth;
    return true;
}

// Every frame, one progress call each: the summed display times, the transparency, a WebP's
// size from its first frame, and a GIF's colour depth from a local table when no global one
// gave it.
void WalkFrames(TavorenGif& viewer, ProgressCallback progressCallback, void* userData) {
    viewer.totalDuration = 0;
    viewer.isTransparent = false;
    bool allTransparent = true;
    for (UINT i = 0; i < viewer.frameCount; ++i) {
        ComPtr<IWICBitmapFrameDecode> frame;
        if (FAILED(viewer.decoder->GetFrame(i, frame.GetAddressOf()))) continue;
        ReportProgress(progressCallback, i + 1, viewer.frameCount, userData);
        if (viewer.isWebP && viewer.width == 0) {
            UINT frameWidth = 0, frameHeight = 0;
            if (SUCCEEDED(frame->GetSize(&frameWidth, &frameHeight))) {
                viewer.width = frameWidth;
                viewer.height = frameHeight;
            }
        }
        ComPtr<IWICMetadataQueryReader> reader;
        if (FAILED(frame->GetMetadataQueryReader(reader.GetAddressOf()))) continue;
        // A single frame has no time to count until the timing rule is switched.
        if (viewer.frameCount >= 2) {
            AddFrameDuration(reader.Get(), viewer.isWebP, viewer.ieTiming, viewer.totalDuration,
                             viewer.hasShortDelays);
        }
        if (viewer.isWebP) continue;
        UINT32 value = 0;
        if (QueryMetadata(reader.Get(), TEXT("/grctlext/TransparencyFlag"), VT_BOOL, &value) ==
                QueryResult::Found &&
            !value) {
            allTransparent = false;
        }
        if (viewer.colorBits == 0 &&
            QueryMetadata(reader.Get(), TEXT("/imgdesc/LocalColorTableSize"), VT_UI1, &value) ==
                QueryResult::Found) {
            viewer.colorBits = static_cast<INT>(value) + 1;
        }
    }
    if (allTransparent) viewer.isTransparent = true;
}

}  // namespace

bool TavorenGif::ScanImage(ProgressCallback progressCallback, void* userData) {
    ComPtr<IWICMetadataQueryReader> containerReader =
        ReadFormatAndCount(*this, progressCallback, userData);
    const bool opened = containerReader != nullptr;
    // The WebP path takes nothing from the container.
    const bool screenRead = opened && !isWebP && ReadLogicalScreen(*this, containerReader.Get());
    containerReader.Reset();
    WalkFrames(*this, progressCallback, userData);
    // A GIF's size comes from its logical screen, a WebP's from its frames.
    return isWebP ? opened && width != 0 : screenRead;
}
