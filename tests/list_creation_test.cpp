#include "lists/list_creation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text.h"
#include "lists/file_store_posix.h"
#include "forwarding_store.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectory;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

struct FileNameCase {
    const char* name;
    std::u16string fileName;
    bool valid;
    friend void PrintTo(const FileNameCase& c, std::ostream* os) { *os << c.name; }
};

class FileNameCheck : public ::testing::TestWithParam<FileNameCase> {};
TEST_P(FileNameCheck, RefusesForbiddenCharactersAndDeviceNames) {
    EXPECT_EQ(isValidFileName(GetParam().fileName), GetParam().valid);
}
INSTANTIATE_TEST_SUITE_P(
    Lists, FileNameCheck,
    ::testing::Values(
        FileNameCase{"Empty", u"", false}, FileNameCase{"EmptyListName", u".dat", true},
        FileNameCase{"Plain", u"Perso.dat", true}, FileNameCase{"Accents", u"Élève à noël.dat", true},
        FileNameCase{"SpacesAndDots", u"mes listes v1.2.dat", true},
        FileNameCase{"DoubleQuote", u"a\"b.dat", false}, FileNameCase{"Backslash", u"a\\b.dat", false},
        FileNameCase{"Slash", u"a/b.dat", false}, FileNameCase{"Colon", u"a:b.dat", false},
        FileNameCase{"Asterisk", u"a*.dat", false}, FileNameCase{"QuestionMark", u"quoi?.dat", false},
        FileNameCase{"LessThan", u"<a.dat", false}, FileNameCase{"GreaterThan", u"a>.dat", false},
        FileNameCase{"Bar", u"a|b.dat", false}, FileNameCase{"Tab", u"a\tb.dat", false},
        FileNameCase{"Unit1", u"a\u0001.dat", false}, FileNameCase{"Unit31", u"\u001F.dat", false},
        FileNameCase{"Delete127IsAllowed", u"a\u007F.dat", true},
        FileNameCase{"Con", u"CON.dat", false}, FileNameCase{"ConLowerCase", u"con.dat", false},
        FileNameCase{"ConMixedCase", u"cOn.dat", false}, FileNameCase{"ConTrailingSpaces", u"CON  .dat", false},
        FileNameCase{"ConTrailingDots", u"CON..dat", false}, FileNameCase{"ConAnyExtension", u"con.txt.dat", false},
        FileNameCase{"Prn", u"PRN.dat", false}, FileNameCase{"Aux", u"aux.dat", false},
        FileNameCase{"Nul", u"Nul.dat", false}, FileNameCase{"Com0", u"COM0.dat", false},
        FileNameCase{"Com9", u"com9.dat", false}, FileNameCase{"Lpt1", u"LPT1.dat", false},
        FileNameCase{"ComSuperscriptOne", u"COM\u00B9.dat", false},
        FileNameCase{"ComSuperscriptTwo", u"com\u00B2.dat", false},
        FileNameCase{"LptSuperscriptThree", u"LPT\u00B3.dat", false},
        FileNameCase{"ConIn", u"CONIN$.dat", false}, FileNameCase{"ConOut", u"conout$.dat", false},
        FileNameCase{"Com10", u"COM10.dat", true}, FileNameCase{"ComWithoutDigit", u"COM.dat", true},
        FileNameCase{"ComSuperscriptFour", u"COM\u2074.dat", true}, FileNameCase{"Console", u"CONSOLE.dat", true},
        FileNameCase{"DeviceInside", u"ma CON.dat", true}, FileNameCase{"LeadingSpace", u" CON.dat", true},
        FileNameCase{"DeviceAfterDot", u"x.CON.dat", true}),
    testing::CaseName{});

class NewListNames : public ::testing::Test {
protected:
    NewListNames() : cwd_(dir_.path()) { fs::create_directory(dir_.path() / "Listes"); }

    TempDir dir_;
    CurrentDirectory cwd_;
    PosixFileStore files_;
    std::vector<std::u16string> shown_ = {u"Perso", u"Élève", u"a"};
};

