#include "app/tray_menu_win32.h"

#include <string>

#include "common/wide_win32.h"

namespace calmirande {

UniqueMenu createTrayMenu(const TrayMenu& model) noexcept {
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return menu;
    try {
        for (const TrayMenuItem& item : model.items) {
            if (item.separator) {
                ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const std::wstring text = toWide(item.text);
            UINT flags = MF_STRING;
            if (item.checked) flags |= MF_CHECKED;
            if (!item.enabled) flags |= MF_GRAYED;
            ::AppendMenuW(menu.get(), flags, item.id, text.c_str());
        }
    } catch (...) {
        // Whatever was appended stays: a shorter menu is still a menu.
    }
    return menu;
}

// The Windows 2000 layout (with hbmpItem), which every later Windows takes;
// MIIM_STRING needs it.
static_assert(sizeof(MENUITEMINFOW) == (sizeof(void*) == 4 ? 48 : 80));

void updateTrayMenu(HMENU menu, const TrayMenu& model) noexcept {
    if (!menu) return;
    try {
        for (const TrayMenuItem& item : model.items) {
            if (item.separator) continue;
            std::wstring text = toWide(item.text);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STRING | MIIM_STATE;
            info.fState = (item.checked ? MFS_CHECKED : MFS_UNCHECKED) | (item.enabled ? MFS_ENABLED : MFS_GRAYED);
            info.dwTypeData = text.data();
            ::SetMenuItemInfoW(menu, item.id, FALSE, &info);
        }
    } catch (...) {
    }
}

void showTrayMenu(HWND owner, HMENU menu) noexcept {
    if (!menu) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(owner);
    ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x - 1, cursor.y - 1, 0, owner, nullptr);
    // The next click elsewhere must reach the menu's loop to close it again:
    // a message of our own after TrackPopupMenu, as the shell requires.
    ::PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace calmirande
