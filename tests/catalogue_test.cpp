#include "lists/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "lists/file_store_posix.h"
#include "lists/folder_listing_posix.h"
#include "lists/list_file.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectory;
using testing::TempDir;
using testing::writeBytes;
using Names = std::vector<std::u16string>;

struct DisplayCase {
    const char* name;
    std::u16string fileName;
    std::u16string displayName;
    friend void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.name; }
};

class ListDisplayName : public ::testing::TestWithParam<DisplayCase> {};
TEST_P(ListDisplayName, RemovesEveryDatInAnyLetterCase) {
    EXPECT_EQ(listDisplayName(GetParam().fileName), GetParam().displayName);
}
INSTANTIATE_TEST_SUITE_P(
    Catalogue, ListDisplayName,
    ::testing::Values(DisplayCase{"Plain", u"Travail.dat", u"Travail"}, DisplayCase{"UpperCase", u"Notes.DAT", u"Notes"},
                      DisplayCase{"Twice", u"a.dat.dat", u"a"}, DisplayCase{"MixedCases", u"x.DaT.dat", u"x"},
                      DisplayCase{"InTheMiddle", u"a.datb.dat", u"ab"}, DisplayCase{"NoExtension", u"Perso", u"Perso"},
                      DisplayCase{"OnlyExtension", u".dat", u""}, DisplayCase{"DatWithoutDot", u"datdat.dat", u"datdat"},
                      DisplayCase{"NonAscii", u"Élève.dAt", u"Élève"},
                      // Letters brought together by a removal are not read again.
                      DisplayCase{"OnePass", u"a.d.datat", u"a.dat"}, DisplayCase{"Empty", u"", u""}),
    testing::CaseName{});

struct ExtensionCase {
    const char* name;
    std::u16string fileName;
    bool isList;
    friend void PrintTo(const ExtensionCase& c, std::ostream* os) { *os << c.name; }
};

class HasListExtension : public ::testing::TestWithParam<ExtensionCase> {};
TEST_P(HasListExtension, OnlyNamesEndingInDat) {
    EXPECT_EQ(hasListExtension(GetParam().fileName), GetParam().isList);
}
INSTANTIATE_TEST_SUITE_P(
    Catalogue, HasListExtension,
    ::testing::Values(ExtensionCase{"Lower", u"Perso.dat", true}, ExtensionCase{"Upper", u"NOTES.DAT", true},
                      ExtensionCase{"Mixed", u"x.DaT", true}, ExtensionCase{"Bare", u".dat", true},
                      ExtensionCase{"LongerExtension", u"x.data", false}, ExtensionCase{"NoDot", u"xdat", false},
                      ExtensionCase{"TooShort", u"dat", false}, ExtensionCase{"TrailingBlank", u"x.dat ", false},
                      ExtensionCase{"DatInside", u"x.dat.txt", false}, ExtensionCase{"Empty", u"", false},
                      ExtensionCase{"FullwidthLetters", u"x.\uFF44\uFF41\uFF54", false}),
    testing::CaseName{});

// A real "Listes" folder in a fresh current directory.
class CatalogueFolder : public ::testing::Test {
protected:
    CatalogueFolder() : cwd_(dir_.path()) { fs::create_directory(lists()); }
    fs::path lists() const { return dir_.path() / "Listes"; }
    void addFile(const std::string& name) const { writeBytes(lists() / name, "\xEF\xBB\xBF"); }
    void addFiles(int count) const {
        for (int i = 0; i < count; ++i) addFile("Liste" + std::to_string(i) + ".dat");
    }
    // The folder's list files in the order the system lists them: the
    // catalogue must keep that order, whatever it is.
    Names systemOrder() const {
        Names names;
        for (const fs::directory_entry& entry : fs::directory_iterator(lists())) {
            if (!entry.is_directory() && hasListExtension(utf8ToUtf16(entry.path().filename().string()))) {
                names.push_back(utf8ToUtf16(entry.path().filename().string()));
            }
        }
        return names;
    }
    EnumeratedLists enumerate(std::u16string_view active = u"") { return enumerateLists(listing_, active); }

    TempDir dir_;
    CurrentDirectory cwd_;
    PosixFolderListing listing_;
};

TEST_F(CatalogueFolder, EmptyFolderGivesAnEmptyCatalogue) {
    const EnumeratedLists found = enumerate(u"Perso.dat");
    EXPECT_TRUE(found.catalogue.fileNames.empty());
    EXPECT_EQ(found.activeListFile, u"");
}

TEST_F(CatalogueFolder, TakesTheFirstTwentyInListingOrder) {
    addFiles(25);
    const Names order = systemOrder();
    ASSERT_EQ(order.size(), 25u);
    EXPECT_EQ(enumerate().catalogue.fileNames, Names(order.begin(), order.begin() + MaxLists));
}

TEST_F(CatalogueFolder, ActiveListBeyondTheTwentiethIsNone) {
    addFiles(25);
    const Names order = systemOrder();
    EXPECT_EQ(enumerate(order[19]).activeListFile, order[19]);
    EXPECT_EQ(enumerate(order[20]).activeListFile, u"");
    EXPECT_EQ(enumerate(order[24]).activeListFile, u"");
}

TEST_F(CatalogueFolder, FoldersAndOtherFilesTakeNoPlace) {
    addFiles(20);
    fs::create_directory(lists() / "x.dat");
    fs::create_directory(lists() / "Y.DAT");
    addFile("x.data");
    addFile("notes.txt");
    addFile("dat");
    const EnumeratedLists found = enumerate(u"x.dat");
    EXPECT_EQ(found.catalogue.fileNames, systemOrder());
    EXPECT_EQ(found.catalogue.fileNames.size(), MaxLists);
    EXPECT_EQ(found.activeListFile, u"");
}

