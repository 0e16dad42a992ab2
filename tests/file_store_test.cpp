#include <gtest/gtest.h>

#include <filesystem>

#include "common/messages.h"
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

TEST_F(ListFiles, SaveThatCannotCreateItsFileKeepsTheOldList) {
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    fs::create_directory(list("Perso.dat.tmp"));  // the temporary file cannot be created
    const OperationResult result = saveList(files_, u"Perso.dat", {{u"new", u"list"}});
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, kSaveFailed);
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "old\tlist\r\n");
}

TEST_F(ListFiles, SaveOnAFullDiskFailsAndKeepsTheOldList) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    writeBytes(list("Perso.dat"), "\xEF\xBB\xBF" "old\tlist\r\n");
    fs::create_symlink("/dev/full", list("Perso.dat.tmp"));  // every write fails with ENOSPC
    const OperationResult result = saveList(files_, u"Perso.dat", {{u"new", u"list"}});
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.message, kSaveFailed);
    EXPECT_EQ(readBytes(list("Perso.dat")), "\xEF\xBB\xBF" "old\tlist\r\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(list("Perso.dat.tmp"))));
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

}  // namespace
}  // namespace calmirande
