// ComposeStill: a picture of one frame is composed once, and again only when the background
// it was composed on changes; every other paint only draws the composition surface.
#include "module/release_interface.h"
#include "module/tavoren_gif.h"

namespace {

bool SameColour(const D2D1_COLOR_F& a, const D2D1_COLOR_F& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

}  // namespace

bool TavorenGif::ComposeStill() {
    const D2D1_COLOR_F background = ReadColor(backgroundColor);
    if (stillComposed && SameColour(background, stillBackground)) return true;
    stillComposed = false;
    frameRect = {};
    if (!DecodeFrame(currentFrame)) return false;
    // At its own place on the canvas; without a readable placement, at the origin.
    const bool placed = frameRect.right > frameRect.left && frameRect.bottom > frameRect.top;
    composeTarget->BeginDraw();
    composeTarget->Clear(&background);
    composeTarget->DrawBitmap(frameBitmap, placed ? &frameRect : nullptr, 1.0f,
                              D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    const bool drawn = SUCCEEDED(composeTarget->EndDraw());
    // The surface holds the picture now; the frame's own copy would only hold memory.
    ReleaseInterface(frameBitmap);
    if (!drawn) return false;
    stillBackground = background;
    stillComposed = true;
    return true;
}
