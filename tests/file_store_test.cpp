#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/messages.h"
#include "common/text.h"
#include "lists/file_store_posix.h"
#include "lists/list_file.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectory;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

std::vector<std::string> entriesOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class ListFiles : public ::testing::Test {
protected:
    ListFiles() : cwd_(dir_.path()) { fs::create_directory(dir_.path() / "Listes"); }
    fs::path list(const char* name) const { return dir_.path() / "Listes" / name; }

    TempDir dir_;
    CurrentDirectory cwd_;
    PosixFileStore files_;
};

TEST_F(ListFiles, SaveThenLoadGivesTheSameRowsAndTable) {
    const AbbreviationList rows = {{u"bjr", u"Bonjour<R>Paul"}, {u"fpol", u"Je vous prie d'agréer, (*1)"}};
    ASSERT_TRUE(saveList(files_, u"Perso.dat", rows).succeeded);
    EXPECT_FALSE(fs::exists(list("Perso.dat.tmp")));

    AbbreviationList listing;
    ASSERT_TRUE(loadListForEditing(files_, u"Perso.dat", listing).succeeded);
    EXPECT_EQ(listing, rows);

    ActiveList active;
    const OperationResult loaded = loadActiveList(files_, u"Perso.dat", active);
    ASSERT_TRUE(loaded.succeeded);
    EXPECT_TRUE(loaded.message.empty());
    EXPECT_EQ(*active.table->find(u"bjr"), u"Bonjour\r\nPaul");
    EXPECT_EQ(active.aidRows, rows);
}

TEST_F(ListFiles, LoadingAppendsToTheListing) {
    writeBytes(list("A.dat"), "\xEF\xBB\xBF" "b\tB\r\n");
    AbbreviationList listing = {{u"a", u"A"}};
    ASSERT_TRUE(loadListForEditing(files_, u"A.dat", listing).succeeded);
    EXPECT_EQ(listing, (AbbreviationList{{u"a", u"A"}, {u"b", u"B"}}));
}

TEST_F(ListFiles, MissingFileFailsWithTheExactMessages) {
    ActiveList active = parseActiveList("bjr\tBonjour");
    const OperationResult activeResult = loadActiveList(files_, u"Travail.dat", active);
    EXPECT_FALSE(activeResult.succeeded);
    EXPECT_EQ(activeResult.message,
              u"Impossible de charger les abréviations du fichier: Travail.dat\r"
              u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\r"
              u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer le programme !");
    // A failed load leaves the table and the rows empty, never the old list.
    EXPECT_EQ(active.table->size(), 0u);
    EXPECT_TRUE(active.aidRows.empty());

    AbbreviationList listing = {{u"kept", u"as the caller left it"}};
    const OperationResult editResult = loadListForEditing(files_, u"Travail.dat", listing);
    EXPECT_FALSE(editResult.succeeded);
    EXPECT_EQ(editResult.message,
              u"Impossible d'ouvrir le fichier: Travail.dat\r"
              u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\r"
              u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer l'application !");
    EXPECT_EQ(listing.size(), 1u);
}

TEST_F(ListFiles, AFolderIsNotAList) {
    fs::create_directory(list("Dossier.dat"));
    ActiveList active;
    EXPECT_FALSE(loadActiveList(files_, u"Dossier.dat", active).succeeded);
}

const std::u16string kSaveFailed =
    u"Impossible d'enregistrer les modifications dans le fichier: Perso.dat\r"
    u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\r"
    u"ou bien il n'y a pas l'espace nécessaire pour créer ce fichier, libérer de l'espace !";

TEST_F(ListFiles, SaveOnAFullDiskFailsAndKeepsTheOldList) {
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    OperationResult result;
    {
        testing::DiskFull full;
        result = saveList(files_, u"Perso.dat", {{u"new", u"list"}});
    }
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, kSaveFailed);
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "old\tlist\r\n");
    // The backup of what the save would have replaced is made first.
    EXPECT_EQ(entriesOf(dir_.path() / "Listes"), (std::vector<std::string>{"Perso.dat", "Sauvegardes"}));
}

