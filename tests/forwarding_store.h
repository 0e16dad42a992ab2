#pragma once
// A file store that hands every call to a real one on this machine's disk:
// a test overrides the one call whose failure or quirk it stages.

#include "lists/file_store_posix.h"

namespace calmirande::testing {

class ForwardingStore : public FileStore {
public:
    std::optional<std::string> readFile(const std::u16string& path) override { return real.readFile(path); }
    FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) override {
        return real.readFileUpTo(path, maxBytes);
    }
    bool replaceFile(const std::u16string& path, std::string_view bytes) override { return real.replaceFile(path, bytes); }
    bool createNewFile(const std::u16string& path, std::string_view bytes) override {
        return real.createNewFile(path, bytes);
    }
    bool moveFile(const std::u16string& from, const std::u16string& to) override { return real.moveFile(from, to); }
    bool removeFile(const std::u16string& path) override { return real.removeFile(path); }
    bool exists(const std::u16string& path) override { return real.exists(path); }
    bool createFolder(const std::u16string& path) override { return real.createFolder(path); }

    PosixFileStore real;
};

}  // namespace calmirande::testing
