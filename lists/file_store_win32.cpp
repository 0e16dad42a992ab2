#include "lists/file_store_win32.h"

#include <windows.h>

#include <algorithm>

#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"

namespace calmirande {

std::optional<std::string> Win32FileStore::readFile(const std::u16string& path) {
    // Sharing read only: a file another program holds open for writing is
    // refused, which the callers report as a load failure.
    UniqueFileHandle file(::CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, 1 << 24)));
    char buffer[65536];
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

bool Win32FileStore::replaceFile(const std::u16string& path, std::string_view bytes) {
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".tmp";
    {
        UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        bool written = true;
        std::string_view rest = bytes;
        while (written && !rest.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 20));
            DWORD done = 0;
            written = ::WriteFile(file.get(), rest.data(), chunk, &done, nullptr) && done == chunk;
            rest.remove_prefix(done);
        }
        written = written && ::FlushFileBuffers(file.get());
        if (!::CloseHandle(file.release())) written = false;
        if (!written) {
            ::DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool Win32FileStore::exists(const std::u16string& path) {
    return ::GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileStore::createFolder(const std::u16string& path) {
    return ::CreateDirectoryW(toWide(path).c_str(), nullptr) != 0;
}

}  // namespace calmirande
