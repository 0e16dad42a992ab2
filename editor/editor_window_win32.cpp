#include "editor/editor_window_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "common/message_box_win32.h"
#include "common/messages.h"
#include "common/wide_win32.h"
#include "editor/field_guards.h"
#include "editor/new_list_dialog_win32.h"
#include "editor/text_editor_window_win32.h"
#include "resources/resource_ids.h"

namespace calmirande {
namespace {

constexpr wchar_t WindowClass[] = L"CalmirandeEditor";
constexpr int ClientWidth = 780;
constexpr int ClientHeight = 540;
constexpr int ZoomIconSize = 24;

namespace ec = editor_control;

struct ControlLayout {
    int id;
    const wchar_t* className;
    std::u16string_view text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
    bool listFont;
};

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD Button = Child | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD Group = Child | BS_GROUPBOX;
// The lists counter's label stays on its one line: word-wrapped, its
// trailing space sent "créées:" to a second line that the control is too
// low to show, although the text itself fits its 125 pixels.
constexpr DWORD Label = Child | SS_LEFTNOWORDWRAP;

// In the order of their creation; TabOrder below gives the keyboard's.
const ControlLayout Controls[] = {
    {ec::ListsCounterLabel, WC_STATICW, messages::EditorListsCounterLabel, Label, 0, 25, 35, 125, 20, false},
    {ec::RecordsCounterLabel, WC_STATICW, messages::EditorRecordsCounterLabel, Child, 0, 10, 490, 205, 15, false},
    {ec::SortNotice, WC_STATICW, messages::EditorSortNotice, Child, 0, 10, 95, 475, 20, false},
    {ec::ListsCounter, WC_STATICW, u"", Child, 0, 150, 35, 325, 20, false},
    {ec::RecordsCounter, WC_STATICW, u"", Child, 0, 215, 490, 270, 15, false},
    {ec::ListsGroup, WC_BUTTONW, messages::EditorListsGroup, Group, 0, 10, 10, 475, 80, false},
    {ec::ListSelector, WC_COMBOBOXW, u"", Child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 25, 60, 140, 350,
     false},
    {ec::CreateList, WC_BUTTONW, messages::EditorCreateList, Button, 0, 205, 60, 120, 22, false},
    {ec::DeleteList, WC_BUTTONW, messages::EditorDeleteList, Button, 0, 355, 60, 120, 22, false},
    {ec::Listing, WC_LISTVIEWW, u"",
     Child | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA, WS_EX_CLIENTEDGE, 10, 115,
     475, 370, true},
    {ec::EntryGroup, WC_BUTTONW, messages::EditorEntryGroup, Group, 0, 495, 10, 275, 495, false},
    {ec::KeyLabel, WC_STATICW, messages::EditorKeyLabel, Child, 0, 505, 35, 160, 25, false},
    {ec::TextLabel, WC_STATICW, messages::EditorTextLabel, Child, 0, 505, 105, 160, 25, false},
    {ec::Zoom, WC_STATICW, u"", Child | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, 0, 728, 98, 32, 32, false},
    {ec::KeyField, WC_EDITW, u"", Child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 505, 60, 160, 25, true},
    {ec::ReplacementField, WC_EDITW, u"",
     Child | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
         ES_NOHIDESEL,
     WS_EX_CLIENTEDGE, 505, 130, 255, 345, true},
    {ec::Add, WC_BUTTONW, messages::EditorAdd, Button, 0, 680, 480, 80, 20, false},
    {ec::Quit, WC_BUTTONW, messages::EditorQuit, Button, 0, 350, 510, 100, 25, false},
    {ec::Modify, WC_BUTTONW, messages::EditorModify, Button, 0, 590, 480, 80, 20, false},
    {ec::Reset, WC_BUTTONW, messages::EditorReset, Button, 0, 700, 65, 60, 20, false},
    {ec::Delete, WC_BUTTONW, messages::EditorDelete, Button, 0, 505, 480, 80, 20, false},
};

// Tab moves through the window as it reads: the lists' group, the listing,
// then the entry's group from its key field down to its buttons, left to
// right, and "Quitter" last.
constexpr int TabOrder[] = {ec::ListSelector, ec::CreateList,      ec::DeleteList, ec::Listing,
                            ec::KeyField,     ec::Reset,           ec::ReplacementField,
                            ec::Delete,       ec::Modify,          ec::Add,        ec::Quit};

HMENU controlId(int id) noexcept { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

void insertColumn(HWND listing, int index, std::u16string_view title, int width) {
    std::wstring text = toWide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(listing, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

std::optional<std::size_t> selectedListingRow(HWND listing) noexcept {
    const LRESULT row = ::SendMessageW(listing, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0) return std::nullopt;
    return static_cast<std::size_t>(row);
}

}  // namespace

namespace {

// Where unsaved rows go when "Listes\Sauvegardes" cannot be written (a full
// or read-only medium, a folder the user may not write in): the user's own
// application-data folder, then the temporary folder. Both exist on every
// Windows from 2000 on.
std::vector<std::u16string> fallbackFoldersForUnsavedRows() {
    std::vector<std::u16string> folders;
    wchar_t buffer[MAX_PATH + 1];
    const DWORD appData = ::GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH);
    if (appData > 0 && appData < MAX_PATH) folders.push_back(fromWide(std::wstring(buffer, appData) + L"\\Calmirande"));
    DWORD temporary = ::GetTempPathW(MAX_PATH, buffer);
    if (temporary > 0 && temporary < MAX_PATH) {
        while (temporary > 3 && buffer[temporary - 1] == L'\\') --temporary;
        folders.push_back(fromWide(std::wstring(buffer, temporary)));
    }
    return folders;
}

}  // namespace

EditorWindow::EditorWindow(FileStore& files, EditorHost& host, const std::vector<std::u16string>& catalogueFileNames)
    : files_(files), host_(host), model_(catalogueFileNames) {
    model_.setFallbackFolders(fallbackFoldersForUnsavedRows());
}

EditorWindow::~EditorWindow() {
    // While this object is whole: the controls' procedures go back first.
    keyFieldSubclass_.reset();
    listingSubclass_.reset();
    if (hwnd()) ::DestroyWindow(hwnd());
}

bool EditorWindow::create(HINSTANCE instance, HFONT listFont) noexcept {
    if (hwnd()) return true;
    instance_ = instance;
    listFont_ = listFont;
    if (!registerClass(instance, WindowClass, 0, ::GetSysColorBrush(COLOR_BTNFACE))) return false;
    // Not clipping its children: the group boxes draw only their frames and
    // leave the ground inside them to this window.
    constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    try {
        const std::wstring title = toWide(messages::EditorTitle);
        if (!createCentred(WindowClass, title.c_str(), Style, ClientWidth, ClientHeight, instance)) return false;
        createControls(instance, listFont);
        ::SetWindowTextW(control(ec::ReplacementField), L"");
        apply(model_.openEditor(files_));
        drawSelector();
        return true;
    } catch (...) {
        return false;
    }
}

void EditorWindow::createControls(HINSTANCE instance, HFONT listFont) {
    const auto dialogFont = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlLayout& layout : Controls) {
        const std::wstring text = toWide(layout.text);
        const HWND made =
            ::CreateWindowExW(layout.exStyle, layout.className, text.c_str(), layout.style, layout.x, layout.y,
                              layout.width, layout.height, hwnd(), controlId(layout.id), instance, nullptr);
        if (!made) continue;
        const WPARAM font = layout.listFont && listFont ? reinterpret_cast<WPARAM>(listFont) : dialogFont;
        ::SendMessageW(made, WM_SETFONT, font, FALSE);
    }
    // The dialog manager follows the children's z-order.
    HWND previous = HWND_TOP;
    for (const int id : TabOrder) {
        const HWND next = control(id);
        if (!next) continue;
        ::SetWindowPos(next, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        previous = next;
    }
    if (const HWND listing = control(ec::Listing)) {
        ::SendMessageW(listing, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        insertColumn(listing, 0, messages::EditorKeyColumn, 120);
        insertColumn(listing, 1, messages::EditorTextColumn, 350);
        listingSubclass_.emplace(listing, &EditorWindow::listingProcedure, this);
    }
    if (const HWND key = control(ec::KeyField)) keyFieldSubclass_.emplace(key, &EditorWindow::keyFieldProcedure, this);
    magnifier_.reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAGNIFIER), IMAGE_ICON,
                                                     ZoomIconSize, ZoomIconSize, LR_DEFAULTCOLOR)));
    if (magnifier_) {
        ::SendMessageW(control(ec::Zoom), STM_SETICON, reinterpret_cast<WPARAM>(magnifier_.get()), 0);
    }
}

