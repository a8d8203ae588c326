// The module's reference to itself over a context menu's modal loop. Inside the loop the host
// may destroy the viewer and unload the module; the menu's code still has to return through
// the module, so the menu holds a reference (GetModuleHandleExW, as the playback worker does)
// from before its tracking until after the module's last instruction of that right click.
//
// How it is given back after the last instruction: the record's message entry is a stub that
// calls HandleMessage and then, when a menu of that call saw its viewer destroyed, ends by
// jumping (not calling) to FreeLibrary with the host's return address still on the stack. So
// FreeLibrary returns straight to the host, and when it unmaps the module no instruction of
// the module is left to run. The host then receives FreeLibrary's result (nonzero) for that
// right click, instead of 0. A menu whose viewer survives gives its reference back at once:
// the host keeps the module while a viewer exists.
#pragma once

#include <windows.h>

class TavorenGif;

// The record's message entry, TavorenHandleMessageEntry, is declared with the other entry
// points (module/entry_points.h).

// A reference to the module for the menu about to be tracked; null when none could be had.
HMODULE HoldModuleForMenu();
// Gives the menu's reference back: at once when `viewerDestroyed` is false; otherwise as the
// tail of the entry stub's call when the menu was opened through it, and at once when it was
// not (the caller is then code linked with the module's, which no unload can take away).
void GiveBackModuleAfterMenu(HMODULE module, bool viewerDestroyed);
