#pragma once
// The file seam on POSIX systems: what the native build and its tests use.

#include "lists/file_store.h"

namespace calmirande {

class PosixFileStore final : public FileStore {
public:
    std::optional<std::string> readFile(const std::u16string& path) override;
    FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) override;
    bool replaceFile(const std::u16string& path, std::string_view bytes) override;
    bool createNewFile(const std::u16string& path, std::string_view bytes) override;
    bool moveFile(const std::u16string& from, const std::u16string& to) override;
    bool removeFile(const std::u16string& path) override;
    bool exists(const std::u16string& path) override;
    bool createFolder(const std::u16string& path) override;

private:
    // Notes why the write failed from `errno`, and returns false.
    bool failed(int error);
};

}  // namespace calmirande
