#include "common/message_box_win32.h"

#include <windows.h>

#include <vector>

#include "common/wide_win32.h"

namespace calmirande {
namespace {

// Disables this thread's visible, enabled top-level windows but `owner`
// (the box disables and enables that one itself) for its lifetime.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND owner) : owner_(owner) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &OtherWindowsDisabled::visit, reinterpret_cast<LPARAM>(this));
        for (HWND window : disabled_) ::EnableWindow(window, FALSE);
    }
    ~OtherWindowsDisabled() {
        for (HWND window : disabled_) {
            if (::IsWindow(window)) ::EnableWindow(window, TRUE);
        }
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK visit(HWND window, LPARAM self) noexcept {
        auto* me = reinterpret_cast<OtherWindowsDisabled*>(self);
        if (window != me->owner_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
            try {
                me->disabled_.push_back(window);
            } catch (...) {
                return FALSE;
            }
        }
        return TRUE;
    }

    HWND owner_;                  // we don't own any of these windows
    std::vector<HWND> disabled_;
};

int showBox(std::u16string_view text, std::u16string_view title, UINT buttons) {
    HWND owner = ::GetForegroundWindow();  // we don't own it
    DWORD process = 0;
    if (owner) ::GetWindowThreadProcessId(owner, &process);
    if (process != ::GetCurrentProcessId()) owner = nullptr;
    // A disabled window (a modal child's owner) cannot own the box; its active child can.
    if (owner && !::IsWindowEnabled(owner)) owner = ::GetLastActivePopup(owner);
    const OtherWindowsDisabled others(owner);
    return ::MessageBoxW(owner, toWide(text).c_str(), toWide(title).c_str(), buttons);
}

}  // namespace

void showMessage(std::u16string_view text, std::u16string_view title) { showBox(text, title, MB_OK); }

bool askYesNo(std::u16string_view text, std::u16string_view title, bool defaultNo) {
    return showBox(text, title, MB_YESNO | (defaultNo ? MB_DEFBUTTON2 : MB_DEFBUTTON1)) == IDYES;
}

}  // namespace calmirande
