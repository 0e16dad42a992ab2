#pragma once
// The folder seam on Windows: FindFirstFileW / FindNextFileW on "*.dat".

#include "lists/folder_listing.h"

namespace calmirande {

class Win32FolderListing final : public FolderListing {
public:
    bool listDatEntries(const std::u16string& folder,
                        const std::function<bool(const FolderEntry&)>& visit) override;
};

}  // namespace calmirande