struct RefusalCase {
    const char* name;
    std::u16string listName;
    std::optional<std::u16string> message;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class NewListNameRefusal : public NewListNames, public ::testing::WithParamInterface<RefusalCase> {};
TEST_P(NewListNameRefusal, GivesTheMessageOfTheFirstFailingCheck) {
    writeBytes(dir_.path() / "Listes" / "Cachée.dat", "\xEF\xBB\xBF");  // beyond the catalogue
    const std::optional<std::u16string_view> refusal = newListNameRefusal(files_, GetParam().listName, shown_);
    EXPECT_EQ(refusal ? std::optional<std::u16string>(*refusal) : std::nullopt, GetParam().message);
}
const std::u16string kForbidden = u"Le nom de la Liste comporte des caractères interdits !";
const std::u16string kTaken = u"Ce nom est déjà créé !";
const std::u16string kTooLong = u"Le nom de la Liste est trop long !";
INSTANTIATE_TEST_SUITE_P(
    Lists, NewListNameRefusal,
    ::testing::Values(RefusalCase{"New", u"Travail", std::nullopt},
                      RefusalCase{"EmptyName", u"", kForbidden},
                      RefusalCase{"SameName", u"Perso", kTaken}, RefusalCase{"OtherCase", u"PERSO", kTaken},
                      RefusalCase{"AccentedCapitals", u"ÉLÈVE", kTaken},
                      RefusalCase{"ShownNameOfADoubledExtension", u"A", kTaken},
                      RefusalCase{"FileOutsideTheCatalogue", u"Cachée", kTaken},
                      RefusalCase{"ShownAsAnExistingNameAtNextStart", u"perso.DAT", kTaken},
                      RefusalCase{"ExtensionInsideTheName", u"Travail.dat", std::nullopt},
                      RefusalCase{"Colon", u"a:b", kForbidden}, RefusalCase{"Device", u"nul", kForbidden},
                      RefusalCase{"ForbiddenBeforeTaken", u"Perso?", kForbidden},
                      RefusalCase{"ControlCharacter", u"a\rb", kForbidden},
                      // Its last set-aside copy, "<name>.dat.non-enregistré.9999", fills 255.
                      RefusalCase{"LongestNameThatFits", std::u16string(231, u'x'), std::nullopt},
                      RefusalCase{"OneCharacterTooLong", std::u16string(232, u'x'), kTooLong},
                      RefusalCase{"ForbiddenBeforeTooLong", std::u16string(300, u'?'), kForbidden}),
    testing::CaseName{});

// Windows' limit on a whole path, the program's folder deducted.
TEST(ListNameLength, CountsTheLongestPathMadeFromTheName) {
    struct ShortPaths final : testing::ForwardingStore {
        std::size_t pathRoom() const override { return 100; }
    } files;
    // "Listes/Sauvegardes/" (19) + name + ".dat.non-enregistré.9999" (24)
    EXPECT_EQ(newListNameRefusal(files, std::u16string(57, u'n'), {}), std::nullopt);
    EXPECT_EQ(newListNameRefusal(files, std::u16string(58, u'n'), {}), kTooLong);
}

TEST(ListLimit, RefusesTheTwentyFirstList) {
    EXPECT_EQ(listLimitRefusal(0), std::nullopt);
    EXPECT_EQ(listLimitRefusal(19), std::nullopt);
    EXPECT_EQ(listLimitRefusal(20), std::u16string(u"La limite des 20 Listes possible est atteinte !"));
    EXPECT_EQ(listLimitRefusal(21), listLimitRefusal(20));
}

TEST_F(NewListNames, NewListFileIsTheByteOrderMarkAndNeverReplacesAFile) {
    ASSERT_TRUE(createListFile(files_, u"Neuve.dat"));
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Neuve.dat"), "\xEF\xBB\xBF");

    writeBytes(dir_.path() / "Listes" / "Perso.dat", "\xEF\xBB\xBF" "bjr\tBonjour\r\n");
    EXPECT_FALSE(createListFile(files_, u"Perso.dat"));
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Perso.dat"), "\xEF\xBB\xBF" "bjr\tBonjour\r\n");

    // Deleted twice under one name: both deleted lists are kept.
    const fs::path kept = dir_.path() / "Listes" / "Sauvegardes";
    EXPECT_TRUE(deleteListFile(files_, u"Perso.dat"));
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Perso.dat"));
    EXPECT_EQ(readBytes(kept / "Perso.dat.supprimé"), "\xEF\xBB\xBF" "bjr\tBonjour\r\n");
    EXPECT_FALSE(deleteListFile(files_, u"Perso.dat"));
    ASSERT_TRUE(createListFile(files_, u"Perso.dat"));
    EXPECT_TRUE(deleteListFile(files_, u"Perso.dat"));
    EXPECT_EQ(readBytes(kept / "Perso.dat.supprimé.2"), "\xEF\xBB\xBF");
    EXPECT_EQ(readBytes(kept / "Perso.dat.supprimé"), "\xEF\xBB\xBF" "bjr\tBonjour\r\n");
}

}  // namespace
}  // namespace calmirande
