// DecodeFrame: one frame of the container into a drawing bitmap, with its metadata.
#include <wrl/client.h>

#include "analysis/display_time_rule.h"
#include "analysis/metadata_query.h"
#include "module/release_interface.h"
#include "module/tavoren_gif.h"
#include "module/disposal_method.h"
#include "render/frame_bitmap.h"

using Microsoft::WRL::ComPtr;

namespace {

// One placement query: a missing item fails the decode, an item of another type leaves the
// edge as the previous frame left it.
bool ReadEdge(IWICMetadataQueryReader* reader, LPCWSTR path, FLOAT origin, FLOAT* edge) {
    UINT32 value = 0;
    const QueryResult result = QueryMetadata(reader, path, VT_UI2, &value);
    if (result == QueryResult::Found) *edge = origin + static_cast<FLOAT>(value);
    return result != QueryResult::Failed;
}

}  // namespace

bool TavorenGif::DecodeFrame(UINT index, IWICBitmapSource** pixels) {
    // After a failed load there is no decoder: the frame simply fails to decode.
    if (!decoder || !wicFactory || !windowTarget) return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(index, frame.GetAddressOf()))) return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(wicFactory->CreateFormatConverter(converter.GetAddressOf()))) return false;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return false;
    }
    ReleaseInterface(frameBitmap);
    // A WebP decoder composes the frame when its pixels are first read: one pixel read first
    // lets it give back its working memory (a frame's worth) before the bitmap takes as much.
    if (isWebP) {
        BYTE pixel[4];
        const WICRect first{0, 0, 1, 1};
        converter->CopyPixels(&first, sizeof(pixel), sizeof(pixel), pixel);
    }
    if (pixels) {
        *pixels = converter.Detach();
    } else if (FAILED(CreateFrameBitmap(windowTarget, SurfaceScale(), converter.Get(),
                                        &frameBitmap))) {
        return false;
    }

    ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(reader.GetAddressOf()))) return true;
    bool result = true;
    if (!isWebP) {
        result &= ReadEdge(reader.Get(), TEXT("/imgdesc/Left"), 0.0f, &frameRect.left);
        result &= ReadEdge(reader.Get(), TEXT("/imgdesc/Top"), 0.0f, &frameRect.top);
        result &= ReadEdge(reader.Get(), TEXT("/imgdesc/Width"), frameRect.left, &frameRect.right);
        result &= ReadEdge(reader.Get(), TEXT("/imgdesc/Height"), frameRect.top, &frameRect.bottom);
    } else {
        UINT frameWidth = 0, frameHeight = 0;
        if (SUCCEEDED(frame->GetSize(&frameWidth, &frameHeight))) {
            frameRect = D2D1::RectF(0.0f, 0.0f, static_cast<FLOAT>(frameWidth),
                                    static_cast<FLOAT>(frameHeight));
        }
    }

    UINT32 value = 0;
    const QueryResult delay =
        isWebP ? QueryMetadata(reader.Get(), TEXT("/ANMF/FrameDuration"), VT_UI4, &value)
               : QueryMetadata(reader.Get(), TEXT("/grctlext/Delay"), VT_UI2, &value);
    if (delay == QueryResult::Found) {
        frameDelay = FrameDisplayTime(isWebP ? value : value * 10, ieTiming);
    } else if (delay == QueryResult::Failed) {
        frameDelay = 0;
    }

    if (isWebP) {
        // A WebP frame is blended onto a canvas cleared where the previous frame was.
        disposal = kRestoreToBackground;
    } else {
        const QueryResult method =
            QueryMetadata(reader.Get(), TEXT("/grctlext/Disposal"), VT_UI1, &value);
        if (method == QueryResult::Found) {
            disposal = value;
        } else if (method == QueryResult::Failed) {
            disposal = kDisposalNotSpecified;
        }
    }
    return result;
}
