#include "engine/writing_aid_win32.h"

#include <array>
#include <string>

#include "common/wide_win32.h"

namespace calmirande {
namespace {

constexpr wchar_t StripClass[] = L"CalmirandeWritingAid";
constexpr wchar_t PanelClass[] = L"CalmirandeWritingAidPanel";
constexpr wchar_t StripTitle[] = L"Calmirande - aide \u00e0 la r\u00e9daction";  // never displayed

// Created above the top edge, out of sight until the first placement.
constexpr int StripCreatedY = -80;
constexpr BYTE StripAlpha = 200;
constexpr int ListViewOffset = -2;  // hides the list view's edge inside the panel
constexpr int ListViewWidth = 824;
constexpr int ListViewInitialHeight = 81;
constexpr int KeyColumnWidth = 140;
constexpr int TextColumnWidth = 650;
constexpr int FontPoints = 8;
constexpr UINT_PTR ListViewId = 1;
constexpr DWORD MaxDisplayDevices = 64;

COLORREF colourRef(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

bool addColumn(HWND listView, int index, const wchar_t* title, int width) noexcept {
    std::array<wchar_t, 32> text{};
    ::lstrcpynW(text.data(), title, static_cast<int>(text.size()));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    return ::SendMessageW(listView, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)) ==
           index;
}

}  // namespace

bool WritingAidPanel::create(HINSTANCE instance, HWND strip, WritingAidWindow& owner) noexcept {
    owner_ = &owner;
    if (!registerClass(instance, PanelClass, 0, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)))) return false;
    return BaseWindow::create(0, PanelClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, AidWindowWidth,
                              AidWindowInitialHeight, strip, nullptr, instance);
}

void WritingAidPanel::destroy() noexcept {
    // WM_NCDESTROY lets go of the handle.
    if (hwnd()) ::DestroyWindow(hwnd());
}

LRESULT WritingAidPanel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NOTIFY && owner_) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == NM_CUSTOMDRAW && header->hwndFrom == owner_->listView_.get()) {
            return owner_->customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        }
    }
    return defaultHandling(message, wParam, lParam);
}

WritingAidWindow::~WritingAidWindow() {
    // Children first, while this object is whole: the panel still forwards
    // the list view's last notifications to it.
    listView_.reset();
    panel_.destroy();
    if (hwnd()) ::DestroyWindow(hwnd());
}

