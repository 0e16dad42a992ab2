#pragma once
// The one process-wide record that ties the program together. Owned by the
// entry point for the whole run; every field is written on the main thread.
// The hooks' thread and the typist see only `gate` (through its atomics),
// `tables` (through snapshots) and `activeListIndex` (atomic).

#include <atomic>
#include <cstdint>
#include <string>

#include "app/preferences.h"
#include "engine/expansion_worker.h"
#include "lists/catalogue.h"
#include "lists/expansion_table.h"

namespace calmirande {

struct AppState {
    std::u16string activeListFile;     // with ".dat"; empty when no list is active
    // Position in the catalogue, -1 for none. Atomic: the keyboard hook's
    // thread reads whether a list is active.
    std::atomic<std::int32_t> activeListIndex{-1};
    ExpansionGate gate;                 // expansionActive, and whether an expansion is typing
    // The user's choice of tray item "Activer les Abréviations", which its
    // check mark shows. The gate's switch follows it, except while the editor
    // opened from the tray is open; a replacement being typed never touches it.
    bool expansionSwitch = true;
    std::int32_t writingAidEnabled = 0;
    bool quitRequested = false;
    // The preferences file exists but could not be read at start-up: nothing
    // writes over it until the user changes a setting.
    bool preferencesUnread = false;
    ListCatalogue catalogue;
    ExpansionTableSlot tables;  // the published ExpansionTable
};

// Every save of the preferences after start-up: silent on failure, as none
// of them can be helped by a message.
inline void savePreferencesOf(const AppState& state, FileStore& files) {
    if (!state.preferencesUnread) savePreferences(files, state.activeListFile, state.writingAidEnabled);
}

// A setting the user changed: from now on the program's values are theirs.
inline void settingChangedByUser(AppState& state) { state.preferencesUnread = false; }

}  // namespace calmirande
