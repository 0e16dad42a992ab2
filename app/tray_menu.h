#pragma once
// The tray icon's popup menu as data, and what each of its commands does to
// the program's state. The window layer turns the items into an HMENU, sends
// a chosen identifier here and carries out the returned effects (windows to
// show, the strip to hide, message boxes, the loop to end). Main thread only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "lists/file_store.h"
#include "lists/list_file.h"

namespace calmirande {

// Menu identifiers. List items are FirstListCommand + their position.
namespace tray_command {
inline constexpr std::uint32_t CurrentList = 1;
inline constexpr std::uint32_t About = 2;
inline constexpr std::uint32_t Help = 3;
inline constexpr std::uint32_t Editor = 4;
inline constexpr std::uint32_t WritingAid = 5;
inline constexpr std::uint32_t Expansion = 6;
inline constexpr std::uint32_t Quit = 7;
inline constexpr std::uint32_t FirstList = 10;
}  // namespace tray_command

struct TrayMenuItem {
    std::u16string text;  // as the menu must be given it: "&" doubled, so no mnemonic
    std::uint32_t id = 0;  // 0 for the separator
    bool checked = false;
    bool enabled = true;
    bool separator = false;
    friend bool operator==(const TrayMenuItem&, const TrayMenuItem&) = default;
};

// The menu as it was built. `listFiles` are the catalogue's file names at
// that moment: list item FirstList + p stands for listFiles[p] until the menu
// is rebuilt, even if the editor has created or deleted lists meanwhile.
struct TrayMenu {
    std::vector<TrayMenuItem> items;
    std::vector<std::u16string> listFiles;
};

// A text shown literally by a Win32 menu: every "&" doubled.
std::u16string literalMenuText(std::u16string_view text);

// Item 1: "Liste Actuelle: " and the active file name with every ".dat"
// (that exact case) removed, or "Liste Actuelle: Aucune"; not yet escaped.
std::u16string currentListText(std::u16string_view activeListFile);

// Item 1, one item per catalogue list, a separator, items 2 to 7; check
// marks on the active list, on item 5 when the writing aid is allowed and on
// item 6 when the user has the expansion switched on.
TrayMenu buildTrayMenu(const AppState& state);

// Whether the menu's list items are the catalogue's lists. Once the editor
// has created or deleted a list they are not, and the menu is built again
// at once: no item may stand for a deleted file.
bool trayMenuShowsCatalogue(const TrayMenu& menu, const ListCatalogue& catalogue);

// Item 1's text and every check mark again from `state`; the list items stay
// those the menu was built with.
void refreshTrayMenu(TrayMenu& menu, const AppState& state);

// The editor's side of a list chosen in the tray menu: the editor, visible or
// not, shows that list's rows (and reports a failure to load them itself).
using ShowListInEditor = std::function<void(std::u16string_view fileName)>;

// What choosing a list leaves for the window layer, once the editor has shown
// the list: the writing-aid strip takes `aidRows`, then `message`, if any,
// is shown in a box titled "Info". The expansion table is already published
// and the preferences already written.
struct ListSelection {
    std::u16string fileName;
    AbbreviationList aidRows;
    std::optional<std::u16string> message;  // the list could not be loaded for expansion
};

// Makes the list of menu position `position` the active one, in this order:
// the state with the menu's check marks and item 1, the editor
// (`showInEditor`, when given), the expansion table, the preferences file.
// Nothing when no list item has that position. A file that has vanished
// leaves the list named as the active one, with an empty table.
std::optional<ListSelection> selectListFromMenu(AppState& state, TrayMenu& menu, FileStore& files,
                                                std::size_t position, const ShowListInEditor& showInEditor = {});

enum class TrayAction {
    None,
    ShowAbout,   // show the About window as it was left
    OpenHelp,    // create the Help window: it was not open
    OpenEditor,  // the editor's entry point; the expansion is already suspended
    WritingAidSwitched,
    ExpansionSwitched,
    Quit,  // the preferences are written; end the loop now, even from a nested loop
    ListSelected,
};

struct TrayCommandResult {
    TrayAction action = TrayAction::None;
    bool hideWritingAid = false;
    std::optional<ListSelection> selection;  // with ListSelected
};

// Carries out menu command `id` on the state (and the preferences file where
// the command writes it) and says what the window layer must do. The menu's
// check marks and item 1 are refreshed; the caller copies them to its HMENU.
// An open Help window is never brought forward: the command then does nothing.
TrayCommandResult runTrayCommand(AppState& state, TrayMenu& menu, FileStore& files, std::uint32_t id,
                                 bool helpWindowOpen, const ShowListInEditor& showInEditor = {});

}  // namespace calmirande
