#include "lists/list_creation.h"

#include <array>

#include "common/lower_case.h"
#include "common/messages.h"
#include "common/text.h"
#include "lists/catalogue.h"
#include "lists/list_file.h"

namespace calmirande {
namespace {

char16_t asciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

bool equalsAsciiIgnoringCase(std::u16string_view text, std::u16string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (asciiUpper(text[i]) != upper[i]) return false;
    }
    return true;
}

bool isPortDigit(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3'; }

constexpr std::array<std::u16string_view, 6> kDevices = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};

}  // namespace

bool isReservedDeviceName(std::u16string_view fileName) {
    std::u16string_view base = fileName.substr(0, fileName.find(u'.'));
    while (!base.empty() && (base.back() == u' ' || base.back() == u'.')) base.remove_suffix(1);
    for (std::u16string_view device : kDevices) {
        if (equalsAsciiIgnoringCase(base, device)) return true;
    }
    return base.size() == 4 && isPortDigit(base[3]) &&
           (equalsAsciiIgnoringCase(base.substr(0, 3), u"COM") || equalsAsciiIgnoringCase(base.substr(0, 3), u"LPT"));
}

bool isValidFileName(std::u16string_view fileName) {
    if (fileName.empty()) return false;
    for (char16_t c : fileName) {
        if (c < 32 || std::u16string_view(u"\"\\/:*?<>|").find(c) != std::u16string_view::npos) return false;
    }
    return !isReservedDeviceName(fileName);
}

std::u16string newListFileName(std::u16string_view listName) {
    std::u16string fileName(listName);
    fileName.append(u".dat");
    return fileName;
}

bool derivedPathsFit(FileStore& files, std::u16string_view fileName) {
    // The longest name made from a list's is the last numbered copy of its
    // set-aside rows; the temporary and backup names are shorter.
    const std::u16string longest = keptCopyPath(fileName, UnsavedRowsSuffix, MaxUnsavedRowsCopies);
    const std::size_t lastName = longest.size() - backupsFolderPath().size() - 1;
    return lastName <= MaxFileNameLength && longest.size() <= files.pathRoom();
}

bool isListNameTaken(FileStore& files, std::u16string_view listName, const std::vector<std::u16string>& shownNames) {
    // Display names drop every ".dat", so two different files can show the
    // same name; a new list must not add one that no one can tell apart, now
    // or at the next start, when its name is read back from its file.
    const std::u16string fileName = newListFileName(listName);
    const std::u16string folded = toLowerCase(listName);
    const std::u16string foldedAtNextStart = toLowerCase(listDisplayName(fileName));
    for (const std::u16string& shown : shownNames) {
        const std::u16string foldedShown = toLowerCase(shown);
        if (foldedShown == folded || foldedShown == foldedAtNextStart) return true;
    }
    return files.exists(listPath(fileName));
}

std::optional<std::u16string_view> newListNameRefusal(FileStore& files, std::u16string_view listName,
                                                      const std::vector<std::u16string>& shownNames) {
    // An empty name would make ".dat", a list with no name to show or choose.
    if (listName.empty() || !isValidFileName(newListFileName(listName))) return messages::ListNameForbidden;
    if (!derivedPathsFit(files, newListFileName(listName))) return messages::ListNameTooLong;
    if (isListNameTaken(files, listName, shownNames)) return messages::ListNameTaken;
    return std::nullopt;
}

std::optional<std::u16string> listLimitRefusal(std::size_t listCount) {
    if (listCount < MaxLists) return std::nullopt;
    std::u16string text(messages::ListLimitStart);
    text.append(decimalText(MaxLists));
    text.append(messages::ListLimitEnd);
    return text;
}

bool createListFile(FileStore& files, std::u16string_view fileName) {
    return files.createNewFile(listPath(fileName), EmptyListBytes);
}

bool deleteListFile(FileStore& files, std::u16string_view fileName) {
    const std::u16string path = listPath(fileName);
    if (!files.exists(path) || !backupsFolderReady(files)) return false;
    return files.moveFile(path, freeKeptCopyPath(files, fileName, DeletedListSuffix));
}

}  // namespace calmirande
