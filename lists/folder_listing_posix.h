#pragma once
// The folder seam on POSIX systems: opendir / readdir, in readdir's order.

#include "lists/folder_listing.h"

namespace calmirande {

class PosixFolderListing final : public FolderListing {
public:
    bool listDatEntries(const std::u16string& folder,
                        const std::function<bool(const FolderEntry&)>& visit) override;
};

}  // namespace calmirande
