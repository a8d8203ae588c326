// Playback on a worker thread of the viewer's own, and the four transport operations that
// the window thread controls it with.
#pragma once

#include <windows.h>

#include "module/viewer_teardown.h"

class TavorenGif;

// Resumes a paused worker (the next frame comes at once) and cancels a step not yet taken,
// or starts a worker when the viewer has a window and more than one frame. Always 0.
INT32 Play(TavorenGif* viewer);
// What a pause found the worker doing, for a caller that gives it back afterwards.
enum class Interrupted { Nothing, Playing, Step };
// Lets the current frame run out its time, then holds it, and cancels a step not yet taken.
// Answers what the worker was doing just before: playing (not paused), or about to take a
// step; a worker that has been started but has not yet set `running` counts, and is held
// like one that has.
Interrupted PausePlayback(TavorenGif* viewer);
// Gives back what PausePlayback answered: Play for a worker that was playing, StepPlayback
// for one that had a step to take (the next frame is then shown and held); nothing else.
void ResumeAfterPause(TavorenGif* viewer, Interrupted interrupted);
// Shows the next frame at once and holds it; starts a worker when none runs. A step that can
// start none is dropped.
void StepPlayback(TavorenGif* viewer);
// StopPlayback, which the viewer's teardown calls too: module/viewer_teardown.h.

// The worker's body, and the start routine of its thread. The thread holds a reference to
// the module and a 1 ms timer resolution from its start to its end, and gives the reference
// back only as it exits, so that a host may unload the module the moment the viewer is
// destroyed.
void AnimationThread(TavorenGif* viewer);
DWORD WINAPI AnimationThreadStart(void* viewer);
