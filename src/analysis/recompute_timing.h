// The total duration and the play position again, after the timing rule was switched.
#pragma once

class TavorenGif;

// Holds a playing worker while the frames' metadata is walked under the rule now in force,
// tells the host window (VM_NOTIFY, 5), then lets the worker go on. A stopped viewer stays
// stopped and a paused one paused.
void RecomputeTiming(TavorenGif* viewer);
