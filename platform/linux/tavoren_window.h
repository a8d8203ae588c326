/* The window a Linux host lends the module: a small C interface that the host implements
 * and registers, and that the stand-in's window functions (GetClientRect, InvalidateRect,
 * PostMessageW, IsWindow, ClientToScreen, TrackPopupMenu, EndMenu) and its window render target
 * call. On Windows the module gets a real HWND instead; it never knows which host it runs in. */
#pragma once

#include <stdint.h>

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TavorenMenuItem {
    UINT flags; /* MF_STRING, MF_SEPARATOR, MF_CHECKED, MF_GRAYED as AppendMenuW got them */
    UINT_PTR id;
    const WCHAR* label; /* null for a separator */
} TavorenMenuItem;

typedef struct TavorenWindowCallbacks {
    void* context;
    /* Client area size in pixels. */
    void (*clientSize)(void* context, int* width, int* height);
    /* Screen position of the client area's top-left corner. */
    void (*clientOrigin)(void* context, int* x, int* y);
    /* Asks for a paint; callable from any thread. */
    void (*invalidate)(void* context);
    /* Queues a message for the window's thread; callable from any thread. Non-zero on success. */
    int (*post)(void* context, UINT message, WPARAM wParam, LPARAM lParam);
    /* Shows a finished frame: top-down 32-bit premultiplied BGRA, `stride` bytes a row. */
    void (*present)(void* context, const BYTE* pixels, int width, int height, int stride);
    /* Non-zero while nothing of the window can be seen. */
    int (*occluded)(void* context);
    /* Runs the host's modal menu at a screen point; answers the chosen id, or 0. */
    UINT_PTR (*trackMenu)(void* context, const TavorenMenuItem* items, int count, int x, int y);
    /* Closes the menu that trackMenu shows now (EndMenu); called on trackMenu's thread, from
     * inside its modal loop. Its answer is then ignored. May be null. */
    void (*endMenu)(void* context);
} TavorenWindowCallbacks;

/* Registers a window; the callbacks must stay valid until TavorenDestroyWindow. */
HWND TavorenCreateWindow(const TavorenWindowCallbacks* callbacks);
/* From then on IsWindow answers FALSE and the window's functions do nothing. */
void TavorenDestroyWindow(HWND window);

#ifdef __cplusplus
}
#endif
