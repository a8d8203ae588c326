// AttachWindow: the drawing factory, the window surface and the composition surface for the
// host's window.
#include "module/entry_points.h"
#include "module/release_interface.h"
#include "module/tavoren_gif.h"

INT32 AttachWindow(TavorenGif* viewer, HWND window) {
    ID2D1Factory* factory = nullptr;
    // Multi-threaded: the worker composes while the window thread paints, call by call.
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, IID_PPV_ARGS(&factory)))) {
        return -1;
    }
    // A second attach replaces the factory; the surfaces hold their own references to theirs.
    ReleaseInterface(viewer->d2dFactory);
    viewer->d2dFactory = factory;
    viewer->window = window;
    if (viewer->windowTarget) return 0;

    RECT client{};
    GetClientRect(window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES targetProperties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96.0f, 96.0f);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties = D2D1::HwndRenderTargetProperties(
        window, D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                            static_cast<UINT32>(client.bottom - client.top)));
    if (FAILED(factory->CreateHwndRenderTarget(&targetProperties, &windowProperties,
                                               &viewer->windowTarget))) {
        return -1;
    }
    // Without a composition surface nothing could ever be shown: the attach fails whole, so
    // that a later one tries again rather than finding a window surface and answering 0.
    if (!viewer->CreateCompositionSurface()) {
        ReleaseInterface(viewer->windowTarget);
        return -1;
    }
    return 0;
}
