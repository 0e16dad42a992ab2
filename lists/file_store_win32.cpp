#include "lists/file_store_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"

namespace calmirande {
namespace {

// A leftover in the way of every numbered name too is beyond a crash's doing;
// the save then fails like any other.
constexpr int kTemporaryNameAttempts = 8;

// Whatever a crashed save left under a temporary name: a file, read-only or
// not, or an empty folder. A folder with content stays.
void removeLeftover(const std::wstring& temporary) {
    const DWORD attributes = ::GetFileAttributesW(temporary.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // Only these attributes can be set; the read-only one goes.
        constexpr DWORD settable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                   FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
        const DWORD kept = attributes & settable;
        ::SetFileAttributesW(temporary.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(temporary.c_str());
    } else {
        ::DeleteFileW(temporary.c_str());
    }
}

// Every write checked, flushed to the disk, and the close checked too.
bool writeAndClose(UniqueFileHandle file, std::string_view bytes) {
    bool written = true;
    while (written && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD done = 0;
        written = ::WriteFile(file.get(), bytes.data(), chunk, &done, nullptr) && done == chunk;
        bytes.remove_prefix(done);
    }
    written = written && ::FlushFileBuffers(file.get());
    return ::CloseHandle(file.release()) && written;
}

// `path` made absolute against the current directory; unchanged when that fails.
std::wstring fullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return path;
    full.resize(written);
    return full;
}

// The written temporary file becomes the target. An existing target is
// replaced by ReplaceFileW, which keeps its attributes, security and creation
// time; a missing one is simply renamed into place.
bool takePlaceOf(const std::wstring& temporary, const std::wstring& target) {
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Full paths: Wine's ReplaceFileW fails with ERROR_DIRECTORY on a
        // bare file name such as "Preferences.txt".
        if (::ReplaceFileW(fullPath(target).c_str(), fullPath(temporary).c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        // The first two say the target was moved aside or removed while the
        // temporary file still holds the new bytes, the third that the target
        // vanished meanwhile: a rename finishes the job. Any other failure
        // left the target as it was, and the save fails.
        if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
            error != ERROR_FILE_NOT_FOUND) {
            return false;
        }
    }
    return ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

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
    std::wstring temporary;
    UniqueFileHandle file;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !file; ++attempt) {
        temporary = target + (attempt == 0 ? std::wstring() : L"." + std::to_wstring(attempt)) + L".tmp";
        removeLeftover(temporary);
        file.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    }
    if (!file) return false;
    if (!writeAndClose(std::move(file), bytes)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    if (!takePlaceOf(temporary, target)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool Win32FileStore::createNewFile(const std::u16string& path, std::string_view bytes) {
    const std::wstring target = toWide(path);
    UniqueFileHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (!writeAndClose(std::move(file), bytes)) {
        ::DeleteFileW(target.c_str());
        return false;
    }
    return true;
}

bool Win32FileStore::removeFile(const std::u16string& path) { return ::DeleteFileW(toWide(path).c_str()) != 0; }

bool Win32FileStore::exists(const std::u16string& path) {
    return ::GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileStore::createFolder(const std::u16string& path) {
    return ::CreateDirectoryW(toWide(path).c_str(), nullptr) != 0;
}

}  // namespace calmirande