// --- Entry points of the shell.

void EditorWindow::showList(std::u16string_view fileName) { apply(model_.showChosenList(files_, fileName)); }

void EditorWindow::showForGuidance() { show(); }

void EditorWindow::openFromTray() {
    apply(model_.openEditor(files_));
    if (hwnd()) {
        show();
        return;
    }
    // No window to leave: nothing would ever bring the expansion back.
    LeaveOutcome nothingLeft;
    nothingLeft.restoreExpansionIfTicked = true;
    nothingLeft.rebuildTrayMenu = false;
    host_.editorLeft(nothingLeft);
}

bool EditorWindow::saveBeforeQuit() {
    if (hwnd() && ::IsWindowVisible(hwnd())) {
        if (const std::optional<Message> typed = model_.typedTextQuestion(); typed && !ask(*typed)) return false;
    }
    EditorOutcome outcome = model_.saveBeforeQuit(files_);
    if (const std::optional<Message> failure = takeSaveFailure(outcome)) {
        apply(outcome);
        return goOnWithoutSaving(*failure);
    }
    apply(outcome);
    return outcome.succeeded;
}

void EditorWindow::saveForSessionEnd() noexcept {
    try {
        // The "Editeur" window's text, which only its closing would hand over.
        if (const std::optional<std::wstring> open = textOfOpenTextEditor()) {
            model_.replacementTextReturned(fromWide(*open));
        }
        model_.saveForSessionEnd(files_);
    } catch (...) {
        // The session ends whatever happens here.
    }
}