// The message says what the user can do: a smaller list, a shorter path.
TEST_F(ListFiles, SaveThatCannotBeReadBackOrPlacedNamesItsCause) {
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    const AbbreviationList tooLarge = {{u"gros", std::u16string(MaxListFileBytes, u'a')}};
    const OperationResult refused = saveList(files_, u"Perso.dat", tooLarge);
    EXPECT_FALSE(refused.succeeded);
    EXPECT_EQ(refused.message, u"Impossible d'enregistrer les modifications dans le fichier: Perso.dat\r"
                               u"La Liste dépasserait la taille maximale de 4 Mo : raccourcir ce texte ou le mettre "
                               u"dans une autre Liste !");
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "old\tlist\r\n");
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes"));

    // The list's own name fits, its temporary file's does not.
    const std::u16string longName = std::u16string(249, u'x') + u".dat";
    const OperationResult tooLong = saveList(files_, longName, {{u"a", u"b"}});
    EXPECT_FALSE(tooLong.succeeded);
    EXPECT_EQ(tooLong.message, u"Impossible d'enregistrer les modifications dans le fichier: " + longName +
                                   u"\rLe chemin de ce fichier est trop long pour Windows : déplacer le programme "
                                   u"dans un dossier plus court !");
}

TEST_F(ListFiles, SaveThatCannotReplaceLeavesNoTemporaryFile) {
    fs::create_directory(list("Perso.dat"));
    EXPECT_FALSE(saveList(files_, u"Perso.dat", {{u"a", u"b"}}).succeeded);
    EXPECT_FALSE(fs::exists(list("Perso.dat.tmp")));
    EXPECT_TRUE(fs::is_directory(list("Perso.dat")));
}

TEST_F(ListFiles, SaveIntoAMissingFolderFails) {
    fs::remove(dir_.path() / "Listes");
    EXPECT_FALSE(saveList(files_, u"Perso.dat", {}).succeeded);
}

TEST_F(ListFiles, EmptyListIsExactlyTheByteOrderMark) {
    ASSERT_TRUE(saveList(files_, u"Vide.dat", {}).succeeded);
    EXPECT_EQ(readBytes(list("Vide.dat")), "\xEF\xBB\xBF");
    AbbreviationList listing;
    ASSERT_TRUE(loadListForEditing(files_, u"Vide.dat", listing).succeeded);
    EXPECT_TRUE(listing.empty());
}


// What a crashed save may leave under the temporary name; none of it may
// block the next save.
struct LeftoverCase {
    const char* name;
    void (*leave)(const fs::path& temporary);
    bool staysBehind;  // only a folder with content cannot be cleared away
    friend void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.name; }
};

class StaleTemporaryFile : public ListFiles, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(StaleTemporaryFile, DoesNotBlockTheSave) {
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    GetParam().leave(list("Perso.dat.tmp"));
    const OperationResult result = saveList(files_, u"Perso.dat", {{u"new", u"list"}});
    ASSERT_TRUE(result.succeeded);
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "new\tlist\r\n");
    std::vector<std::string> expected = {"Perso.dat"};
    if (GetParam().staysBehind) expected.push_back("Perso.dat.tmp");
    expected.push_back("Sauvegardes");
    EXPECT_EQ(entriesOf(dir_.path() / "Listes"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, StaleTemporaryFile,
    ::testing::Values(
        LeftoverCase{"HalfWrittenFile", [](const fs::path& leftover) { writeBytes(leftover, "\xEF\xBB\xBF" "ha"); }, false},
        LeftoverCase{"ReadOnlyFile",
                     [](const fs::path& leftover) {
                         writeBytes(leftover, "x");
                         fs::permissions(leftover, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                     },
                     false},
        LeftoverCase{"EmptyFolder", [](const fs::path& leftover) { fs::create_directory(leftover); }, false},
        LeftoverCase{"FolderWithContent",
                     [](const fs::path& leftover) {
                         fs::create_directory(leftover);
                         writeBytes(leftover / "inside", "x");
                     },
                     true},
        LeftoverCase{"LinkToAFullDevice", [](const fs::path& leftover) { fs::create_symlink("/dev/full", leftover); }, false},
        LeftoverCase{"DanglingLink", [](const fs::path& leftover) { fs::create_symlink("nowhere", leftover); }, false}),
    testing::CaseName{});

TEST_F(ListFiles, StaleTemporaryFolderDoesNotBlockThePreferences) {
    fs::create_directory(dir_.path() / "Preferences.txt.tmp");
    writeBytes(dir_.path() / "Preferences.txt.tmp" / "inside", "x");
    ASSERT_TRUE(files_.replaceFile(u"Preferences.txt", "\xEF\xBB\xBFPerso.dat\r\n1"));
    EXPECT_EQ(readBytes(dir_.path() / "Preferences.txt"), "\xEF\xBB\xBFPerso.dat\r\n1");
}

TEST_F(ListFiles, SaveFailsOnlyWhenEveryTemporaryNameIsTaken) {
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    const auto block = [&](const std::string& name) {
        fs::create_directory(list(name.c_str()));
        writeBytes(list(name.c_str()) / "inside", "x");
    };
    block("Perso.dat.tmp");
    for (int n = 1; n < 7; ++n) block("Perso.dat." + std::to_string(n) + ".tmp");
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"new", u"list"}}).succeeded);
    EXPECT_FALSE(fs::exists(list("Perso.dat.7.tmp")));

    block("Perso.dat.7.tmp");
    const OperationResult result = saveList(files_, u"Perso.dat", {{u"newer", u"list"}});
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, kSaveFailed);
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "new\tlist\r\n");
}

