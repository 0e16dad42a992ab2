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

std::wstring temporaryName(const std::wstring& target, int attempt) {
    return target + (attempt == 0 ? std::wstring() : L"." + std::to_wstring(attempt)) + L".tmp";
}

// An antivirus scanner or the indexer opens a file for a moment after it is
// closed, and a file being deleted refuses access until its last handle
// goes: such failures are retried for about a second in all.
constexpr int kBusyAttempts = 20;
constexpr DWORD kBusyPauseMs = 50;

bool isBusy(DWORD error, bool accessDeniedMayPass) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           (accessDeniedMayPass && error == ERROR_ACCESS_DENIED);
}

// ReplaceFileW could not remove the file it replaces (a scanner holds it
// without sharing deletion): nothing has changed yet, so it may be tried again.
bool isBusyReplacing(DWORD error, bool) { return isBusy(error, true) || error == ERROR_UNABLE_TO_REMOVE_REPLACED; }

// Runs `attempt` until it succeeds, fails for another reason, or the second
// is over; the last error stays for the caller.
template <typename Attempt, typename Busy = bool (*)(DWORD, bool)>
bool retryWhileBusy(Attempt attempt, bool accessDeniedMayPass, Busy busy = isBusy) {
    for (int tries = 1;; ++tries) {
        if (attempt()) return true;
        const DWORD error = ::GetLastError();
        if (tries >= kBusyAttempts || !busy(error, accessDeniedMayPass)) return false;
        ::Sleep(kBusyPauseMs);
        ::SetLastError(error);
    }
}

bool moveIntoPlace(const std::wstring& from, const std::wstring& to) {
    return retryWhileBusy(
        [&] { return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; },
        true);
}

bool isMissing(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

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

enum class Placed { Done, Failed, LeftInTemporary };

// The written temporary file becomes the target. An existing target is
// replaced by ReplaceFileW, which keeps its attributes, security and creation
// time; a missing one is simply renamed into place.
Placed takePlaceOf(const std::wstring& temporary, const std::wstring& target) {
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A read-only list refuses for good: no point waiting for it.
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetLastError(ERROR_WRITE_PROTECT);
            return Placed::Failed;
        }
        // Full paths: Wine's ReplaceFileW fails with ERROR_DIRECTORY on a
        // bare file name such as "Preferences.txt".
        const std::wstring fullTarget = fullPath(target), fullTemporary = fullPath(temporary);
        const bool replaced = retryWhileBusy(
            [&] {
                return ::ReplaceFileW(fullTarget.c_str(), fullTemporary.c_str(), nullptr,
                                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
            },
            true, isBusyReplacing);
        if (replaced) return Placed::Done;
        const DWORD error = ::GetLastError();
        // A redirector without ReplaceFile (some network shares): the
        // replaced bytes are already kept as a backup, so a rename over the
        // target does, without its security and creation time.
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
            return moveIntoPlace(temporary, target) ? Placed::Done : Placed::Failed;
        }
        // The first two say the target was moved aside or removed while the
        // temporary file still holds the new bytes, the third that the target
        // vanished meanwhile: a rename finishes the job. Any other failure
        // left the target as it was, and the save fails.
        if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
            error != ERROR_FILE_NOT_FOUND) {
            return Placed::Failed;
        }
        // From here the temporary file may be the only copy of the list: it
        // is never removed, and the next read or save puts it in place.
        return moveIntoPlace(temporary, target) ? Placed::Done : Placed::LeftInTemporary;
    }
    return moveIntoPlace(temporary, target) ? Placed::Done : Placed::Failed;
}

}  // namespace

bool finishInterruptedReplace(const std::wstring& target) noexcept {
    try {
        if (!isMissing(target)) return false;
        // The newest whole temporary file: the target is only ever moved
        // aside once its replacement is written and flushed.
        std::wstring newest;
        ULONGLONG newestTime = 0;
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            const std::wstring candidate = temporaryName(target, attempt);
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (!::GetFileAttributesExW(candidate.c_str(), GetFileExInfoStandard, &data)) continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const ULONGLONG time =
                (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
            if (newest.empty() || time > newestTime) {
                newest = candidate;
                newestTime = time;
            }
        }
        return !newest.empty() && moveIntoPlace(newest, target);
    } catch (...) {
        return false;
    }
}

