#pragma once
// The file seam on Windows: CreateFileW / ReadFile / WriteFile, and
// ReplaceFileW (MoveFileExW for a new file) for the atomic replacement.

#include "lists/file_store.h"

namespace calmirande {

class Win32FileStore final : public FileStore {
public:
    std::optional<std::string> readFile(const std::u16string& path) override;
    bool replaceFile(const std::u16string& path, std::string_view bytes) override;
    bool createNewFile(const std::u16string& path, std::string_view bytes) override;
    bool removeFile(const std::u16string& path) override;
    bool exists(const std::u16string& path) override;
    bool createFolder(const std::u16string& path) override;
};

}  // namespace calmirande
