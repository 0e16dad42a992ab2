#pragma once
// What the shell decides. At start-up, from what Windows answers: whether
// this system and this instance may run, the fonts' pixel heights, which list
// is active, and whether the user must first be led into the editor. While it
// runs: what the editor's lists and its "Quitter" change in the rest of the
// program, and what the tray's clicks and commands may do while the editor is
// up. The window layer makes the calls and carries out the verdicts;
// everything here runs on the main thread, except that the waits below may
// be asked from it at shutdown only.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/tray_menu.h"
#include "editor/editor_entry.h"
#include "editor/editor_model.h"
#include "lists/catalogue.h"
#include "lists/file_store.h"
#include "lists/list_file.h"

namespace calmirande {

// The two answers of GetVersionExA: the plain query (OSVERSIONINFOA) and the
// extended one (OSVERSIONINFOEXA), which alone carries the product type.
struct WindowsVersionQuery {
    bool succeeded = false;
    std::uint32_t platformId = 0;  // VER_PLATFORM_WIN32_WINDOWS (1) for 9x, VER_PLATFORM_WIN32_NT (2)
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    bool extendedSucceeded = false;
    std::uint8_t productType = 0;  // VER_NT_WORKSTATION (1); anything else is a server
};

inline constexpr std::uint32_t PlatformWin9x = 1;
inline constexpr std::uint32_t PlatformWinNt = 2;
inline constexpr std::uint8_t ProductWorkstation = 1;
inline constexpr int MinimumWindowsVersionLevel = 50;  // Windows 2000

// 10 (95), 30 (98), 40 (ME), 5 (NT 3), 20 (NT 4), 50 (2000), 60 (XP, XP x64),
// 65 (Server 2003), 70 (Vista), 75 (Server 2008 and 2008 R2), 80 (7), and 100
// for anything not known, newer systems and a failed query included. A system
// whose extended query fails counts as a server.
int windowsVersionLevel(const WindowsVersionQuery& query);

// The message to show ("Info") before stopping, or nothing when it may run.
std::optional<std::u16string_view> refuseWindowsVersion(int level);

// `lastError` is GetLastError right after CreateMutexW("Calmirande"), the
// error having been cleared just before. The mutex exists (183) or belongs to
// another user's session (5): another instance runs.
std::optional<std::u16string_view> refuseSecondInstance(std::uint32_t lastError);

// CreateFontW's height for a size in points on a screen of `pixelsPerInch`:
// negative (a character height, not a cell height), rounded to the nearest
// pixel as MulDiv does. A screen that reports no resolution counts as 96.
int fontHeightForPoints(int points, int pixelsPerInch);

struct FontChoice {
    std::u16string_view faceName;
    int points = 0;
    bool bold = false;
};
// The editor's list and fields; the About texts and the writing aid; the
// program's name at the top of the About window.
inline constexpr FontChoice ListFont{u"Courrier New", 10, false};
inline constexpr FontChoice SmallBoldFont{u"Arial", 8, true};
inline constexpr FontChoice TitleBoldFont{u"Arial", 10, true};

// The position of `activeListFile` in the catalogue, by exact file name
// (letter case included), or -1. Computed once and used by the editor's
// selector, the tray menu's check mark and the loading of the active list
// alike, so that "Notes.DAT" or "a.dat.dat" are found the same way by all.
std::int32_t findActiveListIndex(const ListCatalogue& catalogue, std::u16string_view activeListFile);

// The active list's place once the editor has created or deleted a list,
// `catalogue` being the new one: its position by exact file name. An active
// list that was deleted stays the active one, its table expanding until
// another is chosen, at the one place no list of the catalogue has (its
// size), so that nothing takes it for the list now at its old position; no
// active list stays -1.
std::int32_t activeListIndexAfterCatalogueChange(const ListCatalogue& catalogue, std::u16string_view activeListFile);

// The last start-up step: with no list at all, or none active, the user is
// told so (box titled "Calmirande") and the editor is shown; otherwise the
// active list is loaded for expansion.
enum class FirstRunGuidance { LoadActiveList, NoListCreated, NoListSelected };
FirstRunGuidance firstRunGuidance(const ListCatalogue& catalogue, std::int32_t activeListIndex);
// The guidance's message, empty for LoadActiveList.
std::u16string_view guidanceMessage(FirstRunGuidance guidance);

// A list was created or deleted in the editor: the catalogue becomes
// `fileNames` and the active list keeps its file, at the place
// activeListIndexAfterCatalogueChange gives it. True when the tray menu
// `shown` must be built again, its list items being no longer the
// catalogue's: no item may stand for a deleted file.
bool followCatalogueChange(AppState& state, const std::vector<std::u16string>& fileNames, const TrayMenu& shown);

// What leaving the editor leaves for the window layer once the state has
// followed it.
struct EditorLeftEffects {
    // The new active list's rows, for the writing-aid strip.
    std::optional<AbbreviationList> aidRows;
    bool rebuildTrayMenu = false;
};

// The editor's "Quitter" answered, in this order:
// - a new active list (or none) is named in the state and in the preferences
//   file (with `writingAidEnabled`), and its table is published;
// - the expansion comes back only when the user's switch, the tick of
//   "Activer les Abréviations", is on;
// - after the user's No the tray menu is drawn from the expansion as it is:
//   while the editor opened from the tray keeps it suspended, the tick goes,
//   and with it the switch, so that a later Yes leaves the expansion off
//   until the user chooses the item again. A failed save the user does not
//   go on from is not their No: the switch stays as it was.
// `outcome`'s table and rows are taken.
EditorLeftEffects followEditorLeave(AppState& state, FileStore& files, LeaveOutcome& outcome);

// The tray icon's mouse message, as the notification area reports it.
enum class TrayMouse { LeftPress, RightPress, LeftDoubleClick, RightDoubleClick, Other };

// Only a right press opens the tray menu, and not while the editor asks the
// user a question or has a modal child up (`editorBusy`): a choice made then
// would change the state the question is about.
bool trayMenuOpens(TrayMouse mouse, bool editorBusy);

// Command `id` chosen in the tray menu (runTrayCommand), with the editor's
// part: "Quitter" goes ahead only once the editor has kept its rows (saved,
// or set aside at the user's word); when it has not, nothing changes and the
// program goes on (TrayAction::None). A list chosen is shown in the editor
// before it is loaded for expansion.
TrayCommandResult chooseTrayCommand(AppState& state, TrayMenu& menu, FileStore& files, EditorEntry& editor,
                                    std::uint32_t id, bool helpWindowOpen);

// Time as the shutdown wait sees it; a fake in tests.
class ShutdownClock {
public:
    virtual ~ShutdownClock() = default;
    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

// Far longer than any replacement takes to type at the delivery's pace.
inline constexpr std::chrono::milliseconds ExpansionDrainBound{15000};

// Main thread, at shutdown, once the hooks are removed (so no expansion can
// start any more): polls `busy` until it answers false or `bound` has passed.
// True when it went quiet in time. The shell must not release what running
// expansions use before this returns, nor at all when it returns false.
template <typename Busy>
bool waitWhileBusy(Busy&& busy, ShutdownClock& clock, std::chrono::milliseconds bound = ExpansionDrainBound,
                   std::chrono::milliseconds poll = std::chrono::milliseconds(10)) {
    const auto deadline = clock.now() + bound;
    while (busy()) {
        const auto now = clock.now();
        if (now >= deadline) return false;
        // Rounded up: a remainder under 1 ms must still move time on.
        clock.sleepFor(std::min(poll, std::chrono::ceil<std::chrono::milliseconds>(deadline - now)));
    }
    return true;
}

}  // namespace calmirande
