#pragma once
// Creating and deleting list files, and what a new list's name must be.
// Main thread only, from the editor.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/file_store.h"

namespace calmirande {

// What a new list file holds: the byte-order mark and no record.
inline constexpr std::string_view EmptyListBytes = "\xEF\xBB\xBF";

// Windows opens a device instead of a file for these names (CON, PRN, AUX,
// NUL, COM0-COM9, LPT0-LPT9 with ¹²³ too, CONIN$, CONOUT$) whatever follows
// the first dot and whatever the letter case; trailing spaces and dots do not
// help either. Such a "list" would swallow its saves.
bool isReservedDeviceName(std::u16string_view fileName);

// False for an empty name, a character below 32, one of " \ / : * ? < > |,
// or a reserved device name. Accents, spaces and dots are fine.
bool isValidFileName(std::u16string_view fileName);

// What a single name in a path may hold, on Windows as on Linux.
inline constexpr std::size_t MaxFileNameLength = 255;

// Whether every path the program derives from the list file `fileName`
// (backups, set-aside rows, deleted copies, temporary files) stays within
// the system's limits: otherwise a list could be made that never saves.
bool derivedPathsFit(FileStore& files, std::u16string_view fileName);

// The file a list name stands for when the user names a new list.
std::u16string newListFileName(std::u16string_view listName);

// Whether `listName` equals, letter case ignored, one of the names the user
// already sees (as typed, or as it will show once read back from its file:
// "Perso.dat" becomes "Perso.dat.dat", shown as "Perso"), or some entry of
// the lists folder already has its file's name.
bool isListNameTaken(FileStore& files, std::u16string_view listName, const std::vector<std::u16string>& shownNames);

// Why a new list name is refused (a message of the "Erreur" box), or nothing.
// An empty name is refused as forbidden.
std::optional<std::u16string_view> newListNameRefusal(FileStore& files, std::u16string_view listName,
                                                      const std::vector<std::u16string>& shownNames);

// "La limite des 20 Listes possible est atteinte !", or nothing below the limit.
std::optional<std::u16string> listLimitRefusal(std::size_t listCount);

// Creates the empty list file; never replaces an existing file.
bool createListFile(FileStore& files, std::u16string_view fileName);
// Moves the list out of "Listes" into the backups folder, under the first
// free `freeKeptCopyPath(..., DeletedListSuffix)`: a deleted list's rows are
// never destroyed. False when nothing was moved (the list is missing, or it
// could not be moved and is still there).
bool deleteListFile(FileStore& files, std::u16string_view fileName);

}  // namespace calmirande
