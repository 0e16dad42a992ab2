#pragma once
// The file seam on Windows: CreateFileW / ReadFile / WriteFile, and
// ReplaceFileW (MoveFileExW for a new file) for the atomic replacement.

#include <windows.h>

#include <string>

#include "lists/file_store.h"

namespace calmirande {

// When `target` is missing while a temporary file of a replace stands beside
// it (ReplaceFileW's ERROR_UNABLE_TO_MOVE_REPLACEMENT, a crash or a kill in
// its last step), the newest such file takes its place. True when one did.
bool finishInterruptedReplace(const std::wstring& target) noexcept;

class Win32FileStore final : public FileStore {
public:
    std::optional<std::string> readFile(const std::u16string& path) override;
    FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) override;
    bool replaceFile(const std::u16string& path, std::string_view bytes) override;
    bool createNewFile(const std::u16string& path, std::string_view bytes) override;
    bool moveFile(const std::u16string& from, const std::u16string& to) override;
    bool removeFile(const std::u16string& path) override;
    bool exists(const std::u16string& path) override;
    bool createFolder(const std::u16string& path) override;
    // MAX_PATH, less the current directory's path.
    std::size_t pathRoom() const override;

private:
    // Notes why the write failed from the error it left, and returns false.
    bool failedWith(DWORD error, const std::wstring& path);
};

}  // namespace calmirande
