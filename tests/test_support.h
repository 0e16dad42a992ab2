#pragma once
// Real files in a fresh temporary folder, removed at the end of the test.

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>

namespace calmirande::testing {

class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("calmirande-test-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Makes `dir` the current directory for the scope: list paths are relative.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() { std::filesystem::current_path(previous_); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// A full disk for the scope: any write that would make a file grow fails
// (EFBIG through the file-size limit, SIGXFSZ ignored). Reading and creating
// empty files still work.
class DiskFull {
public:
    DiskFull() {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = previous_;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
    }
    ~DiskFull() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

// Names table-driven cases after their `name` field.
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& tested) const {
        return tested.param.name;
    }
};

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace calmirande::testing
