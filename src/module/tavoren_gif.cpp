// Creation, teardown and destruction of the viewer object.
#include "module/tavoren_gif.h"

#include <new>

#include "module/entry_points.h"
#include "module/release_interface.h"
#include "module/viewer_teardown.h"

TavorenGif* CreateInstance(void* /*unused*/) {
    // Value-initialised: every count, flag, handle and colour starts at zero. Without memory
    // the host gets a null viewer rather than an exception across its boundary.
    return new (std::nothrow) TavorenGif();
}

void DestroyInstance(TavorenGif* viewer) {
    if (!viewer) return;
    // From inside a context menu's modal loop: everything goes now, as the host may free its
    // window next, but the object stays until that menu's tracking has returned into it.
    if (viewer->openMenus) {
        viewer->ReleaseResources();
        DeferDestructionWhileMenusAreOpen(viewer);
        return;
    }
    delete viewer;
}

TavorenGif::~TavorenGif() {
    ReleaseResources();
}

void TavorenGif::ReleaseResources() {
    EndOpenMenus(this);
    StopPlayback(this);
    paused = false;
    ReleaseInterface(d2dFactory);
    ReleaseInterface(windowTarget);
    ReleaseInterface(composeTarget);
    ReleaseInterface(frameBitmap);
    ReleaseInterface(savedBitmap);
    composedFrames = 0;
    ReleaseInterface(wicFactory);
    ReleaseInterface(decoder);
}

D2D1_COLOR_F TavorenGif::ReadColor(const D2D1_COLOR_F& color) const {
    std::lock_guard<std::mutex> guard(colorLock);
    return color;
}

void TavorenGif::WriteColor(D2D1_COLOR_F& color, const D2D1_COLOR_F& value) {
    std::lock_guard<std::mutex> guard(colorLock);
    color = value;
}