std::optional<Message> EditorWindow::takeSaveFailure(EditorOutcome& outcome) {
    if (!outcome.saveFailed || !outcome.message) return std::nullopt;
    std::optional<Message> failure = std::move(outcome.message);
    outcome.message.reset();
    return failure;
}

bool EditorWindow::goOnWithoutSaving(const Message& failure) {
    if (!ask(model_.goOnWithoutSavingQuestion(files_, failure.text))) return false;
    model_.letUnsavedRowsGo();
    return true;
}

void EditorWindow::show() noexcept {
    if (!hwnd()) return;
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
    focusKeyField();
}

void EditorWindow::focusKeyField() noexcept {
    if (const HWND key = control(ec::KeyField)) ::SetFocus(key);
}

void EditorWindow::takeFieldsFromWindow() {
    // Another program (automation, an accessibility tool) may have set a
    // field with WM_SETTEXT, which a multi-line edit control announces with
    // neither EN_UPDATE nor EN_CHANGE: the model takes what the fields show.
    std::u16string key = fieldText(ec::KeyField);
    if (key != model_.keyField()) apply(model_.keyFieldEdited(std::move(key)));
    std::u16string replacement = fieldText(ec::ReplacementField);
    if (replacement != model_.replacementField()) apply(model_.replacementFieldEdited(std::move(replacement)));
}

// --- Messages.

bool EditorWindow::takesDialogKey(MSG& message) noexcept {
    if (!hwnd() || !::IsWindowVisible(hwnd())) return false;
    // Replacement texts may hold tabs: in that field Tab is typed, not a
    // move. Its keys bypass the dialog manager altogether, since an edit
    // control that has seen it once ignores Tab from then on (Wine).
    if (message.hwnd == control(ec::ReplacementField)) return false;
    return ::IsDialogMessageW(hwnd(), &message) != FALSE;
}

LRESULT EditorWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (message) {
            case WM_COMMAND:
                onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
                return 0;
            case WM_NOTIFY:
                return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
            case WM_CLOSE:
                // The close box leaves as "Quitter" does, questions included.
                ::PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(ec::Quit, BN_CLICKED),
                               reinterpret_cast<LPARAM>(control(ec::Quit)));
                return 0;
            case WM_PARENTNOTIFY:
                if (LOWORD(wParam) == WM_RBUTTONDOWN) {
                    // Group boxes are looked through, as the user sees them.
                    POINT point{};
                    ::GetCursorPos(&point);
                    ::ScreenToClient(hwnd(), &point);
                    const HWND under = ::RealChildWindowFromPoint(hwnd(), point);
                    if (under && under == control(ec::ReplacementField)) ::SetFocus(under);
                }
                break;
            case WM_SETCURSOR:
                if (reinterpret_cast<HWND>(wParam) == control(ec::Zoom)) {
                    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
                break;
            default:
                break;
        }
    } catch (...) {
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}

