// Playback on a worker thread of the viewer's own, and the four transport operations that
// the window thread controls it with.
#pragma once

#include <windows.h>

class TavorenGif;

// Resumes a paused worker (the next frame comes at once), or starts one when the viewer has
// a window and more than one frame. Always 0.
INT32 Play(TavorenGif* viewer);
// Lets the current frame run out its time, then holds it.
void PausePlayback(TavorenGif* viewer);
// PausePlayback, answering whether a worker was playing (running, not paused) just before.
// One step against the worker: one that sets `running` meanwhile is either held and counted
// as playing, or neither.
bool HoldPlayback(TavorenGif* viewer);
// Shows the next frame at once and holds it; starts a worker when none runs.
void StepPlayback(TavorenGif* viewer);
// Ends the worker and returns once it has stopped touching the viewer.
void StopPlayback(TavorenGif* viewer);

// The worker's body, and the start routine of its thread. The thread holds a reference to
// the module and a 1 ms timer resolution from its start to its end, and gives the reference
// back only as it exits, so that a host may unload the module the moment the viewer is
// destroyed.
void AnimationThread(TavorenGif* viewer);
DWORD WINAPI AnimationThreadStart(void* viewer);