TEST_F(ListFiles, SaveKeepsThePermissionsOfTheFileItReplaces) {
    writeBytes(list("Perso.dat"), "old");
    fs::permissions(list("Perso.dat"), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {}).succeeded);
    EXPECT_EQ(fs::status(list("Perso.dat")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(saveList(files_, u"Neuve.dat", {}).succeeded);
    EXPECT_EQ(fs::status(list("Neuve.dat")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(ListFiles, NewFileIsCreatedWithExactlyItsBytes) {
    ASSERT_TRUE(files_.createNewFile(u"Listes/Neuve.dat", "\xEF\xBB\xBF"));
    EXPECT_EQ(readBytes(list("Neuve.dat")), "\xEF\xBB\xBF");
}

struct ObstacleCase {
    const char* name;
    void (*place)(const fs::path& file);
    friend void PrintTo(const ObstacleCase& c, std::ostream* os) { *os << c.name; }
};

class NewFileOverSomething : public ListFiles, public ::testing::WithParamInterface<ObstacleCase> {};

TEST_P(NewFileOverSomething, IsRefusedAndTheObstacleIsUntouched) {
    const fs::path target = list("Perso.dat");
    GetParam().place(target);
    const fs::file_status before = fs::symlink_status(target);
    EXPECT_FALSE(files_.createNewFile(u"Listes/Perso.dat", "\xEF\xBB\xBF"));
    EXPECT_EQ(fs::symlink_status(target).type(), before.type());
    if (GetParam().name == std::string("File")) {
        EXPECT_EQ(readBytes(target), "precious rows");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NewFileOverSomething,
    ::testing::Values(ObstacleCase{"File", [](const fs::path& obstacle) { writeBytes(obstacle, "precious rows"); }},
                      ObstacleCase{"EmptyFile", [](const fs::path& obstacle) { writeBytes(obstacle, ""); }},
                      ObstacleCase{"Folder", [](const fs::path& obstacle) { fs::create_directory(obstacle); }},
                      ObstacleCase{"DanglingLink", [](const fs::path& obstacle) { fs::create_symlink("nowhere", obstacle); }}),
    testing::CaseName{});

TEST_F(ListFiles, NewFileThatCannotBeWrittenIsRemoved) {
    bool created = true;
    {
        testing::DiskFull full;
        created = files_.createNewFile(u"Listes/Neuve.dat", "\xEF\xBB\xBF");
    }
    EXPECT_FALSE(created);
    EXPECT_FALSE(fs::exists(fs::symlink_status(list("Neuve.dat"))));
}

TEST_F(ListFiles, RemoveFileRemovesFilesOnly) {
    writeBytes(list("Perso.dat"), "x");
    fs::create_directory(list("Dossier.dat"));
    EXPECT_TRUE(files_.removeFile(u"Listes/Perso.dat"));
    EXPECT_FALSE(fs::exists(list("Perso.dat")));
    EXPECT_FALSE(files_.removeFile(u"Listes/Perso.dat"));
    EXPECT_FALSE(files_.removeFile(u"Listes/Dossier.dat"));
    EXPECT_TRUE(fs::is_directory(list("Dossier.dat")));
}

AbbreviationList bigList(char16_t mark) {
    AbbreviationList rows;
    for (int i = 0; i < 2000; ++i) {
        rows.push_back({u"k" + std::u16string(1, mark) + utf8ToUtf16(std::to_string(i)),
                        std::u16string(400, mark) + u"<R>fin"});
    }
    return rows;
}

// A save killed at any moment leaves the old bytes or the new ones, never a
// mix, and its leftovers do not stop the next save.
TEST_F(ListFiles, SaveKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    const AbbreviationList rowsA = bigList(u'a');
    const AbbreviationList rowsB = bigList(u'b');
    const std::string bytesA = serializeList(rowsA);
    const std::string bytesB = serializeList(rowsB);
    ASSERT_TRUE(saveList(files_, u"Gros.dat", rowsA).succeeded);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(saveList(files_, u"Gros.dat", rowsB).succeeded);
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_TRUE(saveList(files_, u"Gros.dat", rowsA).succeeded);

    constexpr int kRounds = 40;
    int oldSeen = 0;
    int newSeen = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string& before = round % 2 == 0 ? bytesA : bytesB;
        const AbbreviationList& next = round % 2 == 0 ? rowsB : rowsA;
        const std::string& after = round % 2 == 0 ? bytesB : bytesA;
        if (readBytes(list("Gros.dat")) != before) {
            ASSERT_TRUE(saveList(files_, u"Gros.dat", round % 2 == 0 ? rowsA : rowsB).succeeded);
        }

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixFileStore files;
            ::_exit(saveList(files, u"Gros.dat", next).succeeded ? 0 : 1);
        }
        // From right away to a little past the whole save.
        ::usleep(static_cast<useconds_t>(saveTime.count() * round / (kRounds - 10)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        const std::string found = readBytes(list("Gros.dat"));
        ASSERT_TRUE(found == before || found == after) << "round " << round << ": " << found.size() << " bytes";
        (found == before ? oldSeen : newSeen) += 1;
    }
    RecordProperty("old_file_after_kill", oldSeen);
    RecordProperty("new_file_after_kill", newSeen);
    // Whatever the last kill left behind, the next save goes through and tidies up.
    ASSERT_TRUE(saveList(files_, u"Gros.dat", rowsA).succeeded);
    EXPECT_EQ(entriesOf(dir_.path() / "Listes"), (std::vector<std::string>{"Gros.dat", "Sauvegardes"}));
}

// ---- Every version kept

std::string versionBytes(int version) { return "\xEF\xBB\xBF" "v\t" + std::to_string(version) + "\r\n"; }

TEST_F(ListFiles, EachSaveKeepsTheBytesItReplacesTenDeep) {
    writeBytes(list("Perso.dat"), "hand\twritten\n");
    const fs::path backups = dir_.path() / "Listes" / "Sauvegardes";
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"v", u"1"}}).succeeded);
    EXPECT_EQ(entriesOf(backups), std::vector<std::string>{"Perso.dat.1"});
    EXPECT_EQ(readBytes(backups / "Perso.dat.1"), "hand\twritten\n");

    for (int version = 2; version <= 12; ++version) {
        ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"v", utf8ToUtf16(std::to_string(version))}}).succeeded);
    }
    EXPECT_EQ(readBytes(list("Perso.dat")), versionBytes(12));
    // .1 the newest (version 11) to .10 the oldest (version 2); the rest rolled off.
    for (int generation = 1; generation <= 10; ++generation) {
        EXPECT_EQ(readBytes(backups / ("Perso.dat." + std::to_string(generation))), versionBytes(12 - generation));
    }
    EXPECT_EQ(entriesOf(backups).size(), 10u);
}

