// ShowContextMenu: the items offered for the image at hand, and their commands.
#include "host/context_menu.h"

#include "host/menu_module_reference.h"
#include "host/viewer_actions.h"
#include "module/tavoren_gif.h"
#include "playback/transport.h"

namespace {

void AppendItems(const TavorenGif* viewer, HMENU menu) {
    const bool animated = viewer->frameCount > 1;
    if (animated) {
        if (viewer->running && !viewer->paused) {
            AppendMenuW(menu, MF_STRING, kMenuPause, TEXT("&Pause"));
        } else {
            AppendMenuW(menu, MF_STRING, kMenuPlay, TEXT("&Play"));
        }
        if (viewer->running) AppendMenuW(menu, MF_STRING, kMenuStop, TEXT("&Stop"));
        AppendMenuW(menu, MF_STRING, kMenuStep, TEXT("FrameS&tep"));
        if (viewer->hasShortDelays) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, viewer->ieTiming ? MF_CHECKED : MF_STRING, kMenuIeTiming,
                        TEXT("&IE互換タイミング"));
        }
    }
    if (viewer->isTransparent) {
        if (animated) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, viewer->useImageBackground ? MF_STRING : MF_CHECKED, kMenuBackground,
                    TEXT("Pelmの背景色を使う(&G)"));
    }
}

void RunCommand(TavorenGif* viewer, UINT command) {
    switch (command) {
        case kMenuPlay:
            Play(viewer);
            break;
        case kMenuPause:
            PausePlayback(viewer);
            break;
        case kMenuStop:
            StopAndShowRewound(viewer);
            break;
        case kMenuStep:
            StepPlayback(viewer);
            break;
        case kMenuIeTiming:
            ToggleIeTiming(viewer);
            break;
        case kMenuBackground:
            ToggleBackground(viewer);
            break;
        default:  // dismissed, or an id the menu never had
            break;
    }
}

}  // namespace

INT32 ShowContextMenu(TavorenGif* viewer, UINT x, UINT y) {
    const HWND window = viewer->window;
    if (!IsWindow(window)) return 0;
    if (viewer->frameCount <= 1 && !viewer->isTransparent) return 0;  // nothing to offer
    const HMENU menu = CreatePopupMenu();
    if (!menu) return 0;

    // The handle is kept here as well as in `contextMenu`: a menu opened from inside this
    // one's modal loop replaces the field, and a teardown clears it, and this one must still
    // be destroyed.
    OpenMenu open{menu, viewer->openMenus, false, false};
    viewer->openMenus = &open;
    viewer->contextMenu = menu;
    AppendItems(viewer, menu);
    SetForegroundWindow(window);
    POINT at{static_cast<LONG>(x), static_cast<LONG>(y)};
    ClientToScreen(window, &at);
    // The host's entry points may run inside: a reload, or the viewer's destruction and then
    // the module's unload, which the module's own reference outlasts.
    const HMODULE module = HoldModuleForMenu();
    const UINT command =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD, at.x, at.y, 0, window, nullptr));

    DestroyMenu(menu);
    viewer->openMenus = open.outer;
    viewer->contextMenu = open.outer && !open.outer->ended ? open.outer->menu : nullptr;
    if (open.viewerDestroyed) {
        // Released already; only the outermost menu frees the object, once no menu's
        // tracking can return into it any more.
        if (!open.outer) delete viewer;
        GiveBackModuleAfterMenu(module, true);
        return 0;
    }
    RunCommand(viewer, command);
    GiveBackModuleAfterMenu(module, false);
    return 0;
}

void EndOpenMenus(TavorenGif* viewer) {
    if (!viewer->openMenus && viewer->contextMenu) DestroyMenu(viewer->contextMenu);
    // A menu destroyed while it is tracked does not end its modal loop: the popup could stay
    // on screen and a later choice act on whatever the viewer has become. So the loop is
    // ended (this runs on the window thread, which tracks the menu), and each menu is
    // destroyed by its ShowContextMenu once its tracking has returned (Wine takes the popup
    // window away with a destroyed menu, and the loop would never hear of its end).
    bool onScreen = false;
    for (OpenMenu* open = viewer->openMenus; open; open = open->outer) {
        onScreen = onScreen || !open->ended;
        open->ended = true;
    }
    if (onScreen) EndMenu();
    viewer->contextMenu = nullptr;
}

void DeferDestructionWhileMenusAreOpen(TavorenGif* viewer) {
    for (OpenMenu* open = viewer->openMenus; open; open = open->outer) {
        open->viewerDestroyed = true;
    }
}
