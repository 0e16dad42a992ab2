#pragma once
// The folder seam of the catalogue: the list files of a folder, in the order
// the system lists them (the catalogue keeps that order, it does not sort).

#include <functional>
#include <string>

namespace calmirande {

struct FolderEntry {
    std::u16string name;  // the name as the system gives it, without folder
    bool isFolder = false;
};

class FolderListing {
public:
    virtual ~FolderListing() = default;

    // Calls `visit` for each entry of `folder` that the system matches with
    // "*.dat" (letter case ignored), until `visit` returns false. The pattern
    // is the system's: on Windows it also matches through short names, so
    // callers check the names themselves. False when the folder cannot be
    // listed; entries already visited stand.
    virtual bool listDatEntries(const std::u16string& folder,
                                const std::function<bool(const FolderEntry&)>& visit) = 0;
};

}  // namespace calmirande
