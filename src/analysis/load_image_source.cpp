// LoadImageSource: hands the viewer a new image from a file or from memory.
#include <shlwapi.h>
#include <wrl/client.h>

#include <cstdint>
#include <mutex>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "module/disposal_method.h"

using Microsoft::WRL::ComPtr;

namespace {

// A reload must not see the previous image's description: the scan takes a width of 0 and
// a colour depth of 0 to mean "not read yet", and a failed load must not leave the old frame
// count beside a missing decoder.
void ForgetPreviousImage(TavorenGif* viewer) {
    viewer->width = 0;
    viewer->height = 0;
    viewer->colorBits = 0;
    viewer->frameCount = 0;
    viewer->totalDuration = 0;
    viewer->elapsed = 0;
    {
        // The worker has ended; the lock is the field's rule.
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        viewer->frameStarts.clear();
    }
    viewer->hasShortDelays = false;
    viewer->isWebP = false;
    const D2D1_COLOR_F host = viewer->ReadColor(viewer->hostBackgroundColor);
    viewer->WriteColor(viewer->imageBackgroundColor, host);
    viewer->WriteColor(viewer->backgroundColor, host);
}

ComPtr<IStream> OpenImageStream(LPCWSTR filePath, const BYTE* memoryData, SIZE_T memorySize,
                                INT32* memoryResult) {
    ComPtr<IStream> stream;
    if (memorySize != 0) {
        if (memoryResult) *memoryResult = 0;
        // The memory stream takes a 32-bit count; a larger image is refused rather than cut.
        if (memorySize > UINT32_MAX) return nullptr;
        stream.Attach(SHCreateMemStream(memoryData, static_cast<UINT>(memorySize)));
    } else if (filePath) {
        SHCreateStreamOnFileW(filePath, STGM_READ | STGM_SHARE_EXCLUSIVE, stream.GetAddressOf());
    }
    return stream;
}

}  // namespace

INT32 LoadImageSource(TavorenGif* viewer, LPCWSTR filePath, const BYTE* memoryData,
                      SIZE_T memorySize, INT32* memoryResult, UINT_PTR /*unused6*/,
                      UINT_PTR /*unused7*/, ProgressCallback progressCallback, void* userData) {
    viewer->ReleaseResources();
    ForgetPreviousImage(viewer);

    ComPtr<IStream> stream = OpenImageStream(filePath, memoryData, memorySize, memoryResult);
    if (!stream) return -1;

    viewer->currentFrame = 0;
    // The first step after a load has nothing to undo.
    viewer->disposal = kDoNotDispose;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&viewer->wicFactory)))) {
        return -1;
    }
    if (FAILED(viewer->wicFactory->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &viewer->decoder))) {
        return -1;
    }
    if (!viewer->ScanImage(progressCallback, userData)) return -1;
    return viewer->frameCount > 0 ? 0 : -1;
}
