// What the stand-in's drawing asks of a window registered through tavoren_window.h.
#pragma once

#include <windows.h>

#include <tavoren_window.h>

namespace platform {

// Hands a finished frame to the window's `present`; FALSE when the handle names no window.
BOOL PresentToWindow(HWND window, const BYTE* pixels, int width, int height, int stride);
// Whether the window's `occluded` says nothing of it shows; FALSE for a handle that names no
// window.
BOOL WindowOccluded(HWND window);
// Runs the window's menu tracker with `items` at the screen point; `chosen` gets its answer
// (0 when the window has no tracker). FALSE when the handle names no window.
BOOL TrackWindowMenu(HWND window, const TavorenMenuItem* items, int count, int x, int y,
                     UINT_PTR* chosen);
// Asks the window's menu tracker to close the menu it shows; nothing for a handle that names
// no window.
void EndWindowMenu(HWND window);

}  // namespace platform
