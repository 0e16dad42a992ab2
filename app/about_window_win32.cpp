#include "app/about_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "app/documents.h"
#include "app/rich_text_win32.h"
#include "app/shell_fonts_win32.h"
#include "common/messages.h"
#include "common/wide_win32.h"

namespace calmirande {
namespace {

constexpr wchar_t WindowClass[] = L"CalmirandeAbout";
constexpr wchar_t PageClass[] = L"CalmirandeAboutPage";
constexpr int ClientWidth = 400;
constexpr int ClientHeight = 320;
constexpr COLORREF TextBlue = RGB(0, 0, 255);
constexpr COLORREF HoverRed = RGB(255, 0, 0);

// Both pages and the texts on them share this background.
HBRUSH pageBrush() noexcept { return ::GetSysColorBrush(COLOR_WINDOW); }

HCURSOR handCursor() noexcept {
    static const HCURSOR cursor = [] {
        const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
        return hand ? hand : ::LoadCursorW(nullptr, IDC_ARROW);
    }();
    return cursor;
}

HMENU controlId(int id) noexcept { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

void setFont(HWND control, HFONT font) noexcept {
    if (control && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

}  // namespace

bool AboutPage::create(HINSTANCE instance, AboutWindow& owner, const RECT& area) noexcept {
    owner_ = &owner;
    if (!registerClass(instance, PageClass, 0, pageBrush())) return false;
    return BaseWindow::create(WS_EX_CONTROLPARENT, PageClass, L"", WS_CHILD | WS_CLIPSIBLINGS, area.left, area.top,
                              area.right - area.left, area.bottom - area.top, owner.hwnd(), nullptr, instance);
}

LRESULT AboutPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_DRAWITEM:
            if (owner_ && owner_->hwnd()) return owner_->handleMessage(message, wParam, lParam);
            break;
        default:
            break;
    }
    return defaultHandling(message, wParam, lParam);
}

AboutWindow::~AboutWindow() {
    // While this object is whole: nothing may call into it half destroyed.
    shellMessages_ = nullptr;
    webSite_.subclass.reset();
    email_.subclass.reset();
    if (hwnd()) ::DestroyWindow(hwnd());
}

bool AboutWindow::create(HINSTANCE instance) noexcept {
    if (hwnd()) return true;
    if (!registerClass(instance, WindowClass, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
    constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    try {
        const std::wstring title = toWide(messages::AboutTitle);
        return createCentred(WindowClass, title.c_str(), Style, ClientWidth, ClientHeight, instance);
    } catch (...) {
        return false;
    }
}

void AboutWindow::fill(HFONT titleBold, HFONT smallBold) noexcept {
    if (!hwnd() || tabs_) return;
    try {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        smallBold_ = smallBold;
        const HFONT dialogFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

        const std::wstring quit = toWide(messages::AboutQuit);
        const HWND quitButton =
            ::CreateWindowExW(0, WC_BUTTONW, quit.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 160,
                              295, 80, 20, hwnd(), controlId(about_control::Quit), instance, nullptr);
        setFont(quitButton, dialogFont);

        tabs_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 10, 10,
                                  380, 280, hwnd(), controlId(about_control::Tabs), instance, nullptr);
        if (!tabs_) return;
        setFont(tabs_, dialogFont);
        std::wstring tabNames[] = {toWide(messages::AboutTabInformations), toWide(messages::AboutTabLicence)};
        for (int i = 0; i < 2; ++i) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = tabNames[i].data();
            ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }

        // The pages cover the tab control's display area, in this window's coordinates.
        RECT area{};
        ::GetClientRect(tabs_, &area);
        ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        ::MapWindowPoints(tabs_, hwnd(), reinterpret_cast<POINT*>(&area), 2);

        if (informations_.create(instance, *this, area)) makeInformationsPage(titleBold, smallBold);
        // The licence is there from the start, tab shown or not, for every
        // reader of the window (screen readers and other programs included).
        if (licence_.create(instance, *this, area)) {
            licenceField_ = createRichTextField(licence_.hwnd(), 10, 10, 355, 235, about_control::LicenceField,
                                                licenceDocument());
        }
        ::SendMessageW(tabs_, TCM_SETCURSEL, 0, 0);
        showSelectedPage();
    } catch (...) {
        // Whatever was made stays; the window works without the rest.
    }
}

HWND AboutWindow::makeText(HWND page, int id, const wchar_t* text, int x, int y, int width, int height, DWORD style,
                           HFONT font) noexcept {
    const HWND control = ::CreateWindowExW(0, WC_STATICW, text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, x, y,
                                           width, height, page, controlId(id), ::GetModuleHandleW(nullptr), nullptr);
    setFont(control, font);
    return control;
}

void AboutWindow::makeLink(Link& link, int id, int x, int y, int width, std::wstring text,
                           std::wstring target) noexcept {
    link.text = std::move(text);
    link.target = std::move(target);
    link.control = ::CreateWindowExW(0, WC_STATICW, link.text.c_str(),
                                     WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY | SS_NOPREFIX, x, y, width, 20,
                                     informations_.hwnd(), controlId(id), ::GetModuleHandleW(nullptr), nullptr);
    if (link.control) link.subclass.emplace(link.control, &AboutWindow::linkProcedure, &link);
}

void AboutWindow::makeInformationsPage(HFONT titleBold, HFONT smallBold) {
    const HWND page = informations_.hwnd();
    const std::wstring webSite = toWide(messages::AboutWebSite);
    const std::wstring email = toWide(messages::AboutEmail);
    makeLink(webSite_, about_control::WebSiteLink, 64, 145, 284, webSite, webSite);
    makeLink(email_, about_control::EmailLink, 44, 120, 304, email, toWide(messages::AboutMailtoPrefix) + email);
    linkFont_ = createUnderlinedFont(smallBold);

    const HFONT dialogFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    int id = about_control::FirstText;
    makeText(page, id++, toWide(messages::ProgramName).c_str(), 10, 15, 355, 20, SS_CENTER, titleBold);
    makeText(page, id++, toWide(messages::AboutVersion).c_str(), 10, 45, 355, 20, SS_LEFT, smallBold);
    makeText(page, id++, toWide(messages::AboutAuthor).c_str(), 10, 95, 355, 20, SS_LEFT, smallBold);
    makeText(page, id++, toWide(messages::AboutEmailLabel).c_str(), 10, 120, 34, 20, SS_LEFT, smallBold);
    makeText(page, id++, toWide(messages::AboutWebSiteLabel).c_str(), 10, 145, 54, 20, SS_LEFT, smallBold);
    makeText(page, id++, toWide(messages::AboutContact).c_str(), 10, 175, 355, 30, SS_LEFT, dialogFont);
    makeText(page, id++, toWide(messages::AboutCompatibility).c_str(), 10, 70, 355, 20, SS_LEFT, smallBold);
}

void AboutWindow::showSelectedPage() noexcept {
    const LRESULT selected = tabs_ ? ::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) : 0;
    const AboutPage* pages[] = {&informations_, &licence_};
    for (LRESULT i = 0; i < 2; ++i) {
        const HWND page = pages[i]->hwnd();
        if (!page) continue;
        if (i == selected) {
            ::SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        } else {
            ::ShowWindow(page, SW_HIDE);
        }
    }
}

void AboutWindow::show() noexcept {
    if (!hwnd()) return;
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

void AboutWindow::hide() noexcept {
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

bool AboutWindow::takesDialogKey(MSG& message) noexcept {
    if (!hwnd() || !::IsWindowVisible(hwnd())) return false;
    if (message.hwnd != hwnd() && !::IsChild(hwnd(), message.hwnd)) return false;
    if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        hide();
        return true;
    }
    return ::IsDialogMessageW(hwnd(), &message) != FALSE;
}

void AboutWindow::drawLink(const DRAWITEMSTRUCT& draw) const noexcept {
    const Link& link = draw.hwndItem == webSite_.control ? webSite_ : email_;
    RECT area = draw.rcItem;
    ::FillRect(draw.hDC, &area, pageBrush());
    const HFONT font = linkFont_ ? linkFont_.get() : smallBold_;
    const HGDIOBJ previous = font ? ::SelectObject(draw.hDC, font) : nullptr;
    ::SetTextColor(draw.hDC, link.hover ? HoverRed : TextBlue);
    ::SetBkMode(draw.hDC, TRANSPARENT);
    ::DrawTextW(draw.hDC, link.text.c_str(), static_cast<int>(link.text.size()), &area,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if (previous) ::SelectObject(draw.hDC, previous);
}

void AboutWindow::openLink(const Link& link) noexcept {
    // Nothing to tell the user when no browser or mail program answers.
    ::ShellExecuteW(nullptr, L"open", link.target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK AboutWindow::linkProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Link* link = ControlSubclass::ownerOf<Link>(control);
    if (!link) return ControlSubclass::callPrevious(control, message, wParam, lParam);
    switch (message) {
        case WM_SETCURSOR:
            ::SetCursor(handCursor());
            return TRUE;
        case WM_MOUSEMOVE:
            if (!link->hover) {
                link->hover = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, control, 0};
                ::TrackMouseEvent(&track);
                ::InvalidateRect(control, nullptr, FALSE);
            }
            break;
        case WM_MOUSELEAVE:
            link->hover = false;
            ::InvalidateRect(control, nullptr, FALSE);
            break;
        case WM_LBUTTONUP: {
            // Activated by a release over the link, as a button is.
            const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            RECT area{};
            ::GetClientRect(control, &area);
            if (::PtInRect(&area, point)) openLink(*link);
            break;
        }
        default:
            break;
    }
    return ControlSubclass::callPrevious(control, message, wParam, lParam);
}

LRESULT AboutWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND:
            // Controls first: a menu command carries no control.
            if (lParam != 0) {
                if (LOWORD(wParam) == about_control::Quit && HIWORD(wParam) == BN_CLICKED) hide();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
                showSelectedPage();
                return 0;
            }
            break;
        }
        case WM_CTLCOLORSTATIC: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, TextBlue);
            ::SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(pageBrush());
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw && draw->CtlType == ODT_STATIC &&
                (draw->hwndItem == webSite_.control || draw->hwndItem == email_.control)) {
                drawLink(*draw);
                return TRUE;
            }
            break;
        }
        case WM_ACTIVATE:
            // As a dialog does: the focus leaves with the window and comes
            // back to the same control, the tabs the first time.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd(), focus)) lastFocus_ = focus;
            } else if (!lastFocus_ || !::IsWindow(lastFocus_) || !::IsWindowVisible(lastFocus_)) {
                if (tabs_) ::SetFocus(tabs_);
            } else {
                ::SetFocus(lastFocus_);
            }
            return 0;
        case WM_CLOSE:
            hide();  // the program keeps running
            return 0;
        default:
            break;
    }
    if (shellMessages_) {
        if (const std::optional<LRESULT> answer = shellMessages_(message, wParam, lParam)) return *answer;
    }
    return defaultHandling(message, wParam, lParam);
}

}  // namespace calmirande
