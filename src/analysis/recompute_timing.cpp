#include "analysis/recompute_timing.h"

#include <wrl/client.h>

#include <mutex>
#include <vector>

#include "analysis/duration_sum.h"
#include "module/viewer_messages.h"
#include "module/tavoren_gif.h"
#include "playback/transport.h"

using Microsoft::WRL::ComPtr;

void RecomputeTiming(TavorenGif* viewer) {
    // Only the flag: a waiting worker obeys it when its current wait ends. What it was doing
    // is read in the same step, or a worker beginning in between would stay held; a step it
    // had still to take is given back afterwards, not turned into playing.
    const Interrupted interrupted = PausePlayback(viewer);

    // The worker may decode with the same decoder meanwhile; decoders take concurrent calls.
    IWICBitmapDecoder* decoder = viewer->decoder;
    const bool ieTiming = viewer->ieTiming;
    // The start time of each frame under the rule now in force, then the total.
    std::vector<INT> starts(viewer->frameCount);
    INT total = 0;
    for (UINT i = 0; i < viewer->frameCount; ++i) {
        starts[i] = total;
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
    {
        // A worker that was past its wait when the walk began may have advanced meanwhile;
        // its advance takes the same lock, so the position is that of the frame it is on.
        std::lock_guard<std::mutex> guard(viewer->transportLock);
        const UINT current = viewer->currentFrame;
        viewer->elapsed = current < starts.size() ? starts[current] : 0;
        viewer->totalDuration = total;
        // Every later advance takes its position from here: the frame on screen keeps the
        // display time it was decoded with, under the rule it was decoded under.
        viewer->frameStarts = std::move(starts);
    }

    // Without a window there is no one to tell: a null window would post to this thread.
    if (HWND window = viewer->window) PostMessageW(window, VM_NOTIFY, kNotifyTimingChanged, 0);
    ResumeAfterPause(viewer, interrupted);
}
