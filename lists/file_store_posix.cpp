#include "lists/file_store_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "common/text.h"

namespace calmirande {
namespace {

// Owns a file descriptor; closes it unless released by a checked close.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A leftover in the way of every numbered name too is beyond a crash's doing;
// the save then fails like any other.
constexpr int kTemporaryNameAttempts = 8;

// Whatever a crashed save left under a temporary name: a file (read-only or
// not, a link included) or an empty folder. A folder with content stays.
void removeLeftover(const std::string& temporary) {
    struct stat info {};
    if (::lstat(temporary.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        ::rmdir(temporary.c_str());
    } else {
        ::unlink(temporary.c_str());
    }
}

// The rename is durable only once the folder's entry is on disk.
void syncFolderOf(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash == 0 ? 1 : slash);
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace

std::optional<std::string> PosixFileStore::readFile(const std::u16string& path) {
    FileRead read = readFileUpTo(path, static_cast<std::size_t>(-1));
    if (read.status != FileRead::Status::Read) return std::nullopt;
    return std::move(read.bytes);
}

FileRead PosixFileStore::readFileUpTo(const std::u16string& path, std::size_t maxBytes) {
    Descriptor file(::open(utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return {errno == ENOENT || errno == ENOTDIR ? FileRead::Status::Missing : FileRead::Status::Unreadable, {}};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {FileRead::Status::Unreadable, {}};
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return {FileRead::Status::TooLarge, {}};
    FileRead read{FileRead::Status::Read, {}};
    read.bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {FileRead::Status::Unreadable, {}};
        if (got == 0) break;
        // A file that grows while it is read is held to the bound too.
        if (static_cast<std::size_t>(got) > maxBytes - read.bytes.size()) return {FileRead::Status::TooLarge, {}};
        read.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return read;
}

bool PosixFileStore::replaceFile(const std::u16string& path, std::string_view bytes) {
    const std::string target = utf16ToUtf8(path);
    // The new file takes the permission bits of the one it replaces.
    struct stat info {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = info.st_mode & 07777;

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && fd < 0; ++attempt) {
        temporary = target + (attempt == 0 ? std::string() : "." + std::to_string(attempt)) + ".tmp";
        removeLeftover(temporary);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }
    Descriptor file(fd);
    if (file.get() < 0) return failed(errno);
    const bool written = ::fchmod(file.get(), mode) == 0 && writeAll(file.get(), bytes) && ::fsync(file.get()) == 0 &&
                         file.close();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return failed(error);
    }
    syncFolderOf(target);
    return true;
}

bool PosixFileStore::createNewFile(const std::u16string& path, std::string_view bytes) {
    const std::string target = utf16ToUtf8(path);
    Descriptor file(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.get() < 0) return failed(errno);
    if (!(writeAll(file.get(), bytes) && ::fsync(file.get()) == 0 && file.close())) {
        const int error = errno;
        ::unlink(target.c_str());
        return failed(error);
    }
    syncFolderOf(target);
    return true;
}

bool PosixFileStore::failed(int error) {
    if (error == ENAMETOOLONG) {
        noteWriteFailure(WriteFailure::NameTooLong);
    } else if (error == EROFS || error == EACCES || error == EPERM) {
        noteWriteFailure(WriteFailure::ReadOnly);
    } else {
        noteWriteFailure(WriteFailure::BusyOrFull);
    }
    return false;
}

bool PosixFileStore::moveFile(const std::u16string& from, const std::u16string& to) {
    const std::string target = utf16ToUtf8(to);
    if (::rename(utf16ToUtf8(from).c_str(), target.c_str()) != 0) return false;
    syncFolderOf(target);
    return true;
}

bool PosixFileStore::removeFile(const std::u16string& path) {
    const std::string target = utf16ToUtf8(path);
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return ::unlink(target.c_str()) == 0;
}

bool PosixFileStore::exists(const std::u16string& path) {
    struct stat info {};
    return ::lstat(utf16ToUtf8(path).c_str(), &info) == 0;
}

bool PosixFileStore::createFolder(const std::u16string& path) {
    return ::mkdir(utf16ToUtf8(path).c_str(), 0755) == 0;
}

}  // namespace calmirande
