#pragma once
// The file-system seam of the list and preferences code: whole-file reads and
// atomic whole-file replacement. Paths are relative to the current directory.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace calmirande {

#ifdef _WIN32
inline constexpr char16_t PathSeparator = u'\\';
#else
inline constexpr char16_t PathSeparator = u'/';
#endif

// What a bounded read found. Missing: nothing has that name. Unreadable: it
// exists but could not be read (held open for writing by another program, a
// folder, refused). TooLarge: above the bound, and not read.
struct FileRead {
    enum class Status { Read, Missing, Unreadable, TooLarge };
    Status status = Status::Missing;
    std::string bytes;  // when Read
};

// Why the last replaceFile or createNewFile that failed did: what the user
// can do about it differs. BusyOrFull is all a store cannot tell apart.
enum class WriteFailure { BusyOrFull, ReadOnly, NameTooLong };

class FileStore {
public:
    virtual ~FileStore() = default;

    // The cause of the last failed write; BusyOrFull until one says more.
    WriteFailure lastWriteFailure() const { return lastWriteFailure_; }
    // How many characters a path relative to the current directory may
    // hold on this system, the current directory's own path deducted.
    virtual std::size_t pathRoom() const { return 4095; }

    // The file's bytes, or nothing when it cannot be opened for reading
    // (missing, a folder, or held open for writing by another program).
    virtual std::optional<std::string> readFile(const std::u16string& path) = 0;
    // The same, without ever holding more than `maxBytes` of it.
    virtual FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) = 0;

    // Replaces the file's content with `bytes` so that, whatever happens, the
    // file holds either its old content or all of the new: the bytes go to a
    // temporary file beside it, every write is checked and flushed, and only
    // then does the temporary file take the file's place. False on any
    // failure, and the old file is left as it was.
    //
    // The temporary file is "<path>.tmp". One left behind by a crash is ours
    // (a single instance runs, and only its main thread saves): it is removed
    // first, read-only or an empty folder included; when something still
    // stands there, a numbered name beside it is used instead, so a leftover
    // never blocks a save. An existing file keeps its attributes and, on
    // Windows, its security.
    virtual bool replaceFile(const std::u16string& path, std::string_view bytes) = 0;

    // Creates a new file holding `bytes`, never replacing anything that
    // already has that name. The write is checked and flushed; a file whose
    // bytes could not all be written is removed again. False on any failure.
    virtual bool createNewFile(const std::u16string& path, std::string_view bytes) = 0;

    // Gives the file `from` the name `to`, replacing a file of that name.
    // False when it keeps its name.
    virtual bool moveFile(const std::u16string& from, const std::u16string& to) = 0;

    // Removes a file (not a folder). False when nothing was removed.
    virtual bool removeFile(const std::u16string& path) = 0;

    // Whether anything (file or folder) has that name.
    virtual bool exists(const std::u16string& path) = 0;
    virtual bool createFolder(const std::u16string& path) = 0;

protected:
    void noteWriteFailure(WriteFailure cause) { lastWriteFailure_ = cause; }

private:
    WriteFailure lastWriteFailure_ = WriteFailure::BusyOrFull;
};

}  // namespace calmirande