bool WritingAidWindow::create(HINSTANCE instance, HFONT font) noexcept {
    if (hwnd()) return true;
    try {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_LISTVIEW_CLASSES;
        ::InitCommonControlsEx(&controls);

        refreshDisplays();
        if (!registerClass(instance, StripClass)) return false;
        if (!BaseWindow::create(0, StripClass, StripTitle, WS_POPUP, writingAidX(displayWidths_, std::nullopt),
                                StripCreatedY, AidWindowWidth, AidWindowInitialHeight, nullptr, nullptr, instance)) {
            return false;
        }
        // Not in the taskbar; then see-through and transparent to the mouse.
        ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ::GetWindowLongW(hwnd(), GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
        ::SetWindowLongW(hwnd(), GWL_EXSTYLE,
                         ::GetWindowLongW(hwnd(), GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
        ::SetLayeredWindowAttributes(hwnd(), 0, StripAlpha, LWA_ALPHA);
        // The strip never takes the focus: no SetFocus here, and every later
        // move or show leaves activation alone.
        ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::ShowWindow(hwnd(), SW_HIDE);

        if (!panel_.create(instance, hwnd(), *this)) {
            ::DestroyWindow(hwnd());
            return false;
        }
        listView_.reset(::CreateWindowExW(
            WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER,
            ListViewOffset, ListViewOffset, ListViewWidth, ListViewInitialHeight, panel_.hwnd(),
            reinterpret_cast<HMENU>(ListViewId), instance, nullptr));
        if (!listView_) {
            panel_.destroy();
            ::DestroyWindow(hwnd());
            return false;
        }
        const HWND list = listView_.get();
        ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                       LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);

        font_ = font;
        if (!font_) {
            const HDC screen = ::GetDC(nullptr);
            const int dotsPerInch = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
            if (screen) ::ReleaseDC(nullptr, screen);
            ownFont_.reset(::CreateFontW(-::MulDiv(FontPoints, dotsPerInch, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE,
                                         FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
            font_ = ownFont_.get();
        }
        if (font_) ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

        addColumn(list, 0, L"Abr\u00e9viations:", KeyColumnWidth);
        addColumn(list, 1, L"Remplacer par:", TextColumnWidth);
        rowHeight_ = measureRowHeight();
        return true;
    } catch (...) {
        return false;
    }
}

int WritingAidWindow::measureRowHeight() noexcept {
    const HWND list = listView_.get();
    wchar_t empty[] = L"";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = empty;
    if (::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) return 0;
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    const bool measured = ::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)) != 0;
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    return measured ? bounds.bottom - bounds.top : 0;
}

void WritingAidWindow::setRows(const AbbreviationList& rows) noexcept {
    if (!listView_) return;
    const HWND list = listView_.get();
    // The colours belonged to the rows being removed.
    highlightedRow_.reset();
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    try {
        model_ = WritingAidModel(rows);
        ::SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            std::wstring key = toWide(rows[row].key);
            std::wstring text = toWide(rows[row].storedText);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(row);
            item.pszText = key.data();
            const LRESULT inserted = ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            LVITEMW cell{};
            cell.iSubItem = 1;
            cell.pszText = text.data();
            ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(inserted), reinterpret_cast<LPARAM>(&cell));
        }
    } catch (...) {
        // Out of memory: an empty strip rather than rows the model disagrees with.
        model_ = WritingAidModel();
        ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

bool WritingAidWindow::selects(std::u16string_view aidWord) const noexcept {
    try {
        return listView_ && writingAidSelects(model_, aidWord);
    } catch (...) {
        return true;  // let update() decide
    }
}

void WritingAidWindow::update(std::u16string_view aidWord, bool writingAidEnabled) noexcept {
    if (!listView_) return;
    const HWND list = listView_.get();
    WritingAidUpdate change;
    try {
        change = decideWritingAidUpdate(model_, aidWord, writingAidEnabled, highlightedRow_, rowHeight_);
    } catch (...) {
        // A word too long to copy: nothing sensible to show.
    }
    if (change.hide) {
        hide();
        return;
    }
    resize(change.height);
    if (change.show && place()) ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    if (change.uncolourRow) {
        highlightedRow_.reset();
        redrawRow(*change.uncolourRow);
    }
    const int top = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    ::SendMessageW(list, LVM_SCROLL, 0, writingAidScrollBy(change.topRow, top, rowHeight_));
    highlightedRow_ = change.colourRow;
    highlight_ = change.colouring;
    redrawRow(change.colourRow);
}

void WritingAidWindow::hide() noexcept {
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

LRESULT WritingAidWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_DISPLAYCHANGE:
            refreshDisplays();
            break;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            break;
    }
    return defaultHandling(message, wParam, lParam);
}

LRESULT WritingAidWindow::customDraw(NMLVCUSTOMDRAW& draw) const noexcept {
    const bool highlighted = highlightedRow_ && draw.nmcd.dwItemSpec == *highlightedRow_;
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return highlighted ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            if (highlighted && (draw.iSubItem == 0 || draw.iSubItem == 1)) {
                draw.clrText = colourRef(aidTextColour(highlight_));
                draw.clrTextBk = colourRef(AidBackground);
            }
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

bool WritingAidWindow::place() noexcept {
    const HWND foreground = ::GetForegroundWindow();  // we don't own it
    if (!foreground) return false;
    std::optional<ScreenRect> rectangle;
    RECT bounds{};
    if (::GetWindowRect(foreground, &bounds)) rectangle = ScreenRect{bounds.left, bounds.top, bounds.right, bounds.bottom};
    ::SetWindowPos(hwnd(), nullptr, writingAidX(displayWidths_, rectangle), 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void WritingAidWindow::refreshDisplays() noexcept {
    try {
        std::vector<DisplayDevice> devices;
        DISPLAY_DEVICEW device{};
        device.cb = sizeof device;
        for (DWORD index = 0; index < MaxDisplayDevices && ::EnumDisplayDevicesW(nullptr, index, &device, 0); ++index) {
            DisplayDevice seen;
            seen.attachedToDesktop = (device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0;
            seen.primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
            if (seen.attachedToDesktop) {
                DEVMODEW mode{};
                mode.dmSize = sizeof mode;
                if (::EnumDisplaySettingsW(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) {
                    seen.width = static_cast<int>(mode.dmPelsWidth);
                } else {
                    seen.attachedToDesktop = false;
                }
            }
            devices.push_back(seen);
            device = DISPLAY_DEVICEW{};
            device.cb = sizeof device;
        }
        displayWidths_ = desktopDisplayWidths(devices);
        if (displayWidths_.empty()) displayWidths_.push_back(::GetSystemMetrics(SM_CXSCREEN));
    } catch (...) {
        // Keep the widths known so far.
    }
}

void WritingAidWindow::resize(int height) noexcept {
    constexpr UINT keepPlace = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    ::SetWindowPos(hwnd(), nullptr, 0, 0, AidWindowWidth, height, keepPlace);
    ::SetWindowPos(panel_.hwnd(), nullptr, 0, 0, AidWindowWidth, height, keepPlace);
    ::SetWindowPos(listView_.get(), nullptr, 0, 0, ListViewWidth, height, keepPlace);
}

void WritingAidWindow::redrawRow(std::size_t row) noexcept {
    ::SendMessageW(listView_.get(), LVM_REDRAWITEMS, row, row);
}

}  // namespace calmirande
