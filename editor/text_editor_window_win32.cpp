#include "editor/text_editor_window_win32.h"

#include <algorithm>

#include "common/base_window_win32.h"
#include "common/messages.h"
#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "editor/modal_child_win32.h"
#include "editor/text_editor_menu.h"

namespace calmirande {
namespace {

constexpr wchar_t WindowClass[] = L"CalmirandeTextEditor";
constexpr DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr int TextField = 100;

namespace item {
constexpr UINT Quit = 401;
constexpr UINT Undo = 402;
constexpr UINT Cut = 403;
constexpr UINT Copy = 404;
constexpr UINT Paste = 405;
constexpr UINT Clear = 406;
constexpr UINT SelectAll = 407;
}  // namespace item

bool clipboardHasText(HWND owner) noexcept {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(owner)) return false;
    bool hasText = false;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            hasText = text[0] != L'\0';
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return hasText;
}

UniqueMenu createMenuBar() {
    UniqueMenu bar(::CreateMenu());
    const HMENU file = ::CreatePopupMenu();
    const HMENU edit = ::CreatePopupMenu();
    if (!bar || !file || !edit) {
        if (file) ::DestroyMenu(file);
        if (edit) ::DestroyMenu(edit);
        return {};
    }
    const auto add = [](HMENU menu, UINT id, std::u16string_view text) {
        ::AppendMenuW(menu, MF_STRING, id, toWide(text).c_str());
    };
    add(file, item::Quit, messages::TextEditorQuit);
    add(edit, item::Undo, messages::TextEditorUndo);
    ::AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    add(edit, item::Cut, messages::TextEditorCut);
    add(edit, item::Copy, messages::TextEditorCopy);
    add(edit, item::Paste, messages::TextEditorPaste);
    add(edit, item::Clear, messages::TextEditorClear);
    ::AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    add(edit, item::SelectAll, messages::TextEditorSelectAll);
    // The bar owns the popups from here on.
    ::AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(file), toWide(messages::TextEditorFileMenu).c_str());
    ::AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(edit), toWide(messages::TextEditorEditMenu).c_str());
    ::EnableMenuItem(edit, item::Undo, MF_BYCOMMAND | MF_GRAYED);
    return bar;
}

class TextEditorWindow final : public BaseWindow<TextEditorWindow> {
public:
    explicit TextEditorWindow(std::wstring startText) : start_(std::move(startText)) {}
    ~TextEditorWindow() override {
        if (hwnd()) ::DestroyWindow(hwnd());
    }

    bool open(HINSTANCE instance, HWND owner, HFONT font) {
        if (!registerClass(instance, WindowClass, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
        UniqueMenu bar = createMenuBar();
        if (!bar) return false;
        // 600 x 480 holds the client area and the menu bar together.
        const RECT frame = modalChildFrame(owner, Style, 600, 480, true);
        const std::wstring title = toWide(messages::TextEditorTitle);
        if (!create(0, WindowClass, title.c_str(), Style, frame.left, frame.top, frame.right - frame.left,
                    frame.bottom - frame.top, owner, bar.get(), instance)) {
            return false;
        }
        bar.release();  // the window owns its menu bar now
        field_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", start_.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                                       ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
                                   5, 5, 590, 450, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(TextField)),
                                   instance, nullptr);
        if (!field_) return false;
        if (font) ::SendMessageW(field_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        fieldKeys_.emplace(field_, &TextEditorWindow::fieldProcedure, this);
        layOut();
        ::EnableWindow(owner, FALSE);
        ::ShowWindow(hwnd(), SW_SHOW);
        ::SetForegroundWindow(hwnd());
        ::SetFocus(field_);
        return true;
    }

    const bool& finishedFlag() const { return finished_; }
    std::optional<std::wstring> takeText() { return std::move(result_); }
    std::wstring text() const { return windowText(field_); }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        try {
            switch (message) {
                case WM_ENTERMENULOOP:
                    updateMenu();
                    return 0;
                case WM_SIZE:
                    layOut();
                    return 0;
                case WM_SETFOCUS:
                    if (field_) ::SetFocus(field_);
                    return 0;
                case WM_COMMAND:
                    if (lParam == 0 && runMenuItem(LOWORD(wParam))) return 0;
                    break;
                case WM_CLOSE:
                    // The text always goes back, changed or not.
                    result_ = text();
                    finished_ = true;
                    return 0;
                default:
                    break;
            }
        } catch (...) {
            finished_ = true;
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    }

private:
    // Escape in the text closes the window as its close box does; the edit
    // control itself ignores it outside a dialog.
    static LRESULT CALLBACK fieldProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        TextEditorWindow* self = ControlSubclass::ownerOf<TextEditorWindow>(control);
        if (self && wParam == VK_ESCAPE) {
            if (message == WM_KEYDOWN) {
                ::PostMessageW(self->hwnd(), WM_CLOSE, 0, 0);
                return 0;
            }
            if (message == WM_CHAR) return 0;  // its character, which would beep
        }
        return ControlSubclass::callPrevious(control, message, wParam, lParam);
    }


