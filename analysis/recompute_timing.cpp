#include "analysis/recompute_timing.h"

#include <wrl/client.h>

#include "analysis/frame_duration.h"
#include "host/viewer_messages.h"
#include "module/tavoren_gif.h"
#include "playback/transport.h"

using Microsoft::WRL::ComPtr;

void RecomputeTiming(TavorenGif* viewer) {
    // Only the flag: a waiting worker obeys it when its current wait ends. What it was doing
    // is read in the same step, or a worker beginning in between would stay held.
    const bool wasPlaying = HoldPlayback(viewer);

    // The worker may decode with the same decoder meanwhile; decoders take concurrent calls.
    IWICBitmapDecoder* decoder = viewer->decoder;
    const bool ieTiming = viewer->ieTiming;
    INT total = 0;
    INT position = 0;
    for (UINT i = 0; i < viewer->frameCount; ++i) {
        // Afresh at each index: a worker may still take the step it was in.
        if (i == viewer->currentFrame) position = total;
        // After a failed reload there is no decoder, and no frame adds anything.
        if (!decoder) continue;
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICMetadataQueryReader> reader;
        if (FAILED(decoder->GetFrame(i, frame.GetAddressOf())) ||
            FAILED(frame->GetMetadataQueryReader(reader.GetAddressOf()))) {
            continue;
        }
        AddFrameDuration(reader.Get(), viewer->isWebP, ieTiming, total, viewer->hasShortDelays);
    }
    viewer->elapsed = position;
    viewer->totalDuration = total;

    // Without a window there is no one to tell: a null window would post to this thread.
    if (HWND window = viewer->window) PostMessageW(window, VM_NOTIFY, kNotifyTimingChanged, 0);
    if (wasPlaying) Play(viewer);
}
