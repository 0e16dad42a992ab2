#pragma once
// The About window: two tabs, "Informations" (the program's name, version,
// compatibility, author, two links, an invitation to write) and "Licence"
// (the licence document). Created hidden at start-up, it lives for the whole
// run and is only shown and hidden; it is also the hidden owner of the tray
// icon and its menu, whose messages it hands to the shell unread.
//
// Main thread only. A failure to make one of its controls leaves that
// control missing; only the window itself is essential.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "common/base_window_win32.h"
#include "common/unique_handle_win32.h"

namespace calmirande {

class AboutWindow;

// The identifiers of the About window's own controls: clear of the tray
// menu's 1 to 7 and 10 to 29, which reach the same window procedure.
namespace about_control {
inline constexpr int Quit = 300;
inline constexpr int Tabs = 301;
inline constexpr int WebSiteLink = 302;
inline constexpr int EmailLink = 303;
inline constexpr int FirstText = 310;
inline constexpr int LicenceField = 330;
}  // namespace about_control

// One tab's page: a child of the About window laid over the tab control's
// display area. It hands its controls' messages to the About window.
class AboutPage final : public BaseWindow<AboutPage> {
public:
    bool create(HINSTANCE instance, AboutWindow& owner, const RECT& area) noexcept;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    AboutWindow* owner_ = nullptr;  // we don't own it: it owns us
};

class AboutWindow final : public BaseWindow<AboutWindow> {
public:
    // Every message the window does not answer itself, menu commands
    // (WM_COMMAND with no control) included; nothing means DefWindowProcW's
    // answer. Runs inside the window procedure: it must not throw.
    using ShellMessages = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

    AboutWindow() = default;
    ~AboutWindow() override;

    // The hidden, centred window without its content.
    bool create(HINSTANCE instance) noexcept;
    // The tabs and their controls, the fonts (the caller's, alive as long as
    // this window), the licence.
    void fill(HFONT titleBold, HFONT smallBold) noexcept;
    void setShellMessages(ShellMessages handler) { shellMessages_ = std::move(handler); }

    // As it was left: the tab that was selected stays selected.
    void show() noexcept;
    void hide() noexcept;

    // The keys of a dialog, for a message of the loop: Enter and Escape hide
    // the window as its "Quitter" does, wherever its focus is; Tab moves the
    // focus. True when the message was taken.
    bool takesDialogKey(MSG& message) noexcept;

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    friend class AboutPage;

    struct Link {
        HWND control = nullptr;  // a child of the Informations page
        std::wstring text;
        std::wstring target;  // what the shell's "open" is given
        bool hover = false;
        std::optional<ControlSubclass> subclass;
    };

    static LRESULT CALLBACK linkProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static void openLink(const Link& link) noexcept;
    void makeInformationsPage(HFONT titleBold, HFONT smallBold);
    void makeLink(Link& link, int id, int x, int y, int width, std::wstring text, std::wstring target) noexcept;
    HWND makeText(HWND page, int id, const wchar_t* text, int x, int y, int width, int height, DWORD style,
                  HFONT font) noexcept;
    void showSelectedPage() noexcept;
    void drawLink(const DRAWITEMSTRUCT& draw) const noexcept;

    HWND tabs_ = nullptr;  // children of this window, destroyed with it
    HWND lastFocus_ = nullptr;  // given back when the window is activated again
    HWND licenceField_ = nullptr;  // on the Licence page; null without a rich-edit library
    AboutPage informations_;
    AboutPage licence_;
    Link webSite_;
    Link email_;
    HFONT smallBold_ = nullptr;  // we don't own it
    UniqueFont linkFont_;
    ShellMessages shellMessages_;
};

}  // namespace calmirande
