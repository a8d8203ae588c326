// AttachWindow: binds the viewer to the host window.
#include "module/entry_points.h"
#include "module/tavoren_gif.h"

INT32 AttachWindow(TavorenGif* /*viewer*/, HWND /*window*/) {
    // Without a drawing factory there is nothing to attach; the window stays unchanged.
    return -1;
}
