#include "lists/folder_listing_win32.h"

#include <windows.h>

#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"

namespace calmirande {

bool Win32FolderListing::listDatEntries(const std::u16string& folder,
                                        const std::function<bool(const FolderEntry&)>& visit) {
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
