// Popup menus: a menu is a list of items that lives until DestroyMenu. A handle is a number
// never given out twice, looked up in a registry, so a destroyed or made-up handle fails with
// ERROR_INVALID_MENU_HANDLE as on Windows, also once a new menu has the old one's memory.
//
// TrackPopupMenu hands a copy of the items to the owner window's menu tracker (the host's
// modal loop, tavoren_window.h), so the menu may be destroyed while it is on screen.
#include <windows.h>

#include <tavoren_platform_probe.h>
#include <tavoren_window.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/handle_registry.h"
#include "user/window.h"

namespace platform {
namespace {

struct PopupMenu {
    struct Item {
        UINT flags;
        UINT_PTR id;
        std::vector<WCHAR> label;  // with its terminating zero; empty for a separator
    };
    std::vector<Item> items;
};

std::mutex menuLock;
std::atomic<long> menusEnded{0};

// A menu that this thread tracks now, innermost last. Windows tracks one menu a thread at a
// time; a Linux host's loop may open another inside, and EndMenu ends them all.
struct Tracking {
    HWND owner;
    bool ended;
};
thread_local std::vector<Tracking*> trackings;

// Guarded by menuLock.
HandleRegistry<PopupMenu, HMENU>& Menus() {
    static HandleRegistry<PopupMenu, HMENU> menus;
    return menus;
}

// The live menu that `handle` names, or null with ERROR_INVALID_MENU_HANDLE; under menuLock.
PopupMenu* FindMenu(HMENU handle) {
    return Menus().Find(handle, ERROR_INVALID_MENU_HANDLE);
}

// What a user can choose: an item that is neither a separator nor greyed.
bool Choosable(const std::vector<PopupMenu::Item>& items, UINT_PTR id) {
    for (const auto& item : items) {
        if (item.id == id && !(item.flags & (MF_SEPARATOR | MF_GRAYED))) return true;
    }
    return false;
}

}  // namespace
}  // namespace platform

using platform::FindMenu;
using platform::menuLock;
using platform::PopupMenu;

extern "C" HMENU CreatePopupMenu(void) {
    auto menu = std::make_unique<PopupMenu>();
    std::lock_guard lock(menuLock);
    return platform::Menus().Add(std::move(menu));
}

extern "C" BOOL DestroyMenu(HMENU handle) {
    std::unique_ptr<PopupMenu> menu;
    {
        std::lock_guard lock(menuLock);
        if (!FindMenu(handle)) return FALSE;
        menu = platform::Menus().Remove(handle);  // freed outside the lock
    }
    return TRUE;
}

// AppendMenuW for the item kinds a popup menu of strings needs: a string (with its check and
// grey state) or a separator. Owner-drawn items, bitmaps and submenus are refused.
extern "C" BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR id, LPCWSTR text) {
    constexpr UINT kUnsupported = MF_POPUP | MF_BITMAP | MF_OWNERDRAW;
    if (flags & kUnsupported) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PopupMenu::Item item{flags, id, {}};
    if (!(flags & MF_SEPARATOR)) {
        if (!text) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        size_t length = 0;
        while (text[length]) ++length;
        item.label.assign(text, text + length + 1);
    }
    std::lock_guard lock(menuLock);
    PopupMenu* menu = FindMenu(handle);
    if (!menu) return FALSE;
    menu->items.push_back(std::move(item));
    return TRUE;
}

// TrackPopupMenu: the owner's tracker runs the modal loop on the calling thread and answers
// the chosen id or 0. With TPM_RETURNCMD that id is the result; otherwise a choice is posted
// to the owner as WM_COMMAND and the result is TRUE.
extern "C" BOOL TrackPopupMenu(HMENU handle, UINT flags, int x, int y, int /*reserved*/, HWND owner,
                               const RECT* /*excludeRect*/) {
    std::vector<PopupMenu::Item> items;
    {
        std::lock_guard lock(menuLock);
        PopupMenu* menu = FindMenu(handle);
        if (!menu) return FALSE;
        items = menu->items;
    }
    std::vector<TavorenMenuItem> shown;
    shown.reserve(items.size());
    for (const auto& item : items) {
        shown.push_back({item.flags, item.id, item.label.empty() ? nullptr : item.label.data()});
    }
    UINT_PTR chosen = 0;
    platform::Tracking tracking{owner, false};
    platform::trackings.push_back(&tracking);
    const BOOL tracked = platform::TrackWindowMenu(owner, shown.data(),
                                                   static_cast<int>(shown.size()), x, y, &chosen);
    platform::trackings.erase(
        std::find(platform::trackings.begin(), platform::trackings.end(), &tracking));
    if (!tracked) return FALSE;
    // A user can only choose what the menu offers, and nothing once it has been ended.
    if (tracking.ended || !platform::Choosable(items, chosen)) chosen = 0;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen) PostMessageW(owner, WM_COMMAND, chosen, 0);
    return TRUE;
}

// The tracker is asked to close the menu; whatever it answers after, TrackPopupMenu returns 0.
extern "C" BOOL EndMenu(void) {
    for (platform::Tracking* tracking : platform::trackings) {
        if (tracking->ended) continue;
        tracking->ended = true;
        ++platform::menusEnded;
        platform::EndWindowMenu(tracking->owner);
    }
    return TRUE;
}

extern "C" long TavorenMenusEnded(void) {
    return platform::menusEnded;
}

extern "C" long TavorenLiveMenus(void) {
    std::lock_guard lock(menuLock);
    return static_cast<long>(platform::Menus().size());
}
