#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "lists/file_store_posix.h"
#include "lists/folder_listing_posix.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::writeBytes;

class Startup : public ::testing::Test {
protected:
    Startup() : cwd_(dir_.path()) {}
    StartupFiles run() { return prepareStartupFiles(files_, listing_); }

    testing::TempDir dir_;
    testing::CurrentDirectory cwd_;
    PosixFileStore files_;
    PosixFolderListing listing_;
};

TEST_F(Startup, FirstRunCreatesTheFolderAndDefaultPreferences) {
    const StartupFiles started = run();
    EXPECT_TRUE(started.fatalMessage.empty());
    EXPECT_TRUE(fs::is_directory(dir_.path() / "Listes"));
    EXPECT_EQ(readBytes(dir_.path() / "Preferences.txt"), "\xEF\xBB\xBF\r\n0");
    EXPECT_EQ(started.writingAidEnabled, 1);  // on, although the new file says 0
    EXPECT_TRUE(started.catalogue.fileNames.empty());
    EXPECT_EQ(started.activeListIndex, -1);
}

TEST_F(Startup, ExistingFilesAreReadNotRewritten) {
    fs::create_directory(dir_.path() / "Listes");
    writeBytes(dir_.path() / "Listes" / "Perso.dat", "\xEF\xBB\xBF");
    writeBytes(dir_.path() / "Preferences.txt", "Perso.dat\n  7");
    const StartupFiles started = run();
    EXPECT_EQ(started.activeListFile, u"Perso.dat");
    EXPECT_EQ(started.activeListIndex, 0);
    EXPECT_EQ(started.writingAidEnabled, 7);
    EXPECT_EQ(readBytes(dir_.path() / "Preferences.txt"), "Perso.dat\n  7");
}

TEST_F(Startup, ActiveListMustMatchWithItsExactCase) {
    fs::create_directory(dir_.path() / "Listes");
    writeBytes(dir_.path() / "Listes" / "Perso.dat", "\xEF\xBB\xBF");
    writeBytes(dir_.path() / "Preferences.txt", "\xEF\xBB\xBFperso.dat\r\n1");
    const StartupFiles started = run();
    EXPECT_EQ(started.activeListFile, u"");
    EXPECT_EQ(started.activeListIndex, -1);
    EXPECT_EQ(started.catalogue.fileNames.size(), 1u);
}

TEST_F(Startup, AFileNamedListesIsLeftAloneAndGivesNoList) {
    writeBytes(dir_.path() / "Listes", "not a folder");
    const StartupFiles started = run();
    EXPECT_TRUE(started.fatalMessage.empty());
    EXPECT_TRUE(started.catalogue.fileNames.empty());
    EXPECT_EQ(readBytes(dir_.path() / "Listes"), "not a folder");
}

TEST_F(Startup, PreferencesThatCannotBeCreatedStopTheProgram) {
    const StartupFiles started = [&] {
        testing::DiskFull full;  // the new file cannot be written
        return run();
    }();
    EXPECT_EQ(started.fatalMessage,
              u"Impossible de créer le fichier 'Preferences.txt', le programme va se terminer\r"
              u"Vérifier l'espace disponible !");
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
}

// A file system on which folders cannot be created (a full or read-only disk).
class NoNewFolders final : public FileStore {
public:
    std::optional<std::string> readFile(const std::u16string& path) override { return real.readFile(path); }
    FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) override {
        return real.readFileUpTo(path, maxBytes);
    }
    bool moveFile(const std::u16string& from, const std::u16string& to) override { return real.moveFile(from, to); }
    bool replaceFile(const std::u16string& path, std::string_view bytes) override { return real.replaceFile(path, bytes); }
    bool createNewFile(const std::u16string& path, std::string_view bytes) override {
        return real.createNewFile(path, bytes);
    }
    bool removeFile(const std::u16string& path) override { return real.removeFile(path); }
    bool exists(const std::u16string& path) override { return real.exists(path); }
    bool createFolder(const std::u16string&) override { return false; }
    PosixFileStore real;
};

TEST_F(Startup, ListsFolderThatCannotBeCreatedStopsTheProgram) {
    NoNewFolders files;
    const StartupFiles started = prepareStartupFiles(files, listing_);
    EXPECT_EQ(started.fatalMessage,
              u"Impossible de créer le dossier 'Listes', le programme va se terminer\rVérifier l'espace disponible !");
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
}

}  // namespace
}  // namespace calmirande
