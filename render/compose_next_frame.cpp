// ComposeNextFrame: the playback worker's step from one frame to the next, the one order in
// which the composition surface is built, also taken by the tests and the fuzzer.
#include "module/tavoren_gif.h"
#include "render/drawing_lock.h"

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
