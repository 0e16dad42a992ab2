#include "editor/modal_child_win32.h"

#include "common/app_messages_win32.h"
#include "common/modal_filter.h"
#include "engine/input_hooks_win32.h"

namespace calmirande {

RECT modalChildFrame(HWND owner, DWORD style, int innerWidth, int innerHeight, bool centreOnOwner) noexcept {
    RECT frame{0, 0, innerWidth, innerHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT around{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (centreOnOwner && owner) ::GetWindowRect(owner, &around);
    const int x = around.left + (around.right - around.left - width) / 2;
    const int y = around.top + (around.bottom - around.top - height) / 2;
    return RECT{x, y, x + width, y + height};
}

void runModalLoop(HWND child, const bool& finished, bool dialogKeys) noexcept {
    MSG message;
    while (!finished && ::IsWindow(child)) {
        const BOOL got = ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
        runPendingHookWork();
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
