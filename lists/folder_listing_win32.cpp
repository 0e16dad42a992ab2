#include "lists/folder_listing_win32.h"

#include <windows.h>

#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "lists/catalogue.h"
#include "lists/file_store_win32.h"

namespace calmirande {
namespace {

// A list whose last replace was cut short exists only as "<name>.tmp" or
// "<name>.<n>.tmp": it is put back before the listing, so that it is found.
void finishInterruptedReplaces(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(::FindFirstFileW((folder + L"\\*.tmp").c_str(), &found));
    if (!search) return;
    do {
        std::wstring name = found.cFileName;
        if (name.size() < 4 || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        name.resize(name.size() - 4);
        const std::size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos && dot + 1 < name.size() &&
            name.find_first_not_of(L"0123456789", dot + 1) == std::wstring::npos) {
            name.resize(dot);
        }
        if (hasListExtension(fromWide(name))) finishInterruptedReplace(folder + L"\\" + name);
    } while (::FindNextFileW(search.get(), &found));
}

}  // namespace

bool Win32FolderListing::listDatEntries(const std::u16string& folder,
                                        const std::function<bool(const FolderEntry&)>& visit) {
    finishInterruptedReplaces(toWide(folder));
    std::wstring pattern = toWide(folder);
    pattern.append(L"\\*.dat");
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(::FindFirstFileW(pattern.c_str(), &found));
    // A folder without any match fails with ERROR_FILE_NOT_FOUND: it was listed.
    if (!search) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        // cFileName is the long name even when the pattern matched the short one.
        const FolderEntry entry{fromWide(found.cFileName), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
        if (!visit(entry)) break;
    } while (::FindNextFileW(search.get(), &found));
    return true;
}

}  // namespace calmirande
