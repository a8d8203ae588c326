// ComposeNextFrame: the playback worker's step from one frame to the next, the one order in
// which the composition surface is built, also taken by the tests and the fuzzer.
#include "module/tavoren_gif.h"

bool TavorenGif::ComposeNextFrame() {
    // Without either surface there is nothing to draw on: the worker ends here.
    if (!windowTarget || !composeTarget) return false;
    // Frame 0 too: after a load `disposal` undoes nothing, and a wrap undoes the last frame
    // before frame 0 clears the canvas anyway.
    return ApplyDisposal() && ComposeFrame();
}
