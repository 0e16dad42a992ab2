#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "lists/file_store_posix.h"
#include "lists/folder_listing_posix.h"
#include "forwarding_store.h"
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
class NoNewFolders final : public testing::ForwardingStore {
public:
    bool createFolder(const std::u16string&) override { return false; }
};

TEST_F(Startup, ListsFolderThatCannotBeCreatedStopsTheProgram) {
    NoNewFolders files;
    const StartupFiles started = prepareStartupFiles(files, listing_);
    EXPECT_EQ(started.fatalMessage,
              u"Impossible de créer le dossier 'Listes', le programme va se terminer\rVérifier l'espace disponible !");
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
}

// What start-up makes of the preferences file: values, whether it may be
// written over later, and its bytes afterwards (the same unless noted).
struct PreferencesCase {
    const char* name;
    void (*arrange)(const fs::path& dir);
    Preferences values;
    bool unread;
    const char* bytesAfter;  // nullptr: no file, or a folder, stays as it was
    friend void PrintTo(const PreferencesCase& c, std::ostream* os) { *os << c.name; }
};

// A store that finishes an interrupted replace on read, as the Windows one
// does: a "<file>.tmp" standing where the file should be takes its place.
class RecoveringStore final : public testing::ForwardingStore {
public:
    FileRead readFileUpTo(const std::u16string& path, std::size_t maxBytes) override {
        if (!real.exists(path) && real.exists(path + u".tmp")) real.moveFile(path + u".tmp", path);
        return real.readFileUpTo(path, maxBytes);
    }
};

class StartupPreferences : public Startup, public ::testing::WithParamInterface<PreferencesCase> {};

TEST_P(StartupPreferences, AreReadBeforeAnythingIsWritten) {
    const PreferencesCase& c = GetParam();
    c.arrange(dir_.path());
    RecoveringStore files;
    const StartupFiles started = prepareStartupFiles(files, listing_);
    EXPECT_TRUE(started.fatalMessage.empty());
    EXPECT_EQ(started.writingAidEnabled, c.values.writingAidEnabled);
    EXPECT_EQ(started.activeListFile, c.values.activeListFile);
    EXPECT_EQ(started.preferencesUnread, c.unread);
    if (c.bytesAfter) {
        EXPECT_EQ(readBytes(dir_.path() / "Preferences.txt"), c.bytesAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupPreferences,
    ::testing::Values(
        PreferencesCase{"OnlyALeftTemporaryFileIsTheFile",
                        [](const fs::path& dir) {
                            fs::create_directory(dir / "Listes");
                            writeBytes(dir / "Listes" / "Perso.dat", "\xEF\xBB\xBF");
                            writeBytes(dir / "Preferences.txt.tmp", "Perso.dat\r\n0");
                        },
                        {u"Perso.dat", 0}, false, "Perso.dat\r\n0"},
        PreferencesCase{"AFolderIsNeverWrittenOver",
                        [](const fs::path& dir) { fs::create_directory(dir / "Preferences.txt"); }, {u"", 0}, true,
                        nullptr},
        PreferencesCase{"ATooLargeFileIsNeverWrittenOver",
                        [](const fs::path& dir) {
                            writeBytes(dir / "Preferences.txt", "Perso.dat\r\n1" + std::string(70000, ' '));
                        },
                        {u"", 0}, true, nullptr}),
    testing::CaseName{});

}  // namespace
}  // namespace calmirande
