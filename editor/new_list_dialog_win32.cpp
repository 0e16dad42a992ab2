#include "editor/new_list_dialog_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "common/base_window_win32.h"
#include "common/messages.h"
#include "common/wide_win32.h"
#include "editor/modal_child_win32.h"

namespace calmirande {
namespace {

constexpr wchar_t WindowClass[] = L"CalmirandeNewList";
constexpr int NameField = 100;
// A title bar without system menu or close box.
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;

class NewListDialog final : public BaseWindow<NewListDialog> {
public:
    explicit NewListDialog(const NewListNameCheck& accept) : accept_(accept) {}
    ~NewListDialog() override {
        if (hwnd()) ::DestroyWindow(hwnd());
    }

    bool open(HINSTANCE instance, HWND owner) {
        if (!registerClass(instance, WindowClass, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
        const RECT frame = modalChildFrame(owner, Style, 200, 100, false);
        const std::wstring title = toWide(messages::NewListTitle);
        if (!create(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, WindowClass, title.c_str(), Style, frame.left,
                    frame.top, frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance)) {
            return false;
        }
        const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
        const auto add = [&](const wchar_t* kind, std::u16string_view text, DWORD style, DWORD exStyle, int x, int y,
                             int width, int height, int id) {
            const HWND made = ::CreateWindowExW(exStyle, kind, toWide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x,
                                                y, width, height, hwnd(),
                                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
            if (made) ::SendMessageW(made, WM_SETFONT, font, FALSE);
            return made;
        };
        add(WC_STATICW, messages::NewListPrompt, 0, 0, 10, 10, 180, 30, -1);
        const HWND field = add(WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 10, 35, 180, 20,
                               NameField);
        // Enter is "Valider" and Escape "Annuler", as in any dialog.
        add(WC_BUTTONW, messages::NewListAccept, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 10, 70, 85, 20, IDOK);
        add(WC_BUTTONW, messages::NewListCancel, WS_TABSTOP | BS_PUSHBUTTON, 0, 105, 70, 85, 20, IDCANCEL);
        ::EnableWindow(owner, FALSE);
        ::ShowWindow(hwnd(), SW_SHOW);
        ::SetForegroundWindow(hwnd());
        if (field) ::SetFocus(field);
        return true;
    }

    const bool& finishedFlag() const { return finished_; }
    std::optional<std::u16string> takeName() { return std::move(name_); }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        try {
            if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == IDOK) {
                    onAccept();
                    return 0;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    finished_ = true;
                    return 0;
                }
            }
            if (message == WM_CLOSE) {
                finished_ = true;
                return 0;
            }
        } catch (...) {
            finished_ = true;
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    }

private:
    void onAccept() {
        const HWND field = ::GetDlgItem(hwnd(), NameField);
        std::u16string name = fromWide(windowText(field));
        if (!accept_(name)) {
            if (::IsWindow(field)) ::SetFocus(field);
            return;
        }
        name_ = std::move(name);
        finished_ = true;
    }

    const NewListNameCheck& accept_;
    bool finished_ = false;
    std::optional<std::u16string> name_;
};

}  // namespace

std::optional<std::u16string> askNewListName(HINSTANCE instance, HWND owner, const NewListNameCheck& accept) {
    NewListDialog dialog(accept);
    if (!serveModalChild(dialog, owner, [&] { return dialog.open(instance, owner); }, true)) return std::nullopt;
    return dialog.takeName();
}

}  // namespace calmirande
