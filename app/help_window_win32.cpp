#include "app/help_window_win32.h"

#include <algorithm>
#include <string>

#include "app/documents.h"
#include "app/rich_text_win32.h"
#include "common/messages.h"
#include "common/wide_win32.h"

namespace calmirande {
namespace {

constexpr wchar_t WindowClass[] = L"CalmirandeHelp";
constexpr int ClientWidth = 680;
constexpr int ClientHeight = 480;
constexpr int Margin = 10;
constexpr int FieldId = 340;

}  // namespace

HelpWindow::~HelpWindow() {
    if (hwnd()) ::DestroyWindow(hwnd());
}

bool HelpWindow::open(HINSTANCE instance) noexcept {
    if (isOpen()) return true;
    if (!registerClass(instance, WindowClass, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
    constexpr DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    try {
        const std::wstring title = toWide(messages::HelpTitle);
        if (!createCentred(WindowClass, title.c_str(), Style, ClientWidth, ClientHeight, instance)) return false;
    } catch (...) {
        return false;
    }
    field_ = createRichTextField(hwnd(), Margin, Margin, ClientWidth - 2 * Margin, ClientHeight - 2 * Margin, FieldId,
                                 helpDocument());
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::UpdateWindow(hwnd());
    // The keys and the wheel scroll the text from the start.
    if (field_) ::SetFocus(field_);
    return true;
}

bool HelpWindow::takesDialogKey(const MSG& message) noexcept {
    if (!isOpen() || message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE) return false;
    if (message.hwnd != hwnd() && !::IsChild(hwnd(), message.hwnd)) return false;
    ::DestroyWindow(hwnd());
    return true;
}

LRESULT HelpWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_SIZE:
            // After a resize, a maximise or a restore; a minimise leaves the field as it was.
            if (wParam != SIZE_MINIMIZED && field_) {
                const int width = std::max(0, static_cast<int>(LOWORD(lParam)) - 2 * Margin);
                const int height = std::max(0, static_cast<int>(HIWORD(lParam)) - 2 * Margin);
                ::MoveWindow(field_, Margin, Margin, width, height, TRUE);
            }
            return 0;
        case WM_SETFOCUS:
            // Activated again: the focus goes back into the text.
            if (field_) ::SetFocus(field_);
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(hwnd());
            return 0;
        case WM_DESTROY:
            field_ = nullptr;
            return 0;
        default:
            return defaultHandling(message, wParam, lParam);
    }
}

}  // namespace calmirande