void EditorWindow::onCommand(int id, WORD code, HWND from) {
    if (drawing_) return;
    switch (id) {
        case ec::ListSelector:
            if (code == CBN_CLOSEUP) {
                ::SetFocus(hwnd());
            } else if (code == CBN_SELCHANGE) {
                const LRESULT selected = ::SendMessageW(from, CB_GETCURSEL, 0, 0);
                std::optional<std::size_t> selection;
                if (selected >= 0) selection = static_cast<std::size_t>(selected);
                EditorOutcome outcome = model_.switchEditedList(files_, selection);
                if (const std::optional<Message> failure = takeSaveFailure(outcome)) {
                    apply(outcome);  // the selector back on the list the rows belong to
                    if (goOnWithoutSaving(*failure)) apply(model_.switchEditedList(files_, selection));
                    return;
                }
                apply(outcome);
            }
            return;
        case ec::Listing:
            if (code == ec::ListingFocused) apply(model_.pickRow(::GetFocus() == control(ec::Listing)));
            return;
        case ec::KeyField:
            if (code == EN_CHANGE) apply(model_.keyFieldEdited(fieldText(ec::KeyField)));
            return;
        case ec::ReplacementField:
            if (code == EN_UPDATE) apply(model_.replacementFieldEdited(fieldText(ec::ReplacementField)));
            return;
        default:
            break;
    }
    if (code != BN_CLICKED) return;  // STN_CLICKED too
    switch (id) {
        case ec::CreateList:
            onCreateList();
            break;
        case ec::DeleteList:
            onDeleteList();
            break;
        case ec::Zoom:
            onZoom();
            break;
        case ec::Add:
            takeFieldsFromWindow();
            apply(model_.addAbbreviation());
            focusKeyField();
            break;
        case ec::Modify:
            takeFieldsFromWindow();
            apply(model_.modifyAbbreviation());
            focusKeyField();
            break;
        case ec::Delete:
            apply(model_.deleteAbbreviation());
            focusKeyField();
            break;
        case ec::Reset:
            apply(model_.resetFields());
            focusKeyField();
            break;
        case ec::Quit:
            onLeave();
            break;
        default:
            break;  // IDOK and IDCANCEL of the dialog keys among them
    }
}

LRESULT EditorWindow::onNotify(const NMHDR& header) {
    if (header.idFrom != static_cast<UINT_PTR>(ec::Listing)) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
            const auto row = static_cast<std::size_t>(info.item.iItem);
            if (!(info.item.mask & LVIF_TEXT) || row >= model_.rows().size() || info.item.cchTextMax <= 0) return 0;
            const Abbreviation& entry = model_.rows()[row];
            // Straight from the row into the listing's buffer, cut to its room.
            const std::u16string& text = info.item.iSubItem == 0 ? entry.key : entry.storedText;
            const std::size_t room = static_cast<std::size_t>(info.item.cchTextMax) - 1;
            const std::size_t length = std::min(text.size(), room);
            std::copy_n(text.data(), length, info.item.pszText);
            info.item.pszText[length] = L'\0';
            return 0;
        }
        case LVN_COLUMNCLICK:
            if (!drawing_) {
                apply(model_.clickColumnTitle(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem));
            }
            return 0;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
                onListingEvent();
            }
            return 0;
        }
        case LVN_KEYDOWN:
            // Delete in the listing is "Supprimer", when that button is.
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
                const HWND button = control(ec::Delete);
                if (button && ::IsWindowEnabled(button)) {
                    ::PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(ec::Delete, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(button));
                }
            }
            return 0;
        case LVN_ODSTATECHANGED:
        case NM_CLICK:
        case NM_RCLICK:
        case NM_DBLCLK:
        case NM_RDBLCLK:
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG:
            onListingEvent();
            return 0;
        default:
            return 0;
    }
}

