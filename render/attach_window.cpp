// AttachWindow: the drawing factory, the window surface and the canvas-sized composition
// surface for the host's window, and the move of both to another window.
#include <wrl/client.h>

#include "module/entry_points.h"
#include "module/release_interface.h"
#include "module/tavoren_gif.h"
#include "render/drawing_lock.h"

using Microsoft::WRL::ComPtr;

namespace {

// The window surface at the window's client size, and the composition surface compatible with
// it. A canvas the device cannot hold leaves no composition surface: painting and playback
// then draw nothing. Fails only when the window surface cannot be made.
bool CreateSurfaces(ID2D1Factory* factory, HWND window, UINT width, UINT height,
                    ComPtr<ID2D1HwndRenderTarget>* windowTarget,
                    ComPtr<ID2D1BitmapRenderTarget>* composeTarget) {
    RECT client{};
    GetClientRect(window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES targetProperties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96.0f, 96.0f);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties = D2D1::HwndRenderTargetProperties(
        window, D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                            static_cast<UINT32>(client.bottom - client.top)));
    if (FAILED(factory->CreateHwndRenderTarget(&targetProperties, &windowProperties,
                                               windowTarget->ReleaseAndGetAddressOf()))) {
        return false;
    }
    const D2D1_SIZE_F canvas = D2D1::SizeF(static_cast<FLOAT>(width), static_cast<FLOAT>(height));
    (*windowTarget)
        ->CreateCompatibleRenderTarget(&canvas, nullptr, nullptr,
                                       D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                       composeTarget->ReleaseAndGetAddressOf());
    return true;
}

// Binds the surfaces to another window while the viewer plays or holds a picture. What a
// window surface made belongs to it (Direct2D draws a bitmap only on the target that made it
// and those compatible with it), so the composition surface is made anew beside the new
// window surface and the picture rebuilt on it, frame by frame as it was composed; the frame
// on screen, the position and the playback go on. Under the drawing lock, so that the worker
// steps on the old surfaces or on the new ones. False, with nothing changed, when the new
// window surface cannot be made.
bool MoveToWindow(TavorenGif* viewer, HWND window) {
    ComPtr<ID2D1HwndRenderTarget> windowTarget;
    ComPtr<ID2D1BitmapRenderTarget> composeTarget;
    if (!CreateSurfaces(viewer->d2dFactory, window, viewer->width, viewer->height, &windowTarget,
                        &composeTarget)) {
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
    // next step and ends, as it would have on the old surfaces.
    if (viewer->composeTarget) viewer->RebuildComposition();
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
    if (!CreateSurfaces(viewer->d2dFactory, window, viewer->width, viewer->height, &windowTarget,
                        &composeTarget)) {
        return -1;
    }
    viewer->windowTarget = windowTarget.Detach();
    viewer->composeTarget = composeTarget.Detach();
    return 0;
}
