#include "lists/file_store_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

}  // namespace

std::optional<std::string> PosixFileStore::readFile(const std::u16string& path) {
    Descriptor file(::open(utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool PosixFileStore::replaceFile(const std::u16string& path, std::string_view bytes) {
    const std::string target = utf16ToUtf8(path);
    const std::string temporary = target + ".tmp";
    Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0) return false;
    const bool written = writeAll(file.get(), bytes) && ::fsync(file.get()) == 0 && file.close();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool PosixFileStore::exists(const std::u16string& path) {
    struct stat info {};
    return ::lstat(utf16ToUtf8(path).c_str(), &info) == 0;
}

bool PosixFileStore::createFolder(const std::u16string& path) {
    return ::mkdir(utf16ToUtf8(path).c_str(), 0755) == 0;
}

}  // namespace calmirande
