// What the viewer's teardown asks of the parts that run beside it: the worker (playback/) and
// the menus on screen (host/). Declared here, at the base, so that the viewer object depends
// on nothing above it; each is defined where the state it ends lives.
#pragma once

class TavorenGif;

// Ends the worker and returns once it has stopped touching the viewer.
void StopPlayback(TavorenGif* viewer);

// Ends the modal loop of every menu the viewer has on screen, each of which its
// ShowContextMenu destroys as its tracking returns, and clears `contextMenu`.
void EndOpenMenus(TavorenGif* viewer);

// For DestroyInstance while a menu is on screen: the viewer is then freed by the outermost
// ShowContextMenu once its TrackPopupMenu has returned. Its resources are released before,
// by the caller.
void DeferDestructionWhileMenusAreOpen(TavorenGif* viewer);
