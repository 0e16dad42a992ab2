#include "app/tray_icon_win32.h"

#include <cwchar>
#include <utility>

namespace calmirande {

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, UINT_PTR retryTimerId, UniqueIcon icon,
                   const wchar_t* tooltip) noexcept
    : owner_(owner),
      retryTimerId_(retryTimerId),
      taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")),
      icon_(std::move(icon)) {
    // The size Windows 2000 and later all accept; nothing newer is used.
    data_.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data_.hWnd = owner;
    data_.uID = 1;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon_.get();
    std::wcsncpy(data_.szTip, tooltip, sizeof data_.szTip / sizeof data_.szTip[0] - 1);
}

TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::addToArea() noexcept {
    if (::Shell_NotifyIconW(NIM_ADD, &data_)) return true;
    // A busy shell may time out and add the icon all the same: if it is
    // there, changing it succeeds.
    return ::Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
}

void TrayIcon::carryOut(TrayIconStep step) noexcept {
    // An add answers at once; its result may ask for a retry, never for another add.
    if (step.addIcon) step = presence_.addFinished(addToArea());
    if (step.retryAfterMs != 0) {
        ::SetTimer(owner_, retryTimerId_, step.retryAfterMs, nullptr);
    } else {
        ::KillTimer(owner_, retryTimerId_);
    }
}

bool TrayIcon::show() noexcept {
    carryOut(presence_.start());
    return presence_.shown();
}

bool TrayIcon::handleMessage(UINT message, WPARAM wParam) noexcept {
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        carryOut(presence_.taskbarCreated());
        return true;
    }
    if (message == WM_TIMER && wParam == retryTimerId_) {
        carryOut(presence_.retryTimerFired());
        return true;
    }
    return false;
}

void TrayIcon::remove() noexcept {
    if (owner_ && ::IsWindow(owner_)) ::KillTimer(owner_, retryTimerId_);
    if (presence_.shown()) {
        ::Shell_NotifyIconW(NIM_DELETE, &data_);
        // Nothing is left to delete, whatever the shell answered.
        presence_ = TrayIconPresence();
    }
}

}  // namespace calmirande