    void layOut() noexcept {
        if (!field_) return;
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        const int inner = client.bottom + ::GetSystemMetrics(SM_CYMENU);
        ::MoveWindow(field_, 5, 5, std::max(0L, client.right - 10), std::max(0, inner - 30), TRUE);
    }

    void updateMenu() {
        DWORD start = 0, end = 0;
        ::SendMessageW(field_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        TextEditorState state;
        const std::wstring now = text();
        state.textEmpty = now.empty();
        state.textDiffersFromStart = now != start_;
        state.selectionEmpty = start == end;
        state.clipboardHasText = clipboardHasText(hwnd());
        const TextEditorMenu menu = rules_.onEnterMenu(state);
        const HMENU bar = ::GetMenu(hwnd());
        const auto set = [bar](UINT id, bool enabled) {
            ::EnableMenuItem(bar, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        };
        set(item::Undo, menu.undo);
        set(item::Cut, menu.cut);
        set(item::Copy, menu.copy);
        set(item::Paste, menu.paste);
        set(item::Clear, menu.clear);
        set(item::SelectAll, menu.selectAll);
    }

    bool runMenuItem(UINT id) noexcept {
        switch (id) {
            case item::Quit:
                ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
                return true;
            case item::Undo:
                ::SendMessageW(field_, WM_UNDO, 0, 0);
                return true;
            case item::Cut:
                ::SendMessageW(field_, WM_CUT, 0, 0);
                return true;
            case item::Copy:
                ::SendMessageW(field_, WM_COPY, 0, 0);
                return true;
            case item::Paste:
                ::SendMessageW(field_, WM_PASTE, 0, 0);
                return true;
            case item::Clear:
                ::SendMessageW(field_, WM_CLEAR, 0, 0);
                return true;
            case item::SelectAll:
                ::SendMessageW(field_, EM_SETSEL, 0, -1);
                return true;
            default:
                return false;
        }
    }

    std::wstring start_;
    HWND field_ = nullptr;  // we don't own it: this window does
    std::optional<ControlSubclass> fieldKeys_;
    TextEditorMenuRules rules_;
    bool finished_ = false;
    std::optional<std::wstring> result_;
};

// The window editTextModally is serving, if any. Main thread only: the
// session's end reads it from inside the modal loop.
const TextEditorWindow* g_shown = nullptr;

}  // namespace

std::optional<std::wstring> editTextModally(HINSTANCE instance, HWND owner, HFONT font, const std::wstring& text) {
    TextEditorWindow window(text);
    struct Shown {
        explicit Shown(const TextEditorWindow& window) { g_shown = &window; }
        ~Shown() { g_shown = nullptr; }
        Shown(const Shown&) = delete;
        Shown& operator=(const Shown&) = delete;
    } shown(window);
    if (!serveModalChild(window, owner, [&] { return window.open(instance, owner, font); }, false)) return std::nullopt;
    return window.takeText();
}

std::optional<std::wstring> textOfOpenTextEditor() {
    if (!g_shown || !g_shown->hwnd()) return std::nullopt;
    return g_shown->text();
}

}  // namespace calmirande
