#include "app/message_box_win32.h"

#include <windows.h>

#include "common/wide_win32.h"

namespace calmirande {

void showMessage(std::u16string_view text, std::u16string_view title) {
    HWND owner = ::GetForegroundWindow();  // we don't own it
    DWORD process = 0;
    if (owner) ::GetWindowThreadProcessId(owner, &process);
    if (process != ::GetCurrentProcessId()) owner = nullptr;
    ::MessageBoxW(owner, toWide(text).c_str(), toWide(title).c_str(), MB_OK);
}

}  // namespace calmirande