TEST_F(CatalogueFolder, TheBackupsAreNeverShown) {
    PosixFileStore files;
    writeBytes(lists() / "Perso.dat", "\xEF\xBB\xBF" "v\t0\r\n");
    for (int version = 1; version <= 3; ++version) {
        ASSERT_TRUE(saveList(files, u"Perso.dat", {{u"v", utf8ToUtf16(std::to_string(version))}}).succeeded);
    }
    ASSERT_TRUE(setAsideUnsavedRows(files, u"Perso.dat", {{u"v", u"4"}}));
    ASSERT_TRUE(fs::exists(lists() / "Sauvegardes" / "Perso.dat.3"));
    EXPECT_EQ(enumerate().catalogue.fileNames, Names{u"Perso.dat"});
}

TEST_F(CatalogueFolder, AnyLetterCaseOfDatIsAList) {
    for (const char* name : {"Notes.DAT", "a.dat.dat", "x.DaT.dat", "\xC3\x89l\xC3\xA8ve.dAt"}) addFile(name);
    Names found = enumerate().catalogue.fileNames;
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Names{u"Notes.DAT", u"a.dat.dat", u"x.DaT.dat", u"Élève.dAt"}));
    Names shown;
    for (const std::u16string& name : found) shown.push_back(listDisplayName(name));
    EXPECT_EQ(shown, (Names{u"Notes", u"a", u"x", u"Élève"}));
}

TEST_F(CatalogueFolder, ActiveListMatchesOnlyWithTheExactLetterCase) {
    addFile("Perso.dat");
    addFile("Notes.DAT");
    EXPECT_EQ(enumerate(u"Perso.dat").activeListFile, u"Perso.dat");
    EXPECT_EQ(enumerate(u"Notes.DAT").activeListFile, u"Notes.DAT");
    EXPECT_EQ(enumerate(u"perso.dat").activeListFile, u"");
    EXPECT_EQ(enumerate(u"Perso.DAT").activeListFile, u"");
    EXPECT_EQ(enumerate(u"Notes.dat").activeListFile, u"");
    EXPECT_EQ(enumerate(u"Perso").activeListFile, u"");
    EXPECT_EQ(enumerate(u"").activeListFile, u"");
    EXPECT_EQ(enumerate(u"Perso.dat").catalogue.fileNames.size(), 2u);
}

TEST_F(CatalogueFolder, FolderThatCannotBeListedGivesNothing) {
    fs::remove(lists());
    EnumeratedLists found = enumerate(u"Perso.dat");
    EXPECT_TRUE(found.catalogue.fileNames.empty());
    EXPECT_EQ(found.activeListFile, u"");

    writeBytes(lists(), "not a folder");
    found = enumerate(u"Perso.dat");
    EXPECT_TRUE(found.catalogue.fileNames.empty());
    EXPECT_EQ(found.activeListFile, u"");
}

TEST_F(CatalogueFolder, LinkToAFolderIsSkippedLikeTheFolder) {
    fs::create_directory(dir_.path() / "elsewhere");
    fs::create_directory_symlink(dir_.path() / "elsewhere", lists() / "lien.dat");
    addFile("Perso.dat");
    EXPECT_EQ(enumerate().catalogue.fileNames, (Names{u"Perso.dat"}));
}

// What Windows' own search can give back: names matched through their short
// form, folders, and more entries than the catalogue takes.
class ScriptedListing final : public FolderListing {
public:
    explicit ScriptedListing(std::vector<FolderEntry> entries) : entries_(std::move(entries)) {}
    bool listDatEntries(const std::u16string& folder,
                        const std::function<bool(const FolderEntry&)>& visit) override {
        folders.push_back(folder);
        for (const FolderEntry& entry : entries_) {
            ++visited;
            if (!visit(entry)) break;
        }
        return true;
    }
    Names folders;
    std::size_t visited = 0;

private:
    std::vector<FolderEntry> entries_;
};

TEST(Catalogue, NamesMatchedOnlyThroughTheirShortFormAreNotLists) {
    ScriptedListing listing({{u"x.data", false}, {u"Perso.dat", false}, {u"rapport.dat1", false}, {u"b.dat", true}});
    const EnumeratedLists found = enumerateLists(listing, u"x.data");
    EXPECT_EQ(found.catalogue.fileNames, (Names{u"Perso.dat"}));
    EXPECT_EQ(found.activeListFile, u"");
    EXPECT_EQ(listing.folders, (Names{u"Listes"}));
}

TEST(Catalogue, StopsListingOnceTwentyAreTaken) {
    std::vector<FolderEntry> entries;
    entries.push_back({u"dossier.dat", true});
    for (int i = 0; i < 30; ++i) entries.push_back({u"L" + utf8ToUtf16(std::to_string(i)) + u".dat", false});
    ScriptedListing listing(entries);
    const EnumeratedLists found = enumerateLists(listing, u"L19.dat");
    ASSERT_EQ(found.catalogue.fileNames.size(), MaxLists);
    EXPECT_EQ(found.catalogue.fileNames.front(), u"L0.dat");
    EXPECT_EQ(found.catalogue.fileNames.back(), u"L19.dat");
    EXPECT_EQ(found.activeListFile, u"L19.dat");
    EXPECT_EQ(listing.visited, 22u);  // the folder, twenty files, and the one that ends the listing
}

}  // namespace
}  // namespace calmirande