std::optional<std::string> Win32FileStore::readFile(const std::u16string& path) {
    FileRead read = readFileUpTo(path, static_cast<std::size_t>(-1));
    if (read.status != FileRead::Status::Read) return std::nullopt;
    return std::move(read.bytes);
}

FileRead Win32FileStore::readFileUpTo(const std::u16string& path, std::size_t maxBytes) {
    const std::wstring name = toWide(path);
    finishInterruptedReplace(name);
    // Sharing read only: a file another program holds open for writing is
    // refused, which the callers report as a load failure. A folder is
    // refused with an access denial, for good.
    UniqueFileHandle file;
    retryWhileBusy(
        [&] {
            file.reset(::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            return static_cast<bool>(file);
        },
        false);
    if (!file) {
        const DWORD error = ::GetLastError();
        return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Status::Missing
                                                                               : FileRead::Status::Unreadable,
                {}};
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return {FileRead::Status::Unreadable, {}};
    if (static_cast<ULONGLONG>(size.QuadPart) > maxBytes) return {FileRead::Status::TooLarge, {}};
    FileRead read{FileRead::Status::Read, {}};
    read.bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return {FileRead::Status::Unreadable, {}};
        if (got == 0) break;
        // A file that grows while it is read is held to the bound too.
        if (got > maxBytes - read.bytes.size()) return {FileRead::Status::TooLarge, {}};
        read.bytes.append(buffer, got);
    }
    return read;
}

bool Win32FileStore::replaceFile(const std::u16string& path, std::string_view bytes) {
    const std::wstring target = toWide(path);
    // A replace cut short leaves the only copy in a temporary file: it goes
    // back in place before any temporary file is cleared away.
    finishInterruptedReplace(target);
    std::wstring temporary;
    UniqueFileHandle file;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !file; ++attempt) {
        temporary = temporaryName(target, attempt);
        removeLeftover(temporary);
        file.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    }
    if (!file) return failedWith(::GetLastError(), temporary);
    if (!writeAndClose(std::move(file), bytes)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return failedWith(error, temporary);
    }
    switch (takePlaceOf(temporary, target)) {
        case Placed::Done:
            return true;
        case Placed::Failed: {
            const DWORD error = ::GetLastError();
            ::DeleteFileW(temporary.c_str());
            return failedWith(error, temporary);
        }
        case Placed::LeftInTemporary:
            break;
    }
    return failedWith(::GetLastError(), temporary);
}

bool Win32FileStore::failedWith(DWORD error, const std::wstring& path) {
    if (fullPath(path).size() >= MAX_PATH || error == ERROR_FILENAME_EXCED_RANGE) {
        noteWriteFailure(WriteFailure::NameTooLong);
    } else if (error == ERROR_WRITE_PROTECT || error == ERROR_ACCESS_DENIED) {
        // Still denied after a second of retries: a read-only file, folder
        // or medium, or a folder the user may not write in.
        noteWriteFailure(WriteFailure::ReadOnly);
    } else {
        noteWriteFailure(WriteFailure::BusyOrFull);
    }
    return false;
}

std::size_t Win32FileStore::pathRoom() const {
    // The length returned counts the terminating NUL, which stands for the
    // separator before the relative path; MAX_PATH counts one NUL too.
    const DWORD folder = ::GetCurrentDirectoryW(0, nullptr);
    if (folder == 0 || folder >= MAX_PATH) return 0;
    return MAX_PATH - 1 - folder;
}

bool Win32FileStore::moveFile(const std::u16string& from, const std::u16string& to) {
    return moveIntoPlace(toWide(from), toWide(to));
}

bool Win32FileStore::createNewFile(const std::u16string& path, std::string_view bytes) {
    const std::wstring target = toWide(path);
    UniqueFileHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failedWith(::GetLastError(), target);
    if (!writeAndClose(std::move(file), bytes)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(target.c_str());
        return failedWith(error, target);
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