TEST_F(ListFiles, TheSameBytesAreNeitherWrittenNorKept) {
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"v", u"1"}}).succeeded);
    const auto written = fs::last_write_time(list("Perso.dat"));
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"v", u"1"}}).succeeded);
    EXPECT_EQ(fs::last_write_time(list("Perso.dat")), written);
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes"));
}

TEST_F(ListFiles, ABackupThatCannotBeMadeDoesNotStopTheSave) {
    writeBytes(list("Perso.dat"), versionBytes(1));
    writeBytes(dir_.path() / "Listes" / "Sauvegardes", "a file in the folder's place");
    ASSERT_TRUE(saveList(files_, u"Perso.dat", {{u"v", u"2"}}).succeeded);
    EXPECT_EQ(readBytes(list("Perso.dat")), versionBytes(2));
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes"), "a file in the folder's place");
}

struct UnreadableCase {
    const char* name;
    void (*make)(const fs::path& file);
    friend void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }
};

class UnreadableList : public ListFiles, public ::testing::WithParamInterface<UnreadableCase> {};
TEST_P(UnreadableList, IsRefusedWithTheLoadMessageAndNeverWrittenOver) {
    GetParam().make(list("Perso.dat"));
    const auto before = fs::status(list("Perso.dat")).type();
    const std::uintmax_t size = fs::is_regular_file(list("Perso.dat")) ? fs::file_size(list("Perso.dat")) : 0;

    ActiveList active;
    EXPECT_EQ(loadActiveList(files_, u"Perso.dat", active).message,
              messages::aboutFile(messages::LoadActiveFailed, u"Perso.dat", messages::FileBusy,
                                  messages::LoadActiveFailedEnd));
    AbbreviationList listing;
    EXPECT_FALSE(loadListForEditing(files_, u"Perso.dat", listing).succeeded);
    EXPECT_EQ(readListFile(files_, u"Perso.dat").state, ListFileState::Unreadable);

    const OperationResult saved = saveList(files_, u"Perso.dat", {{u"new", u"row"}});
    EXPECT_FALSE(saved.succeeded);
    EXPECT_EQ(saved.message, saveFailedMessage(u"Perso.dat"));
    EXPECT_EQ(fs::status(list("Perso.dat")).type(), before);
    if (size != 0) {
        EXPECT_EQ(fs::file_size(list("Perso.dat")), size);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Lists, UnreadableList,
    ::testing::Values(UnreadableCase{"Folder", [](const fs::path& file) { fs::create_directory(file); }},
                      UnreadableCase{"BeyondTheBound",
                                     [](const fs::path& file) {
                                         // Sparse: the size is what is refused, not the bytes.
                                         writeBytes(file, "\xEF\xBB\xBF" "bjr\tBonjour\r\n");
                                         fs::resize_file(file, MaxListFileBytes + 1);
                                     }}),
    testing::CaseName{});

TEST_F(ListFiles, AFileAtTheBoundIsRead) {
    std::string bytes = "\xEF\xBB\xBF" "long\t";
    bytes.resize(MaxListFileBytes - 2, 'x');
    bytes += "\r\n";
    writeBytes(list("Perso.dat"), bytes);
    AbbreviationList listing;
    ASSERT_TRUE(loadListForEditing(files_, u"Perso.dat", listing).succeeded);
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].storedText.size(), MaxListFileBytes - 10);
}