// Any of the listing's own events: the model learns the selected row, and
// copies it into the fields when the listing has the keyboard focus.
void EditorWindow::onListingEvent() {
    if (drawing_) return;
    const HWND listing = control(ec::Listing);
    apply(model_.selectRow(selectedListingRow(listing)));
    apply(model_.pickRow(::GetFocus() == listing));
}

void EditorWindow::onZoom() {
    ++busy_;
    const std::optional<std::wstring> edited =
        editTextModally(instance_, hwnd(), listFont_, toWide(fieldText(ec::ReplacementField)));
    --busy_;
    if (edited) apply(model_.replacementTextReturned(fromWide(*edited)));
}

void EditorWindow::onCreateList() {
    const EditorOutcome opening = model_.beginCreateList();
    if (!opening.openNameDialog) {
        apply(opening);
        return;
    }
    ++busy_;
    const std::optional<std::u16string> name =
        askNewListName(instance_, hwnd(), [this](std::u16string_view candidate) {
            const std::optional<Message> refusal = model_.checkNewListName(files_, candidate);
            if (refusal) showMessage(refusal->text, refusal->title);
            return !refusal;
        });
    --busy_;
    if (!name) return;
    const EditorOutcome outcome = model_.createList(files_, *name);
    if (outcome.catalogueChanged) host_.catalogueChanged(model_.catalogueFileNames());
    apply(outcome);
}

void EditorWindow::onDeleteList() {
    const EditorOutcome question = model_.beginDeleteList(files_);
    if (!question.message || question.message->buttons != Buttons::YesNo) {
        apply(question);
        return;
    }
    const Answer answer = ask(*question.message) ? Answer::Yes : Answer::No;
    const EditorOutcome outcome = model_.deleteList(files_, answer);
    if (outcome.catalogueChanged) host_.catalogueChanged(model_.catalogueFileNames());
    apply(outcome);
}

void EditorWindow::onLeave() {
    Answer answer = Answer::Yes;
    if (const std::optional<Message> question = model_.leaveQuestion()) {
        answer = ask(*question) ? Answer::Yes : Answer::No;
    }
    LeaveOutcome outcome = model_.leaveEditor(files_, answer);
    if (outcome.saveFailed && outcome.message) {
        // A save that keeps failing must not keep the user, and the
        // expansion, in the editor: they choose.
        const Message failure = std::move(*outcome.message);
        outcome.message.reset();
        if (goOnWithoutSaving(failure)) outcome = model_.leaveEditor(files_, Answer::Yes);
    }
    // A save may have joined the rows to those of a file read again late.
    drawRows();
    drawSelection(ScrollTo::None);
    ::SetWindowTextW(control(ec::RecordsCounter), toWide(model_.recordsCounterText()).c_str());
    // The expansion and the list come back before the window goes: hiding
    // hands the activation on, which can take a while (2 s under Wine), and
    // the keys typed meanwhile go to the next window through the hooks'
    // thread, which must find the expansion on.
    host_.editorLeft(outcome);
    if (outcome.hideWindow) ::ShowWindow(hwnd(), SW_HIDE);
    if (outcome.message) tell(*outcome.message);
}

// --- Drawing the model.

void EditorWindow::apply(const EditorOutcome& outcome) {
    if (hwnd()) {
        const Redraw& redraw = outcome.redraw;
        if (redraw.rows) drawRows();
        if (redraw.rows || redraw.selection || outcome.scroll != ScrollTo::None) drawSelection(outcome.scroll);
        if (redraw.fields) drawFields();
        if (redraw.buttons) drawButtons();
        if (redraw.selector) drawSelector();
        if (redraw.listsCounter) {
            ::SetWindowTextW(control(ec::ListsCounter), toWide(model_.listsCounterText()).c_str());
        }
        if (redraw.recordsCounter) {
            ::SetWindowTextW(control(ec::RecordsCounter), toWide(model_.recordsCounterText()).c_str());
        }
        if (outcome.focusEditorWindow) ::SetFocus(hwnd());
    }
    if (outcome.message) tell(*outcome.message);
}

void EditorWindow::drawRows() {
    const HWND listing = control(ec::Listing);
    drawing_ = true;
    ::SendMessageW(listing, LVM_SETITEMCOUNT, model_.rows().size(), 0);
    ::InvalidateRect(listing, nullptr, FALSE);
    drawing_ = false;
}

