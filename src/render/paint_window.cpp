// Render, PaintWindow and ResizeSurface: the composed picture painted into the host window,
// turned by the rotation about the centre of the destination.
#include <wrl/client.h>

#include <utility>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"
#include "render/drawing_lock.h"

using Microsoft::WRL::ComPtr;

namespace {

// The part of the displayed (turned) picture that `source` names, in canvas pixels.
D2D1_RECT_F CanvasSource(const RECT& s, INT rotation, UINT width, UINT height) {
    // 64-bit differences: a hostile rectangle must not overflow.
    const INT64 w = width, h = height;
    auto f = [](INT64 v) { return static_cast<FLOAT>(v); };
    switch (rotation) {
        case 90:
            return D2D1::RectF(f(s.top), f(h - s.right), f(s.bottom), f(h - s.left));
        case 180:
            return D2D1::RectF(f(w - s.right), f(h - s.bottom), f(w - s.left), f(h - s.top));
        case 270:
            return D2D1::RectF(f(w - s.bottom), f(s.left), f(w - s.top), f(s.right));
        default:
            return D2D1::RectF(f(s.left), f(s.top), f(s.right), f(s.bottom));
    }
}

}  // namespace

INT32 Render(TavorenGif* viewer, UINT_PTR /*unused*/, const RECT* sourceRect, const RECT* destRect,
             BYTE interpolation) {
    return viewer->PaintWindow(sourceRect, destRect, interpolation);
}

INT32 TavorenGif::PaintWindow(const RECT* sourceRect, const RECT* destRect, BYTE interpolation) {
    if (!windowTarget || !composeTarget) return 0;
    if (!sourceRect || !destRect) return -1;
    if (windowTarget->CheckWindowState() & D2D1_WINDOW_STATE_OCCLUDED) return 0;
    // The composition surface as a whole frame: the worker's step waits for the paint.
    const DrawingLock whole(d2dFactory);

    // A single frame is not played by a worker: it is composed here, once.
    if (frameCount == 1 && !ComposeStill()) return -1;

    ComPtr<ID2D1Bitmap> picture;
    if (FAILED(composeTarget->GetBitmap(picture.GetAddressOf()))) return 0;
    windowTarget->BeginDraw();

    const RECT& d = *destRect;
    const D2D1_POINT_2F centre = D2D1::Point2F(
        static_cast<FLOAT>(d.left) + static_cast<FLOAT>(INT64{d.right} - d.left) * 0.5f,
        static_cast<FLOAT>(d.top) + static_cast<FLOAT>(INT64{d.bottom} - d.top) * 0.5f);
    D2D1::Matrix3x2F transform = D2D1::Matrix3x2F::Rotation(static_cast<FLOAT>(rotation), centre);
    windowTarget->SetTransform(&transform);
    // The destination in the drawing's own, unturned coordinates.
    transform.Invert();
    const D2D1_POINT_2F topLeft = transform.TransformPoint(
        D2D1::Point2F(static_cast<FLOAT>(d.left), static_cast<FLOAT>(d.top)));
    const D2D1_POINT_2F bottomRight = transform.TransformPoint(
        D2D1::Point2F(static_cast<FLOAT>(d.right), static_cast<FLOAT>(d.bottom)));
    // The turn reverses one or both pairs of edges; in order, the drawn picture fills the
    // destination turned clockwise, instead of whatever a reversed rectangle would give.
    D2D1_RECT_F destination = D2D1::RectF(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
    if (destination.left > destination.right) std::swap(destination.left, destination.right);
    if (destination.top > destination.bottom) std::swap(destination.top, destination.bottom);
    const D2D1_RECT_F source = CanvasSource(*sourceRect, rotation, width, height);

    const D2D1_COLOR_F host = ReadColor(hostBackgroundColor);
    windowTarget->Clear(&host);
    windowTarget->DrawBitmap(picture.Get(), &destination, 1.0f,
                             static_cast<D2D1_BITMAP_INTERPOLATION_MODE>(interpolation), &source);
    windowTarget->EndDraw();
    return 0;
}

void TavorenGif::ResizeSurface(UINT clientWidth, UINT clientHeight) {
    if (!windowTarget) return;
    const D2D1_SIZE_U size = D2D1::SizeU(clientWidth, clientHeight);
    windowTarget->Resize(&size);
}
