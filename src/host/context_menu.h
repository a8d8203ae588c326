// The right-click menu: built from the viewer's state at each press, tracked modally on the
// window thread, destroyed, and its command carried out.
#pragma once

#include <windows.h>

#include "module/viewer_teardown.h"

class TavorenGif;

// The command ids of the menu's items.
enum MenuCommand : UINT {
    kMenuPlay = 1,
    kMenuPause = 2,
    kMenuStop = 3,
    kMenuStep = 4,
    kMenuIeTiming = 5,
    kMenuBackground = 6,
};

// One menu on screen, kept on the stack of the ShowContextMenu that tracks it. The host may
// call the entry points from inside the menu's modal loop, a right click included, so menus
// nest: each one links to the one it opened inside of.
struct OpenMenu {
    HMENU menu;
    OpenMenu* outer;
    bool ended;            // by a teardown meanwhile (EndMenu)
    bool viewerDestroyed;  // DestroyInstance came meanwhile: the viewer goes once all close
};

// Opens the menu at (x, y), client coordinates of the viewer's window; always 0.
INT32 ShowContextMenu(TavorenGif* viewer, UINT x, UINT y);

// EndOpenMenus and DeferDestructionWhileMenusAreOpen, for the viewer's teardown:
// module/viewer_teardown.h.
