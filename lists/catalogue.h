#pragma once
// The catalogue: the list files of "Listes", at most MaxLists of them, in the
// order the folder listing gives them. Built once at start-up on the main
// thread; afterwards only list creation and deletion change it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lists/folder_listing.h"

namespace calmirande {

inline constexpr std::size_t MaxLists = 20;

struct ListCatalogue {
    // File names with their extension, as the listing spelled them.
    std::vector<std::u16string> fileNames;
};

// True when `name` really ends in ".dat", letter case ignored.
bool hasListExtension(std::u16string_view name);

// The name shown in the tray menu and the editor: the file name with every
// ".dat" removed, letter case ignored (Notes.DAT gives Notes, a.dat.dat gives a).
std::u16string listDisplayName(std::u16string_view fileName);

struct EnumeratedLists {
    ListCatalogue catalogue;
    // The active list's file name if the catalogue holds that exact name
    // (letter case included), otherwise empty.
    std::u16string activeListFile;
};

// Takes the first MaxLists files of the lists folder; folders are skipped and
// take no place. A folder that cannot be listed gives an empty catalogue.
EnumeratedLists enumerateLists(FolderListing& listing, std::u16string_view activeListFile);

}  // namespace calmirande
