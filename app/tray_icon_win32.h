#pragma once
// The icon in the notification area, owned by a window of the program that
// receives its mouse messages. It is kept there for the whole run: added
// again when the shell re-creates its notification area ("TaskbarCreated")
// and retried on a timer of the owner while an add fails (TrayIconPresence
// decides when). Deleted from the area when this object goes. Main thread.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "app/tray_icon_presence.h"
#include "common/unique_handle_win32.h"

namespace calmirande {

class TrayIcon {
public:
    // `owner` (not owned) gets `callbackMessage` with the mouse message in
    // lParam, and WM_TIMER `retryTimerId` for the retries.
    TrayIcon(HWND owner, UINT callbackMessage, UINT_PTR retryTimerId, UniqueIcon icon, const wchar_t* tooltip) noexcept;
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The first add, at start-up. True when the icon is in the area now.
    bool show() noexcept;
    // The owner's messages: the shell's "TaskbarCreated" broadcast and the
    // retry timer. True when the message was one of these.
    bool handleMessage(UINT message, WPARAM wParam) noexcept;
    // Deletes it from the area, if it is there.
    void remove() noexcept;

    bool shown() const noexcept { return presence_.shown(); }

private:
    void carryOut(TrayIconStep step) noexcept;
    bool addToArea() noexcept;

    HWND owner_;  // we don't own it
    UINT_PTR retryTimerId_;
    UINT taskbarCreated_;
    UniqueIcon icon_;
    NOTIFYICONDATAW data_{};
    TrayIconPresence presence_;
};

}  // namespace calmirande
