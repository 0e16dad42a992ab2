#include "lists/catalogue.h"

#include "lists/list_file.h"

namespace calmirande {
namespace {

constexpr std::u16string_view kListExtension = u".dat";

// ".dat" is ASCII and no other character folds onto its letters, so an ASCII
// comparison is the whole of "letter case ignored" here.
char16_t asciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

bool isListExtensionAt(std::u16string_view text, std::size_t at) {
    if (text.size() - at < kListExtension.size()) return false;
    for (std::size_t i = 0; i < kListExtension.size(); ++i) {
        if (asciiLower(text[at + i]) != kListExtension[i]) return false;
    }
    return true;
}

}  // namespace

bool hasListExtension(std::u16string_view name) {
    return name.size() >= kListExtension.size() && isListExtensionAt(name, name.size() - kListExtension.size());
}

std::u16string listDisplayName(std::u16string_view fileName) {
    // One pass, left to right: letters joined by a removal are not looked at again.
    std::u16string name;
    name.reserve(fileName.size());
    for (std::size_t i = 0; i < fileName.size();) {
        if (isListExtensionAt(fileName, i)) {
            i += kListExtension.size();
        } else {
            name.push_back(fileName[i++]);
        }
    }
    return name;
}

EnumeratedLists enumerateLists(FolderListing& listing, std::u16string_view activeListFile) {
    EnumeratedLists result;
    std::vector<std::u16string>& names = result.catalogue.fileNames;
    bool activeFound = false;
    // A folder that cannot be listed yields nothing, which is already an empty catalogue.
    listing.listDatEntries(std::u16string(ListsFolder), [&](const FolderEntry& entry) {
        if (names.size() >= MaxLists) return false;
        // Windows matches "*.dat" against short names too, so "x.data" (short
        // name X~1.DAT) comes back from the search: only a name that really
        // ends in ".dat" is a list file.
        if (entry.isFolder || !hasListExtension(entry.name)) return true;
        if (entry.name == activeListFile) activeFound = true;
        names.push_back(entry.name);
        return true;
    });
    if (activeFound) result.activeListFile = std::u16string(activeListFile);
    return result;
}

}  // namespace calmirande
