// What a key and a menu command both do.
#pragma once

class TavorenGif;

// Between the image's own background colour and the host's, shown at once.
void ToggleBackground(TavorenGif* viewer);
// Between the normal and the IE-compatible minimum-delay rule; the times are recomputed.
void ToggleIeTiming(TavorenGif* viewer);
// Ends the worker, drops a pending step and repaints, also when no worker was running.
void StopAndShowRewound(TavorenGif* viewer);
