// AttachWindow: the drawing factory, the window surface and the composition surface for the
// host's window, and the move of both to another window.
#include <wrl/client.h>

#include "module/entry_points.h"
#include "module/release_interface.h"
#include "module/tavoren_gif.h"
#include "render/drawing_lock.h"

using Microsoft::WRL::ComPtr;

namespace {

// The window surface at the window's client size, and the composition surface compatible with
// it. Without a composition surface nothing could ever be shown: then neither is kept, so
// that the attach fails whole and a later one tries again.
bool CreateSurfaces(TavorenGif* viewer, HWND window, ComPtr<ID2D1HwndRenderTarget>* windowTarget,
                    ComPtr<ID2D1BitmapRenderTarget>* composeTarget) {
    RECT client{};
    GetClientRect(window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES targetProperties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96.0f, 96.0f);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties = D2D1::HwndRenderTargetProperties(
        window, D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                            static_cast<UINT32>(client.bottom - client.top)));
    if (FAILED(viewer->d2dFactory->CreateHwndRenderTarget(
            &targetProperties, &windowProperties, windowTarget->ReleaseAndGetAddressOf()))) {
        return false;
    }
    if (!viewer->CreateCompositionSurface(windowTarget->Get(),
                                          composeTarget->ReleaseAndGetAddressOf())) {
        windowTarget->Reset();
        return false;
    }
    return true;
}

// Binds the surfaces to another window while the viewer plays or holds a picture. What a
// window surface made belongs to it (Direct2D draws a bitmap only on the target that made it
// and those compatible with it), so the composition surface is made anew beside the new
// window surface and the picture rebuilt on it, frame by frame as it was composed; the frame
// on screen, the position and the playback go on. Under the drawing lock, so that the worker
// steps on the old surfaces or on the new ones. False, with nothing changed, when the new
// surfaces cannot be made.
bool MoveToWindow(TavorenGif* viewer, HWND window) {
    ComPtr<ID2D1HwndRenderTarget> windowTarget;
    ComPtr<ID2D1BitmapRenderTarget> composeTarget;
    if (!CreateSurfaces(viewer, window, &windowTarget, &composeTarget)) {
        return false;
    }
    const DrawingLock whole(viewer->d2dFactory);
    // The old surfaces go as these go out of scope, still under the lock: nothing else can
    // reach them by then.
    ComPtr<ID2D1HwndRenderTarget> oldWindowTarget;
    ComPtr<ID2D1BitmapRenderTarget> oldComposeTarget;
    oldWindowTarget.Attach(viewer->windowTarget);
    oldComposeTarget.Attach(viewer->composeTarget);
    ReleaseInterface(viewer->frameBitmap);
    ReleaseInterface(viewer->savedBitmap);
    viewer->windowTarget = windowTarget.Detach();
    viewer->composeTarget = composeTarget.Detach();
    viewer->window = window;
    // A failed rebuild leaves what it could draw; the worker meets the same failure at its
    // next step and ends, as it would have on the old surfaces. A still is composed again by
    // the next paint.
    viewer->RebuildComposition();
    return true;
}

}  // namespace

INT32 AttachWindow(TavorenGif* viewer, HWND window) {
    // One factory for the viewer's surfaces: its lock is the one the worker and the paints
    // share, so a second attach keeps it.
    if (!viewer->d2dFactory && FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED,
                                                        IID_PPV_ARGS(&viewer->d2dFactory)))) {
        return -1;
    }
    if (viewer->windowTarget) {
        if (window == viewer->window) return 0;
        return MoveToWindow(viewer, window) ? 0 : -1;
    }
    viewer->window = window;
    ComPtr<ID2D1HwndRenderTarget> windowTarget;
    ComPtr<ID2D1BitmapRenderTarget> composeTarget;
    if (!CreateSurfaces(viewer, window, &windowTarget, &composeTarget)) {
        return -1;
    }
    viewer->windowTarget = windowTarget.Detach();
    viewer->composeTarget = composeTarget.Detach();
    return 0;
}