// Each failure's rows in a file of their own, in the list format: a later
// failure of the same list never replaces the rows of an earlier one.
TEST_F(ListFiles, UnsavedRowsAreSetAsideInTheListFormatNeverOverAnEarlierCopy) {
    const fs::path aside = dir_.path() / "Listes" / "Sauvegardes";
    const char* const names[] = {"Perso.dat.non-enregistr\xC3\xA9", "Perso.dat.non-enregistr\xC3\xA9.2",
                                 "Perso.dat.non-enregistr\xC3\xA9.3"};
    for (int copy = 0; copy < 3; ++copy) {
        EXPECT_EQ(freeUnsavedRowsPath(files_, u"Perso.dat"), unsavedRowsPath(u"Perso.dat", copy + 1));
        const auto path = setAsideUnsavedRows(files_, u"Perso.dat", {{u"bjr", utf8ToUtf16(std::to_string(copy))}});
        ASSERT_TRUE(path);
        EXPECT_EQ(*path, utf8ToUtf16(std::string("Listes/Sauvegardes/") + names[copy]));
    }
    for (int copy = 0; copy < 3; ++copy) {
        EXPECT_EQ(readBytes(aside / names[copy]), "\xEF\xBB\xBF" "bjr\t" + std::to_string(copy) + "\r\n");
    }
}

}  // namespace
}  // namespace calmirande
