#pragma once
// The "Edition des Abréviations" window: the list selector, the listing, the
// two entry fields and the buttons, shown from the EditorModel and reporting
// every user action to it. Built hidden at start-up, then only shown and
// hidden until the program ends. Main thread only; the hooks never call it.
//
// The listing is a virtual (owner-data) list view: its rows are the model's,
// read when drawn, so a 2000-row list shows without copying it.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/base_window_win32.h"
#include "common/unique_handle_win32.h"
#include "editor/editor_entry.h"
#include "editor/editor_model.h"
#include "lists/file_store.h"

namespace calmirande {

namespace editor_control {
inline constexpr int ListsCounterLabel = 100;
inline constexpr int RecordsCounterLabel = 101;
inline constexpr int SortNotice = 102;
inline constexpr int ListsCounter = 103;
inline constexpr int RecordsCounter = 104;
inline constexpr int ListsGroup = 105;
inline constexpr int ListSelector = 106;
inline constexpr int CreateList = 107;
inline constexpr int DeleteList = 108;
inline constexpr int Listing = 109;
inline constexpr int EntryGroup = 110;
inline constexpr int KeyLabel = 111;
inline constexpr int TextLabel = 112;
inline constexpr int Zoom = 113;
inline constexpr int KeyField = 114;
inline constexpr int ReplacementField = 115;
inline constexpr int Add = 116;
inline constexpr int Quit = 117;
inline constexpr int Modify = 118;
inline constexpr int Reset = 119;
inline constexpr int Delete = 120;
// The listing's own notification that it gained the focus.
inline constexpr WORD ListingFocused = 7;
}  // namespace editor_control

class EditorWindow final : public BaseWindow<EditorWindow>, public EditorEntry {
public:
    EditorWindow(FileStore& files, EditorHost& host, const std::vector<std::u16string>& catalogueFileNames);
    ~EditorWindow() override;

    // Builds the window and its controls, hidden. False when it cannot be
    // made: the editor's entry points then keep the model only.
    bool create(HINSTANCE instance, HFONT listFont) noexcept;

    void showList(std::u16string_view fileName) override;
    void showForGuidance() override;
    void openFromTray() override;
    bool saveBeforeQuit() override;
    void saveForSessionEnd() noexcept override;
    bool busy() const override { return busy_ > 0; }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // From the program's loop, before translation: the dialog keys (Tab and
    // Shift+Tab between controls) while the window shows. True when taken.
    bool takesDialogKey(MSG& message) noexcept;

private:
    static LRESULT CALLBACK keyFieldProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK listingProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND control(int id) const noexcept { return ::GetDlgItem(hwnd(), id); }
    void createControls(HINSTANCE instance, HFONT listFont);
    void onCommand(int id, WORD code, HWND from);
    LRESULT onNotify(const NMHDR& header);
    void onListingEvent();
    void onZoom();
    void onCreateList();
    void onDeleteList();
    void onLeave();
    void show() noexcept;
    void focusKeyField() noexcept;
    // Before "Ajouter" and "Modifier": the fields as the window shows them.
    void takeFieldsFromWindow();

    // Draws what the outcome says changed, then tells its message.
    void apply(const EditorOutcome& outcome);
    void drawRows();
    void drawSelection(ScrollTo scroll);
    void drawFields();
    void drawButtons();
    void drawSelector();
    void tell(const Message& message);
    // The message of a failed save that stops the user, taken out of the outcome.
    static std::optional<Message> takeSaveFailure(EditorOutcome& outcome);
    // Asks whether to go on without saving; on Yes the rows are set aside.
    bool goOnWithoutSaving(const Message& failure);
    bool ask(const Message& message);
    std::u16string fieldText(int id) const;

    FileStore& files_;
    EditorHost& host_;
    EditorModel model_;
    HINSTANCE instance_ = nullptr;
    HFONT listFont_ = nullptr;  // we don't own it: the program's fonts do
    UniqueIcon magnifier_;
    std::optional<ControlSubclass> keyFieldSubclass_;
    std::optional<ControlSubclass> listingSubclass_;
    // Set while the window changes its own controls: their notifications
    // are echoes, not the user's actions.
    bool drawing_ = false;
    int busy_ = 0;  // questions and modal children open
};

}  // namespace calmirande
