// ComposeFrame, ApplyDisposal and ComposeNextFrame: the animation's picture built frame by
// frame on the composition surface, following the GIF disposal methods.
#include <wrl/client.h>

#include "module/disposal_method.h"
#include "module/tavoren_gif.h"
#include "render/drawing_lock.h"

using Microsoft::WRL::ComPtr;

bool TavorenGif::SaveComposition() {
    ComPtr<ID2D1Bitmap> surface;
    if (FAILED(composeTarget->GetBitmap(surface.GetAddressOf()))) return false;
    HRESULT hr = S_OK;
    if (!savedBitmap) {
        FLOAT dpiX = 96.0f, dpiY = 96.0f;
        surface->GetDpi(&dpiX, &dpiY);
        const D2D1_BITMAP_PROPERTIES properties =
            D2D1::BitmapProperties(surface->GetPixelFormat(), dpiX, dpiY);
        hr = composeTarget->CreateBitmap(surface->GetPixelSize(), nullptr, 0, &properties,
                                         &savedBitmap);
    }
    if (SUCCEEDED(hr)) hr = savedBitmap->CopyFromBitmap(nullptr, surface.Get(), nullptr);
    return SUCCEEDED(hr);
}

bool TavorenGif::ComposeFrame() {
    return ComposeFrameAt(currentFrame);
}

bool TavorenGif::ComposeFrameAt(UINT frame) {
    // Callers check for both surfaces; without one there is nothing to compose on.
    if (!composeTarget) return false;
    if (!DecodeFrame(frame)) return false;
    const D2D1_COLOR_F background = ReadColor(backgroundColor);
    // A restore-to-previous frame 0 saves the cleared canvas, not what the surface held
    // before (nothing on a new surface, the end of the last pass later): clear, save, draw.
    const bool clearFirst = frame == 0 && disposal == kRestoreToPrevious;
    if (clearFirst) {
        composeTarget->BeginDraw();
        composeTarget->Clear(&background);
        if (FAILED(composeTarget->EndDraw())) return false;
    }
    if (disposal == kRestoreToPrevious && !SaveComposition()) return false;

    composeTarget->BeginDraw();
    if (frame == 0 && !clearFirst) composeTarget->Clear(&background);
    composeTarget->DrawBitmap(frameBitmap, &frameRect, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                              nullptr);
    if (FAILED(composeTarget->EndDraw())) return false;
    composedFrames = frame + 1;
    return true;
}

bool TavorenGif::RebuildComposition() {
    const UINT frames = composedFrames;
    composedFrames = 0;
    disposal = kDoNotDispose;  // as after a load: frame 0 clears the canvas anyway
    for (UINT frame = 0; frame < frames; ++frame) {
        if (!ApplyDisposal() || !ComposeFrameAt(frame)) return false;
    }
    return true;
}

bool TavorenGif::ApplyDisposal() {
    if (!composeTarget) return false;
    if (disposal == kRestoreToBackground) {
        const D2D1_COLOR_F background = ReadColor(backgroundColor);
        composeTarget->BeginDraw();
        composeTarget->PushAxisAlignedClip(&frameRect, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
        composeTarget->Clear(&background);
        composeTarget->PopAxisAlignedClip();
        return SUCCEEDED(composeTarget->EndDraw());
    }
    if (disposal == kRestoreToPrevious) {
        if (!savedBitmap) return true;
        ComPtr<ID2D1Bitmap> surface;
        if (FAILED(composeTarget->GetBitmap(surface.GetAddressOf()))) return true;
        // The whole canvas comes back, not only the frame's rectangle.
        return SUCCEEDED(surface->CopyFromBitmap(nullptr, savedBitmap, nullptr));
    }
    return true;
}

// ComposeNextFrame: the playback worker's step from one frame to the next, the one order in
// which the composition surface is built, also taken by the tests and the fuzzer.
bool TavorenGif::ComposeNextFrame() {
    // One step for a paint: it sees the frame before or the frame after, never the undone
    // canvas between them (nor frame 0's clear before its save). Taken first, as a move to
    // another window replaces the surfaces under it.
    const DrawingLock whole(d2dFactory);
    // Without either surface there is nothing to draw on: the worker ends here.
    if (!windowTarget || !composeTarget) return false;
    // Frame 0 too: after a load `disposal` undoes nothing, and a wrap undoes the last frame
    // before frame 0 clears the canvas anyway.
    return ApplyDisposal() && ComposeFrame();
}
