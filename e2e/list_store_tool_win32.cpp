// calmirande_e2e_list_store: the other programs the lists meet, for the Wine
// end-to-end scripts (e2e/lists.sh). Paths are relative to the current
// directory, as the program's are.
//
//   hold FILE [--lock] [--ready R] [--release F] [--seconds S]
//       Holds FILE open as another editor or a backup tool does: for reading
//       and writing without sharing (share mode 0), or with --lock for
//       reading, shared, with every byte locked (LockFileEx, exclusive). Creates R once it holds it, and lets
//       go when F exists or after S seconds (default 120). Exit 0, or 2 when
//       FILE could not be held.
//   contents A_OUT B_OUT
//       Writes the bytes of the two lists save-loop alternates, as the
//       program writes them, for the script to compare the list with.
//   save-loop NAME [--started S] [--verdict V]
//       First loads Listes\NAME as the program does at start (as `check`
//       does, writing its verdict to V), then saves it through the program's
//       own list store (saveList on the Win32 file store, backups included)
//       with list A and list B in turn, for ever, S created just before the
//       first save. The script kills it at random moments.
//   check NAME
//       Loads Listes\NAME as the program does at start (loadActiveList, which
//       first puts back a temporary file a cut replace left as the only
//       copy), then reads its bytes. Prints one of: A, B (the file is exactly
//       that list and loads its rows), missing, unreadable, other. Exit 0
//       for A and B, 1 otherwise.
//   read NAME
//       Reads Listes\NAME as the program does (readListFile: retried a second
//       while another program holds it) and prints read, missing or
//       unreadable. Exit 0.
//   catalogue
//       Prints the file names of the lists folder in the program's catalogue
//       order, one a line (UTF-8): line N is the tray menu's list item 10 + N - 1.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>

#include "common/text.h"
#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "lists/catalogue.h"
#include "lists/folder_listing_win32.h"
#include "lists/file_store_win32.h"
#include "lists/list_file.h"

namespace calmirande {
namespace {

constexpr int kRows = 300;

std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Two lists of different lengths, so that a mix of them shows in its size
// as well as in its bytes.
AbbreviationList listOf(char which) {
    AbbreviationList rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const std::string n = std::to_string(i);
        if (which == 'A') {
            rows.push_back({ascii("a" + n), ascii("Texte A " + n)});
        } else {
            rows.push_back({ascii("b" + n), ascii("Texte B numero " + n + "<R>avec une seconde ligne")});
        }
    }
    return rows;
}

bool exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool touch(const std::wstring& path) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

bool writeAll(const std::wstring& path, std::string_view bytes) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD done = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

// The value after `--name`, or `fallback`.
std::wstring option(int argc, wchar_t** argv, const wchar_t* name, const wchar_t* fallback = L"") {
    for (int i = 0; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) return argv[i + 1];
    }
    return fallback;
}

bool flag(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 0; i < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) return true;
    }
    return false;
}

int hold(const std::wstring& path, bool lock, const std::wstring& ready, const std::wstring& release, DWORD seconds) {
    // Locking, it reads only: a reader sharing reading alone may open the
    // file, and meets the lock at its first ReadFile.
    const DWORD access = lock ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = lock ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        std::fprintf(stderr, "cannot open: error %lu\n", ::GetLastError());
        return 2;
    }
    if (lock) {
        OVERLAPPED whole{};
        if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                          &whole)) {
            std::fprintf(stderr, "cannot lock: error %lu\n", ::GetLastError());
            return 2;
        }
    }
    if (!ready.empty()) touch(ready);
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < seconds * 1000u && (release.empty() || !exists(release))) ::Sleep(50);
    return 0;
}

// What the program finds at start, after the load path has recovered what a
// cut save left.
const char* verdict(const std::u16string& name) {
    Win32FileStore files;
    ActiveList active;
    const bool loaded = loadActiveList(files, name, active).succeeded;
    const ListFileContent content = readListFile(files, name);
    if (content.state == ListFileState::Missing) return "missing";
    if (!loaded || content.state == ListFileState::Unreadable) return "unreadable";
    for (const char which : {'A', 'B'}) {
        const AbbreviationList rows = listOf(which);
        if (content.bytes == serializeList(rows) && active.aidRows == rows) return which == 'A' ? "A" : "B";
    }
    return "other";
}

int check(const std::u16string& name) {
    const char* found = verdict(name);
    std::printf("%s\n", found);
    return (found[0] == 'A' || found[0] == 'B') && found[1] == '\0' ? 0 : 1;
}

int saveLoop(const std::u16string& name, const std::wstring& started, const std::wstring& verdictFile) {
    const char* found = verdict(name);
    if (!verdictFile.empty()) writeAll(verdictFile, std::string(found) + "\n");
    const AbbreviationList lists[2] = {listOf('A'), listOf('B')};
    Win32FileStore files;
    if (!started.empty()) touch(started);
    for (unsigned long long i = 0;; ++i) saveList(files, name, lists[i % 2]);
}

int read(const std::u16string& name) {
    Win32FileStore files;
    const ListFileState state = readListFile(files, name).state;
    std::printf("%s\n", state == ListFileState::Read ? "read" : state == ListFileState::Missing ? "missing" : "unreadable");
    return 0;
}

int catalogue() {
    Win32FolderListing listing;
    for (const std::u16string& name : enumerateLists(listing, u"").catalogue.fileNames) {
        std::printf("%s\n", utf16ToUtf8(name).c_str());
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: hold FILE [--lock] [--ready R] [--release F] [--seconds S] | contents A_OUT B_OUT |"
                 " save-loop NAME [--started S] [--verdict V] | check NAME | read NAME | catalogue\n");
    return 64;
}

int run(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"catalogue") == 0) return catalogue();
    if (argc < 3) return usage();
    const std::wstring mode = argv[1];
    if (mode == L"hold") {
        const DWORD seconds = static_cast<DWORD>(std::wcstoul(option(argc, argv, L"--seconds", L"120").c_str(), nullptr, 10));
        return hold(argv[2], flag(argc, argv, L"--lock"), option(argc, argv, L"--ready"),
                    option(argc, argv, L"--release"), seconds);
    }
    if (mode == L"contents" && argc >= 4) {
        return writeAll(argv[2], serializeList(listOf('A'))) && writeAll(argv[3], serializeList(listOf('B'))) ? 0 : 2;
    }
    if (mode == L"save-loop") {
        return saveLoop(fromWide(argv[2]), option(argc, argv, L"--started"), option(argc, argv, L"--verdict"));
    }
    if (mode == L"check") return check(fromWide(argv[2]));
    if (mode == L"read") return read(fromWide(argv[2]));
    return usage();
}

}  // namespace
}  // namespace calmirande

int wmain(int argc, wchar_t** argv) {
    try {
        return calmirande::run(argc, argv);
    } catch (...) {
        std::fprintf(stderr, "failed\n");
        return 70;
    }
}
