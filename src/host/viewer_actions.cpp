// The display options and the stop that keys and menu commands share.
#include "host/viewer_actions.h"

#include "analysis/recompute_timing.h"
#include "module/tavoren_gif.h"
#include "playback/transport.h"

namespace {

// Without a window, as before AttachWindow, there is nothing to repaint: a null window would
// make InvalidateRect repaint every window of the desktop.
void Repaint(TavorenGif* viewer) {
    if (const HWND window = viewer->window) InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

void ToggleBackground(TavorenGif* viewer) {
    viewer->useImageBackground = !viewer->useImageBackground;
    viewer->WriteColor(viewer->backgroundColor,
                       viewer->ReadColor(viewer->useImageBackground ? viewer->imageBackgroundColor
                                                                    : viewer->hostBackgroundColor));
    Repaint(viewer);
}

void ToggleIeTiming(TavorenGif* viewer) {
    viewer->ieTiming = !viewer->ieTiming;
    RecomputeTiming(viewer);
}

void StopAndShowRewound(TavorenGif* viewer) {
    StopPlayback(viewer);
    viewer->stepRequested = false;
    Repaint(viewer);
}
