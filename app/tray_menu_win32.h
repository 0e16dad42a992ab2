#pragma once
// The tray menu as Win32 shows it: a popup HMENU made from the TrayMenu
// model, brought up to date from it after every command, and shown at the
// cursor on a right press on the tray icon. Main thread only.

#include <windows.h>

#include "app/tray_menu.h"
#include "common/unique_handle_win32.h"

namespace calmirande {

// Null when the menu cannot be made: the tray icon then opens no menu.
UniqueMenu createTrayMenu(const TrayMenu& model) noexcept;

// Item 1's text and every check mark from the model; the items stay.
void updateTrayMenu(HMENU menu, const TrayMenu& model) noexcept;

// Brings `owner` to the foreground (else the menu would not close when the
// user clicks elsewhere), opens the menu at the cursor less one pixel each
// way, tracking the right button. The chosen item reaches `owner` as a
// WM_COMMAND with no control (lParam 0).
void showTrayMenu(HWND owner, HMENU menu) noexcept;

}  // namespace calmirande
