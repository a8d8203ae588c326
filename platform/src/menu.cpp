// Popup menus: a menu is a list of items that lives until DestroyMenu.
#include <windows.h>

#include <vector>

namespace platform {

struct PopupMenu {
    struct Item {
        UINT flags;
        UINT_PTR id;
        std::vector<WCHAR> label;
    };
    std::vector<Item> items;
};

}  // namespace platform

extern "C" HMENU CreatePopupMenu(void) {
    return reinterpret_cast<HMENU>(new platform::PopupMenu());
}

extern "C" BOOL DestroyMenu(HMENU menu) {
    if (!menu) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete reinterpret_cast<platform::PopupMenu*>(menu);
    return TRUE;
}
