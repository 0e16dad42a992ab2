#pragma once
// The decisions of start-up about files: the lists folder, the preferences
// file, the catalogue and the active list. The window layer shows the fatal
// message, if any, and stops.

#include <cstdint>
#include <string>

#include "app/preferences.h"
#include "lists/catalogue.h"
#include "lists/file_store.h"
#include "lists/folder_listing.h"

namespace calmirande {

struct StartupFiles {
    std::u16string fatalMessage;  // non-empty: show it ("Info") and stop
    ListCatalogue catalogue;
    std::u16string activeListFile;      // empty unless the catalogue holds it, exact case
    std::int32_t activeListIndex = -1;  // its position in the catalogue
    std::int32_t writingAidEnabled = 0;
    bool preferencesUnread = false;  // see PreferencesRead
};

// Makes sure "Listes" and "Preferences.txt" exist (creating them when
// nothing has their name), reads the preferences and scans the catalogue.
StartupFiles prepareStartupFiles(FileStore& files, FolderListing& listing);

}  // namespace calmirande
