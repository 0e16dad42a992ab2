#include "lists/folder_listing_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "common/text.h"
#include "lists/catalogue.h"

namespace calmirande {
namespace {

struct CloseDirectory {
    void operator()(DIR* directory) const noexcept { ::closedir(directory); }
};

bool isFolder(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    // Some file systems do not fill d_type, and a link counts as what it
    // points to (a dangling link counts as a file, as Windows lists it).
    struct stat info {};
    return ::fstatat(::dirfd(directory), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool PosixFolderListing::listDatEntries(const std::u16string& folder,
                                        const std::function<bool(const FolderEntry&)>& visit) {
    const std::unique_ptr<DIR, CloseDirectory> directory(::opendir(utf16ToUtf8(folder).c_str()));
    if (!directory) return false;
    while (const dirent* entry = ::readdir(directory.get())) {
        FolderEntry found{utf8ToUtf16(entry->d_name), false};
        if (!hasListExtension(found.name)) continue;
        found.isFolder = isFolder(directory.get(), *entry);
        if (!visit(found)) break;
    }
    return true;
}

}  // namespace calmirande