void EditorWindow::drawSelection(ScrollTo scroll) {
    const HWND listing = control(ec::Listing);
    drawing_ = true;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(listing, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (const std::optional<std::size_t> row = model_.selectedRow()) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(listing, LVM_SETITEMSTATE, *row, reinterpret_cast<LPARAM>(&state));
        if (scroll != ScrollTo::None) {
            ::SendMessageW(listing, LVM_ENSUREVISIBLE, *row, scroll == ScrollTo::PartlyVisible ? TRUE : FALSE);
        }
    }
    drawing_ = false;
}

void EditorWindow::drawFields() {
    drawing_ = true;
    ::SetWindowTextW(control(ec::KeyField), toWide(model_.keyField()).c_str());
    ::SetWindowTextW(control(ec::ReplacementField), toWide(model_.replacementField()).c_str());
    drawing_ = false;
}

void EditorWindow::drawButtons() {
    const bool entry = model_.buttonState() == ButtonState::Entry;
    ::EnableWindow(control(ec::Add), entry);
    ::EnableWindow(control(ec::Modify), !entry);
    ::EnableWindow(control(ec::Delete), !entry);
}

void EditorWindow::drawSelector() {
    const HWND selector = control(ec::ListSelector);
    drawing_ = true;
    ::SendMessageW(selector, CB_RESETCONTENT, 0, 0);
    for (const ListEntry& entry : model_.selectorEntries()) {
        ::SendMessageW(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(entry.displayName).c_str()));
    }
    const std::optional<std::size_t> selected = model_.selectorSelection();
    ::SendMessageW(selector, CB_SETCURSEL, selected ? static_cast<WPARAM>(*selected) : static_cast<WPARAM>(-1), 0);
    drawing_ = false;
}

// After a message box the focus goes back to the control that had it.
void EditorWindow::tell(const Message& message) {
    const HWND had = ::GetFocus();
    ++busy_;
    showMessage(message.text, message.title);
    --busy_;
    if (had && ::IsWindow(had) && ::IsChild(hwnd(), had) && ::IsWindowVisible(hwnd())) ::SetFocus(had);
}

bool EditorWindow::ask(const Message& message) {
    const HWND had = ::GetFocus();
    ++busy_;
    const bool yes = askYesNo(message.text, message.title, message.defaultNo);
    --busy_;
    if (had && ::IsWindow(had) && ::IsChild(hwnd(), had) && ::IsWindowVisible(hwnd())) ::SetFocus(had);
    return yes;
}

std::u16string EditorWindow::fieldText(int id) const { return fromWide(windowText(control(id))); }

// --- The two watched controls.

LRESULT CALLBACK EditorWindow::keyFieldProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = ControlSubclass::ownerOf<EditorWindow>(control);
    std::optional<GuardDecision> decision;
    switch (message) {
        case WM_CONTEXTMENU:
            decision = guardKeyFieldContextMenu();
            break;
        case WM_PASTE:
            decision = guardKeyFieldPaste();
            break;
        case WM_KEYDOWN:
            decision = guardKeyFieldKeyDown(static_cast<std::uint16_t>(wParam), ::GetKeyState(VK_SHIFT) < 0,
                                            ::GetKeyState(VK_CONTROL) < 0);
            break;
        case WM_CHAR:
            decision = guardKeyFieldCharacter(static_cast<char16_t>(wParam),
                                              static_cast<std::size_t>(::GetWindowTextLengthW(control)));
            break;
        default:
            break;
    }
    if (decision && !decision->passOn) {
        if (decision->message && self) {
            try {
                self->tell(Message{std::u16string(*decision->message), messages::TitleInfo, Buttons::Ok});
            } catch (...) {
            }
        }
        return 0;
    }
    return ControlSubclass::callPrevious(control, message, wParam, lParam);
}

LRESULT CALLBACK EditorWindow::listingProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_SETFOCUS) {
        // Posted: the pick runs once the focus has really moved here.
        if (const HWND editor = ::GetParent(control)) {
            ::PostMessageW(editor, WM_COMMAND, MAKEWPARAM(editor_control::Listing, editor_control::ListingFocused),
                           reinterpret_cast<LPARAM>(control));
        }
    }
    return ControlSubclass::callPrevious(control, message, wParam, lParam);
}

}  // namespace calmirande
