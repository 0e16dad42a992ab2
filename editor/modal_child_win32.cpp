#include "editor/modal_child_win32.h"

#include "common/app_messages_win32.h"
#include "common/base_window_win32.h"
#include "common/modal_filter.h"

namespace calmirande {

RECT modalChildFrame(HWND owner, DWORD style, int innerWidth, int innerHeight, bool centreOnOwner) noexcept {
    RECT around = primaryScreen();
    if (centreOnOwner && owner) ::GetWindowRect(owner, &around);
    return centredFrame(style, innerWidth, innerHeight, around);
}

void runModalLoop(HWND child, const bool& finished, bool dialogKeys) noexcept {
    MSG message;
    while (!finished && ::IsWindow(child)) {
        const BOOL got = ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
        if (!got) {
            ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        const bool forChild = message.hwnd && (message.hwnd == child || ::IsChild(child, message.hwnd));
        if (modalDisposition(message.message, forChild, WmTrayIcon) == ModalDisposition::Drop) continue;
        if (forChild && dialogKeys && ::IsDialogMessageW(child, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void endModal(HWND owner) noexcept {
    if (!owner) return;
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
}

}  // namespace calmirande
