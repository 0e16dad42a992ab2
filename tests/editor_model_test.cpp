#include "editor/editor_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/text.h"
#include "lists/file_store_posix.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectory;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::string kMark = "\xEF\xBB\xBF";

const std::u16string kSelectOrCreate = u"Sélectionner une Liste ou en créer une !";
const std::u16string kEmptyFields = u"Un ou plusieurs champs sont vides !";
const std::u16string kTooShort = u"L'Abréviation doit contenir au moins deux caractères !";
const std::u16string kExists = u"Cette Abréviation existe déjà !";
const std::u16string kFull = u"Le nombre maximum de création d'Abréviations est atteint pour cette Liste !";
const std::u16string kSelectRow = u"Sélectionner une Abréviation dans le listing !";

std::u16string saveFailed(std::u16string_view fileName) {
    return u"Impossible d'enregistrer les modifications dans le fichier: " + std::u16string(fileName) +
           u"\rCe fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !"
           u"\rou bien il n'y a pas l'espace nécessaire pour créer ce fichier, libérer de l'espace !";
}

std::u16string loadFailed(std::u16string_view fileName) {
    return u"Impossible d'ouvrir le fichier: " + std::u16string(fileName) +
           u"\rCe fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !"
           u"\rou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer l'application !";
}

Message info(std::u16string text) { return {std::move(text), u"Info", Buttons::Ok}; }

// The bytes a list file must hold for these rows, written out by hand.
std::string fileOf(const AbbreviationList& rows) {
    std::string bytes = kMark;
    for (const Abbreviation& row : rows) bytes += utf16ToUtf8(row.key) + "\t" + utf16ToUtf8(row.storedText) + "\r\n";
    return bytes;
}

class Editor : public ::testing::Test {
protected:
    Editor() : cwd_(dir_.path()) { fs::create_directory(dir_.path() / "Listes"); }

    fs::path list(const std::string& fileName) const { return dir_.path() / "Listes" / fileName; }
    void writeList(const std::string& fileName, const std::string& bytes) const { writeBytes(list(fileName), bytes); }
    std::string bytesOf(const std::string& fileName) const { return readBytes(list(fileName)); }

    // The editor as start-up leaves it: `shown` selected and loaded, if any.
    EditorModel open(const std::vector<std::u16string>& catalogue, std::u16string_view shown = {}) {
        EditorModel model(catalogue);
        if (!shown.empty()) model.showChosenList(files_, shown);
        return model;
    }
    EditorModel openPerso() {
        writeList("Perso.dat", kMark + "bjr\tBonjour<R>Paul\r\ncdt\tCordialement\r\nfpol\tJe vous prie\r\n");
        writeList("Travail.dat", kMark + "rdv\trendez-vous\r\n");
        return open({u"Perso.dat", u"Travail.dat"}, u"Perso.dat");
    }
    void type(EditorModel& model, std::u16string key, std::u16string text) {
        model.keyFieldEdited(std::move(key));
        model.replacementFieldEdited(std::move(text));
    }

    TempDir dir_;
    CurrentDirectory cwd_;
    PosixFileStore files_;
};

// ---- Ajouter

struct AddRefusalCase {
    const char* name;
    bool listSelected;
    std::u16string key;
    std::u16string text;
    std::u16string message;
    friend void PrintTo(const AddRefusalCase& c, std::ostream* os) { *os << c.name; }
};

class AddRefusal : public Editor, public ::testing::WithParamInterface<AddRefusalCase> {};
TEST_P(AddRefusal, ShowsItsMessageAndKeepsRowsAndFields) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    EditorModel model = open({u"Perso.dat"}, GetParam().listSelected ? u"Perso.dat" : u"");
    type(model, GetParam().key, GetParam().text);
    const AbbreviationList before = model.rows();

    const EditorOutcome outcome = model.addAbbreviation();
    EXPECT_EQ(outcome.message, info(GetParam().message));
    EXPECT_EQ(model.rows(), before);
    EXPECT_EQ(model.keyField(), GetParam().key);
    EXPECT_EQ(model.replacementField(), GetParam().text);
    EXPECT_FALSE(model.rowsChanged());
}
INSTANTIATE_TEST_SUITE_P(
    Editor, AddRefusal,
    ::testing::Values(AddRefusalCase{"NoListSelected", false, u"ab", u"text", kSelectOrCreate},
                      AddRefusalCase{"NoListBeatsEmptyFields", false, u"", u"", kSelectOrCreate},
                      AddRefusalCase{"EmptyKey", true, u"", u"text", kEmptyFields},
                      AddRefusalCase{"TextOfSpacesOnly", true, u"ab", u"    ", kEmptyFields},
                      AddRefusalCase{"EmptyBeatsShort", true, u"a", u"", kEmptyFields},
                      AddRefusalCase{"OneLetterKey", true, u"a", u"text", kTooShort},
                      AddRefusalCase{"SameKey", true, u"bjr", u"other", kExists},
                      AddRefusalCase{"SameKeyInCapitals", true, u"BJR", u"other", kExists}),
    testing::CaseName{});

TEST_F(Editor, AddStoresTheKeyLowerCasedAndTheTextTrimmedOfSpacesOnly) {
    EditorModel model = openPerso();
    type(model, u"ÉtÉ", u"  \tBonjour\r\nPaul  ");
    const EditorOutcome outcome = model.addAbbreviation();
    EXPECT_EQ(outcome.message, std::nullopt);
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"bjr", u"Bonjour<R>Paul"},
                                              {u"cdt", u"Cordialement"},
                                              {u"fpol", u"Je vous prie"},
                                              {u"été", u"<T>Bonjour<R>Paul"}}));
    EXPECT_EQ(model.selectedRow(), 3u);
    EXPECT_EQ(outcome.scroll, ScrollTo::WhollyVisible);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.replacementField(), u"");
    EXPECT_EQ(model.recordsCounterText(), u"4 sur un nombre maximum de 2000");
}

TEST_F(Editor, AddKeepsTheRowsSortedWithOnlyAToZFolded) {
    EditorModel model = openPerso();
    for (const char16_t* key : {u"zèbre", u"abc", u"Zoo"}) {
        type(model, key, u"x");
        ASSERT_EQ(model.addAbbreviation().message, std::nullopt);
    }
    std::vector<std::u16string> keys;
    for (const Abbreviation& row : model.rows()) keys.push_back(row.key);
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"abc", u"bjr", u"cdt", u"fpol", u"zoo", u"zèbre"}));
    EXPECT_EQ(model.rows()[*model.selectedRow()].key, u"zoo");
}

TEST_F(Editor, AddLeavesTheButtonStateAsItWas) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    EXPECT_EQ(model.buttonState(), ButtonState::Picked);
}

TEST_F(Editor, TheTwoThousandAndFirstRowIsRefusedAndEmptiesTheFields) {
    std::string bytes = kMark;
    for (int i = 0; i < 2500; ++i) bytes += "k" + std::to_string(i) + "\tt\r\n";
    writeList("Gros.dat", bytes);
    EditorModel model = open({u"Gros.dat"}, u"Gros.dat");
    ASSERT_EQ(model.rows().size(), 2000u);
    type(model, u"neuf", u"nouveau");
    const EditorOutcome outcome = model.addAbbreviation();
    EXPECT_EQ(outcome.message, info(kFull));
    EXPECT_EQ(model.rows().size(), 2000u);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.replacementField(), u"");
    EXPECT_TRUE(outcome.redraw.fields);
}

TEST_F(Editor, ASaveKeepsTheRowsOfALongerListThanTheEditorHolds) {
    std::string rest;
    for (int i = 2000; i < 10000; ++i) rest += "k" + std::to_string(i) + "\tt" + std::to_string(i) + "\r\n";
    std::string bytes = kMark;
    for (int i = 0; i < 2000; ++i) bytes += "k" + std::to_string(i) + "\tt" + std::to_string(i) + "\r\n";
    writeList("Gros.dat", bytes + rest);
    writeList("Autre.dat", kMark + "rdv\trendez-vous\r\n");
    EditorModel model = open({u"Gros.dat", u"Autre.dat"}, u"Gros.dat");
    ASSERT_EQ(model.rows().size(), 2000u);
    // A full listing takes a new row once one has gone.
    model.selectRow(0);
    model.deleteAbbreviation();
    type(model, u"neuf", u"nouveau");
    ASSERT_EQ(model.addAbbreviation().message, std::nullopt);
    ASSERT_TRUE(model.switchEditedList(files_, 1).succeeded);
    const AbbreviationList shown = [&] {
        EditorModel again = open({u"Gros.dat"}, u"Gros.dat");
        return again.rows();
    }();
    ASSERT_EQ(shown.size(), 2000u);
    EXPECT_EQ(bytesOf("Gros.dat"), fileOf(shown) + rest);
    // And a second save, after another edit, keeps them again.
    model.showChosenList(files_, u"Gros.dat");
    model.selectRow(5);
    model.pickRow(true);
    model.replacementFieldEdited(u"changé");
    model.modifyAbbreviation();
    model.leaveEditor(files_, Answer::Yes);
    EXPECT_EQ(bytesOf("Gros.dat").substr(bytesOf("Gros.dat").size() - rest.size()), rest);
}

// ---- Modifier

struct ModifyRefusalCase {
    const char* name;
    bool listSelected;
    bool rowSelected;
    std::u16string key;
    std::u16string text;
    std::u16string message;
    friend void PrintTo(const ModifyRefusalCase& c, std::ostream* os) { *os << c.name; }
};

class ModifyRefusal : public Editor, public ::testing::WithParamInterface<ModifyRefusalCase> {};
TEST_P(ModifyRefusal, ShowsItsMessageAndLeavesTheRowsAlone) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\ncdt\tCordialement\r\n");
    EditorModel model = open({u"Perso.dat"}, GetParam().listSelected ? u"Perso.dat" : u"");
    if (GetParam().rowSelected) {
        model.selectRow(0);
        model.pickRow(true);
    }
    model.keyFieldEdited(GetParam().key);
    model.replacementFieldEdited(GetParam().text);
    // The search followed the typed key; the modification is meant for the first row.
    if (GetParam().rowSelected) model.selectRow(0);
    const AbbreviationList before = model.rows();

    const ButtonState buttons = model.buttonState();
    const EditorOutcome outcome = model.modifyAbbreviation();
    EXPECT_EQ(outcome.message, info(GetParam().message));
    EXPECT_EQ(model.rows(), before);
    // Nothing typed is lost: the fields and the buttons stay for the user to mend.
    EXPECT_EQ(model.keyField(), GetParam().key);
    EXPECT_EQ(model.replacementField(), GetParam().text);
    EXPECT_EQ(model.buttonState(), buttons);
}
INSTANTIATE_TEST_SUITE_P(
    Editor, ModifyRefusal,
    ::testing::Values(ModifyRefusalCase{"NoListSelected", false, false, u"ab", u"t", kSelectOrCreate},
                      ModifyRefusalCase{"NoRowSelected", true, false, u"ab", u"t", kSelectRow},
                      ModifyRefusalCase{"EmptyKey", true, true, u"", u"t", kEmptyFields},
                      ModifyRefusalCase{"SpacesOnlyText", true, true, u"bjr", u"  ", kEmptyFields},
                      ModifyRefusalCase{"OneLetterKey", true, true, u"b", u"t", kTooShort},
                      ModifyRefusalCase{"RenamedToAnotherRowsKey", true, true, u"CDT", u"t", kExists}),
    testing::CaseName{});

// The file of a list never passes what its reader takes: 12 bytes are left.
TEST_F(Editor, AddAndModifyKeepTheListWithinTheSizeItsReaderTakes) {
    const std::string big(MaxListFileBytes - 22, 'a');
    writeList("Gros.dat", kMark + "gros\t" + big + "\r\n");
    EditorModel model = open({u"Gros.dat"}, u"Gros.dat");
    const Message tooLarge = info(u"La Liste dépasserait la taille maximale de 4 Mo : raccourcir ce texte ou le "
                                  u"mettre dans une autre Liste !");
    type(model, u"ac", u"de trop et plus");
    EXPECT_EQ(model.addAbbreviation().message, tooLarge);
    EXPECT_EQ(model.keyField(), u"ac");  // kept, to be shortened
    type(model, u"ab", u"cdefghi");      // 2 + 1 + 7 + 2: exactly the bound
    EXPECT_EQ(model.addAbbreviation().message, std::nullopt);
    ASSERT_EQ(model.rows().size(), 2u);

    model.selectRow(0);  // "ab" sorts first
    model.pickRow(true);
    type(model, u"ab", u"cdefghé");  // one byte more
    EXPECT_EQ(model.modifyAbbreviation().message, tooLarge);
    type(model, u"ab", u"court");
    EXPECT_EQ(model.modifyAbbreviation().message, std::nullopt);
    EXPECT_EQ(model.saveBeforeQuit(files_).message, std::nullopt);
    EXPECT_LE(bytesOf("Gros.dat").size(), MaxListFileBytes);
}

TEST_F(Editor, ModifyKeepingItsKeyChangesTheTextAndNotTheCounter) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    EXPECT_EQ(model.replacementField(), u"Bonjour\r\nPaul");
    model.replacementFieldEdited(u"Bonjour\r\nPierre ");
    const EditorOutcome outcome = model.modifyAbbreviation();
    EXPECT_EQ(outcome.message, std::nullopt);
    EXPECT_EQ(model.rows()[0], (Abbreviation{u"bjr", u"Bonjour<R>Pierre"}));
    EXPECT_EQ(model.selectedRow(), 0u);
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    EXPECT_EQ(model.recordsCounterText(), u"3 sur un nombre maximum de 2000");
    EXPECT_FALSE(outcome.redraw.recordsCounter);
}

TEST_F(Editor, ModifyRenamesAndTheRowMovesToItsSortedPlace) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    model.keyFieldEdited(u"zz");
    ASSERT_EQ(model.modifyAbbreviation().message, std::nullopt);
    EXPECT_EQ(model.rows().back(), (Abbreviation{u"zz", u"Bonjour<R>Paul"}));
    EXPECT_EQ(model.selectedRow(), 2u);
}

TEST_F(Editor, ModifyRefusesTheExactKeyOfAnotherRowTheSearchDidNotReach) {
    // File order, unsorted: typing "cdt" selects the first row beginning with it.
    writeList("Perso.dat", kMark + "cdtx\tA\r\ncdt\tB\r\n");
    EditorModel model = open({u"Perso.dat"}, u"Perso.dat");
    model.keyFieldEdited(u"CDT");
    model.replacementFieldEdited(u"C");
    ASSERT_EQ(model.selectedRow(), 0u);
    EXPECT_EQ(model.modifyAbbreviation().message, info(kExists));
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"cdtx", u"A"}, {u"cdt", u"B"}}));
    EXPECT_EQ(model.keyField(), u"CDT");
}

TEST_F(Editor, KeyExistsComparesExactly) {
    EditorModel model = openPerso();
    EXPECT_TRUE(model.keyExists(u"bjr"));
    EXPECT_FALSE(model.keyExists(u"BJR"));
    EXPECT_FALSE(model.keyExists(u"bj"));
    EXPECT_FALSE(model.keyExists(u"bjrs"));
    EXPECT_FALSE(EditorModel({}).keyExists(u""));
}

// ---- Supprimer, RAZ, pick

TEST_F(Editor, DeleteWithoutSelectedRowIsRefused) {
    EditorModel model = openPerso();
    EXPECT_EQ(model.deleteAbbreviation().message, info(kSelectRow));
    EXPECT_EQ(model.rows().size(), 3u);
}

TEST_F(Editor, DeleteActsOnTheRowTheSearchSelectedNotTheOnePicked) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    model.keyFieldEdited(u"f");  // the search moves the selection to fpol
    EXPECT_EQ(model.keyField(), u"f");
    EXPECT_EQ(model.replacementField(), u"Bonjour\r\nPaul");
    const EditorOutcome outcome = model.deleteAbbreviation();
    EXPECT_EQ(outcome.message, std::nullopt);
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"bjr", u"Bonjour<R>Paul"}, {u"cdt", u"Cordialement"}}));
    EXPECT_EQ(model.selectedRow(), std::nullopt);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    EXPECT_EQ(model.recordsCounterText(), u"2 sur un nombre maximum de 2000");
}

TEST_F(Editor, ResetEmptiesTheFieldsAndKeepsTheSelection) {
    EditorModel model = openPerso();
    model.selectRow(1);
    model.pickRow(true);
    ASSERT_EQ(model.buttonState(), ButtonState::Picked);
    model.resetFields();
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.replacementField(), u"");
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    EXPECT_EQ(model.selectedRow(), 1u);
    EXPECT_EQ(model.rows().size(), 3u);
}

TEST_F(Editor, PickCopiesTheRowOnlyWhileTheListingHasTheFocus) {
    EditorModel model = openPerso();
    EXPECT_FALSE(model.pickRow(true).redraw.fields);  // no row selected
    model.selectRow(0);
    EXPECT_FALSE(model.pickRow(false).redraw.fields);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    model.pickRow(true);
    EXPECT_EQ(model.keyField(), u"bjr");
    EXPECT_EQ(model.replacementField(), u"Bonjour\r\nPaul");
    EXPECT_EQ(model.buttonState(), ButtonState::Picked);
}

TEST_F(Editor, PickingALongKeyFromTheFileFillsTheFieldWithIt) {
    writeList("Long.dat", kMark + "abcdefghijklmnopqrstuvwxy\tlong\r\n");
    EditorModel model = open({u"Long.dat"}, u"Long.dat");
    model.selectRow(0);
    model.pickRow(true);
    EXPECT_EQ(model.keyField().size(), 25u);
}

TEST_F(Editor, TextSetByTheEditorItselfStartsNoSearch) {
    EditorModel model = openPerso();
    model.selectRow(2);
    model.pickRow(true);
    // The controls echo the texts the model gave them.
    EXPECT_FALSE(model.keyFieldEdited(u"fpol").redraw.selection);
    EXPECT_FALSE(model.replacementFieldEdited(u"Je vous prie").redraw.selection);
    model.resetFields();
    model.replacementTextReturned(u"Cordialement");
    EXPECT_EQ(model.replacementFieldEdited(u"Cordialement").redraw.selection, false);
    EXPECT_EQ(model.selectedRow(), 2u);
}

TEST_F(Editor, SearchesMoveOnlyTheSelection) {
    EditorModel model = openPerso();
    const EditorOutcome byKey = model.keyFieldEdited(u"CD");
    EXPECT_EQ(model.selectedRow(), 1u);
    EXPECT_EQ(byKey.scroll, ScrollTo::PartlyVisible);
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    model.keyFieldEdited(u"");
    EXPECT_EQ(model.selectedRow(), 1u);  // erasing leaves the selection where it was
    model.replacementFieldEdited(u"bonjour\r\np");
    EXPECT_EQ(model.selectedRow(), 0u);
    model.keyFieldEdited(u"fp");
    model.replacementFieldEdited(u"Cord");  // a key is typed: the text search stays idle
    EXPECT_EQ(model.selectedRow(), 2u);
}

// ---- Sort

struct SortCase {
    const char* name;
    int column;
    bool ascending;
    AbbreviationList rows;
    std::vector<std::u16string> keys;
    friend void PrintTo(const SortCase& c, std::ostream* os) { *os << c.name; }
};

class SortListing : public ::testing::TestWithParam<SortCase> {};
TEST_P(SortListing, OrdersTheRows) {
    AbbreviationList rows = GetParam().rows;
    std::optional<std::size_t> selected;
    sortListing(rows, GetParam().column, GetParam().ascending, selected);
    std::vector<std::u16string> keys;
    for (const Abbreviation& row : rows) keys.push_back(row.key);
    EXPECT_EQ(keys, GetParam().keys);
}
const std::u16string k254(254, u'x');
INSTANTIATE_TEST_SUITE_P(
    Editor, SortListing,
    ::testing::Values(
        SortCase{"KeysAscending", 0, true, {{u"b", u""}, {u"a", u""}, {u"c", u""}}, {u"a", u"b", u"c"}},
        SortCase{"KeysDescending", 0, false, {{u"b", u""}, {u"a", u""}, {u"c", u""}}, {u"c", u"b", u"a"}},
        SortCase{"TextsAscending", 1, true, {{u"1", u"b"}, {u"2", u"a"}, {u"3", u"C"}}, {u"2", u"1", u"3"}},
        SortCase{"TextsDescending", 1, false, {{u"1", u"b"}, {u"2", u"a"}, {u"3", u"C"}}, {u"3", u"1", u"2"}},
        SortCase{"AccentsAfterZ", 0, true, {{u"zèbre", u""}, {u"abc", u""}, {u"zoo", u""}},
                 {u"abc", u"zoo", u"zèbre"}},
        SortCase{"CapitalsFoldedAsLetters", 0, true, {{u"Zoo", u""}, {u"abc", u""}, {u"Bac", u""}},
                 {u"abc", u"Bac", u"Zoo"}},
        SortCase{"AccentedCapitalIsNotFolded", 0, true, {{u"é", u""}, {u"É", u""}}, {u"É", u"é"}},
        SortCase{"PrefixFirst", 0, true, {{u"abc", u""}, {u"ab", u""}}, {u"ab", u"abc"}},
        SortCase{"EqualTextsKeepTheirOrder", 1, true, {{u"1", u"Same"}, {u"2", u"same"}, {u"3", u"SAME"}},
                 {u"1", u"2", u"3"}},
        SortCase{"EqualTextsKeepTheirOrderDescending", 1, false,
                 {{u"1", u"Same"}, {u"0", u"z"}, {u"2", u"same"}, {u"3", u"SAME"}}, {u"0", u"1", u"2", u"3"}},
        SortCase{"OnlyTheFirst254UnitsCount", 1, true,
                 {{u"1", k254 + u"b"}, {u"2", k254 + u"a"}, {u"3", k254.substr(1) + u"w"}},
                 {u"3", u"1", u"2"}}),
    testing::CaseName{});

TEST(SortListing, TheSelectedRowIsFollowed) {
    AbbreviationList rows = {{u"c", u""}, {u"a", u""}, {u"b", u""}};
    std::optional<std::size_t> selected = 0;
    sortListing(rows, 0, true, selected);
    EXPECT_EQ(selected, 2u);
    selected.reset();
    sortListing(rows, 0, false, selected);
    EXPECT_EQ(selected, std::nullopt);
}

TEST_F(Editor, TitleClicksWaitForTheFirstAddOrModify) {
    writeList("Perso.dat", kMark + "b\tz\r\nc\ty\r\na\tx\r\n");
    EditorModel model = open({u"Perso.dat"}, u"Perso.dat");
    const AbbreviationList fileOrder = model.rows();
    model.clickColumnTitle(0);
    model.clickColumnTitle(1);
    EXPECT_EQ(model.rows(), fileOrder);
    EXPECT_FALSE(model.rowsChanged());

    const auto keys = [&] {
        std::u16string joined;
        for (const Abbreviation& row : model.rows()) joined += row.key.substr(0, 1);
        return joined;
    };
    type(model, u"dd", u"w");
    model.addAbbreviation();
    EXPECT_EQ(keys(), u"abcd");
    model.clickColumnTitle(0);  // the add's sort was column 0 ascending
    EXPECT_EQ(keys(), u"dcba");
    model.clickColumnTitle(0);
    EXPECT_EQ(keys(), u"abcd");
    model.clickColumnTitle(1);  // another column: ascending, texts w x y z
    EXPECT_EQ(keys(), u"dacb");
    model.clickColumnTitle(1);
    EXPECT_EQ(keys(), u"bcad");
    EXPECT_EQ(model.sortState().lastColumn, 1);
    EXPECT_FALSE(model.sortState().lastAscending);
}

TEST_F(Editor, ATitleClickAfterAModifyFollowsTheSelectedRow) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    model.keyFieldEdited(u"");
    ASSERT_EQ(model.modifyAbbreviation().message, info(kEmptyFields));
    EXPECT_FALSE(model.sortState().titleClicksEnabled);                  // refused before its sort
    model.selectRow(1);
    model.pickRow(true);
    ASSERT_EQ(model.modifyAbbreviation().message, std::nullopt);
    EXPECT_TRUE(model.sortState().titleClicksEnabled);
    model.clickColumnTitle(0);
    EXPECT_EQ(model.rows()[*model.selectedRow()].key, u"cdt");
    EXPECT_EQ(model.selectedRow(), 1u);
    model.selectRow(0);
    model.clickColumnTitle(1);  // Bonjour, Cordialement, Je vous prie
    EXPECT_EQ(model.selectedRow(), 2u);
    EXPECT_EQ(model.rows()[2].key, u"fpol");
}

TEST_F(Editor, EditsAndSortsWriteNothing) {
    EditorModel model = openPerso();
    const std::string before = bytesOf("Perso.dat");
    const auto written = fs::last_write_time(list("Perso.dat"));
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    model.selectRow(0);
    model.pickRow(true);
    model.replacementFieldEdited(u"autre");
    model.modifyAbbreviation();
    model.clickColumnTitle(1);
    model.selectRow(1);
    model.deleteAbbreviation();
    model.resetFields();
    EXPECT_EQ(bytesOf("Perso.dat"), before);
    EXPECT_EQ(fs::last_write_time(list("Perso.dat")), written);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path() / "Listes"), fs::directory_iterator()), 2);
}

// ---- Switching lists

TEST_F(Editor, SwitchSavesTheRowsInViewOrderAndLoadsTheOtherList) {
    EditorModel model = openPerso();
    type(model, u"ab", u"Tab\there");
    model.addAbbreviation();
    model.clickColumnTitle(0);  // descending: saved as shown
    const AbbreviationList shown = model.rows();

    const EditorOutcome outcome = model.switchEditedList(files_, 1);
    EXPECT_EQ(outcome.message, std::nullopt);
    EXPECT_TRUE(outcome.focusEditorWindow);
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(shown));
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "fpol\tJe vous prie\r\ncdt\tCordialement\r\nbjr\tBonjour<R>Paul\r\n"
                                            "ab\tTab<T>here\r\n");
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"rdv", u"rendez-vous"}}));
    EXPECT_EQ(model.shownListFile(), u"Travail.dat");
    EXPECT_EQ(model.recordsCounterText(), u"1 sur un nombre maximum de 2000");

    model.switchEditedList(files_, 0);
    EXPECT_EQ(model.rows(), shown);
}

TEST_F(Editor, SwitchKeepsTheFieldsAndTheButtonState) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    model.switchEditedList(files_, 1);
    EXPECT_EQ(model.keyField(), u"bjr");
    EXPECT_EQ(model.buttonState(), ButtonState::Picked);
    EXPECT_EQ(model.selectedRow(), std::nullopt);
}

TEST_F(Editor, SelectingTheShownListNeitherSavesNorReloads) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    writeList("Perso.dat", kMark + "changed\tbehind our back\r\n");
    const EditorOutcome outcome = model.switchEditedList(files_, 0);
    EXPECT_FALSE(outcome.redraw.rows);
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "changed\tbehind our back\r\n");
    EXPECT_EQ(model.rows().size(), 4u);
}

TEST_F(Editor, FailedSaveAtASwitchKeepsTheRowsAndTheSelector) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    const std::string before = bytesOf("Perso.dat");

    EditorOutcome outcome;
    {
        testing::DiskFull full;
        outcome = model.switchEditedList(files_, 1);
    }
    EXPECT_EQ(outcome.message, info(saveFailed(u"Perso.dat")));
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.redraw.selector);
    EXPECT_EQ(model.selectorSelection(), 0u);
    EXPECT_EQ(model.shownListFile(), u"Perso.dat");
    EXPECT_EQ(model.rows(), rows);
    EXPECT_EQ(bytesOf("Perso.dat"), before);

    // Once the disk has room again, the same switch saves them.
    ASSERT_TRUE(model.switchEditedList(files_, 1).succeeded);
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(rows));
}

TEST_F(Editor, EntriesKeepTheirExactFileNames) {
    writeList("a.dat.dat", kMark + "aa\tdouble\r\n");
    writeList("Notes.DAT", kMark + "nn\tnotes\r\n");
    EditorModel model = open({u"a.dat.dat", u"Notes.DAT"}, u"a.dat.dat");
    EXPECT_EQ(model.selectorEntries(),
              (std::vector<ListEntry>{{u"a", u"a.dat.dat"}, {u"Notes", u"Notes.DAT"}}));
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"aa", u"double"}}));
    type(model, u"ab", u"ajout");
    model.addAbbreviation();
    ASSERT_EQ(model.switchEditedList(files_, 1).message, std::nullopt);
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"nn", u"notes"}}));
    EXPECT_EQ(bytesOf("a.dat.dat"), kMark + "aa\tdouble\r\nab\tajout\r\n");
    EXPECT_FALSE(fs::exists(list("a.dat")));
    EXPECT_FALSE(fs::exists(list("Notes.dat")));

    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    EXPECT_EQ(left.activeListFile, u"Notes.DAT");
    EXPECT_EQ(model.catalogueFileNames(), (std::vector<std::u16string>{u"a.dat.dat", u"Notes.DAT"}));
}

// ---- A list that failed to load

TEST_F(Editor, AListThatFailedToLoadIsNotWrittenUntilARowIsEdited) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    EditorModel model = open({u"Perso.dat", u"Absente.dat"}, u"Perso.dat");
    const EditorOutcome outcome = model.switchEditedList(files_, 1);
    EXPECT_EQ(outcome.message, info(loadFailed(u"Absente.dat")));
    EXPECT_FALSE(model.shownListLoaded());
    EXPECT_EQ(model.recordsCounterText(), u"0 sur un nombre maximum de 2000");

    // Held by another program for a while: switching away must not empty it.
    writeList("Absente.dat", kMark + "precious\trows\r\n");
    model.switchEditedList(files_, 0);
    EXPECT_EQ(bytesOf("Absente.dat"), kMark + "precious\trows\r\n");

    // Leaving on it writes nothing either.
    fs::remove(list("Absente.dat"));
    model.switchEditedList(files_, 1);
    model.leaveEditor(files_, Answer::Yes);
    EXPECT_FALSE(fs::exists(list("Absente.dat")));

    // Rows added while it does not exist are saved: there is nothing to keep.
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    EXPECT_FALSE(model.shownListLoaded());
    model.switchEditedList(files_, 0);
    EXPECT_EQ(bytesOf("Absente.dat"), kMark + "neuf\tnouveau\r\n");
}

// A list that exists and cannot be read (here a folder in its place, as a
// file held open by another program is on Windows) is never written over;
// once it can be read, the rows added meanwhile join its own.
TEST_F(Editor, RowsAddedToAnUnreadableListJoinItsRowsOnceItCanBeRead) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    fs::create_directory(list("Tenue.dat"));
    EditorModel model = open({u"Perso.dat", u"Tenue.dat"}, u"Perso.dat");
    EXPECT_EQ(model.switchEditedList(files_, 1).message, info(loadFailed(u"Tenue.dat")));
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    type(model, u"rdv", u"remplacé");
    model.addAbbreviation();

    const EditorOutcome refused = model.switchEditedList(files_, 0);
    EXPECT_FALSE(refused.succeeded);
    EXPECT_TRUE(refused.saveFailed);
    EXPECT_EQ(refused.message, info(saveFailed(u"Tenue.dat")));
    EXPECT_TRUE(fs::is_directory(list("Tenue.dat")));
    EXPECT_EQ(model.rows().size(), 2u);

    fs::remove(list("Tenue.dat"));
    writeList("Tenue.dat", "rdv\trendez-vous\nseule\ncdt\tCordialement\n");
    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    EXPECT_EQ(left.message, std::nullopt);
    EXPECT_EQ(bytesOf("Tenue.dat"), kMark + "rdv\tremplacé\r\ncdt\tCordialement\r\nneuf\tnouveau\r\nseule\r\n");
    EXPECT_EQ(model.recordsCounterText(), u"3 sur un nombre maximum de 2000");
    // What the join replaced is kept.
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Tenue.dat.1"),
              "rdv\trendez-vous\nseule\ncdt\tCordialement\n");
}

// ---- Only changed rows are written

struct UntouchedCase {
    const char* name;
    std::function<void(EditorModel&, FileStore&)> act;
    friend void PrintTo(const UntouchedCase& c, std::ostream* os) { *os << c.name; }
};

class WithoutAnEdit : public Editor, public ::testing::WithParamInterface<UntouchedCase> {};
TEST_P(WithoutAnEdit, TheFileStaysByteForByte) {
    // Hand-written: no mark, LF line ends, key-only lines, a third field and
    // more lines than the editor holds.
    std::string bytes = "seule\nbjr\tBonjour\ttrois\n\n";
    for (int i = 0; i < 2500; ++i) bytes += "k" + std::to_string(i) + "\tt" + std::to_string(i) + "\n";
    writeList("Main.dat", bytes);
    writeList("Autre.dat", kMark + "rdv\trendez-vous\r\n");
    EditorModel model = open({u"Main.dat", u"Autre.dat"}, u"Main.dat");
    ASSERT_EQ(model.rows().size(), 2000u);
    GetParam().act(model, files_);
    EXPECT_EQ(bytesOf("Main.dat"), bytes);
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes"));
}
INSTANTIATE_TEST_SUITE_P(
    Editor, WithoutAnEdit,
    ::testing::Values(
        UntouchedCase{"Switch", [](EditorModel& m, FileStore& f) { m.switchEditedList(f, 1); }},
        UntouchedCase{"Leave", [](EditorModel& m, FileStore& f) { m.leaveEditor(f, Answer::Yes); }},
        UntouchedCase{"Create", [](EditorModel& m, FileStore& f) { m.createList(f, u"Neuve"); }},
        UntouchedCase{"TrayChoice", [](EditorModel& m, FileStore& f) { m.showChosenList(f, u"Autre.dat"); }},
        UntouchedCase{"TrayQuit", [](EditorModel& m, FileStore& f) { m.saveBeforeQuit(f); }},
        UntouchedCase{"SessionEnd", [](EditorModel& m, FileStore& f) { m.saveForSessionEnd(f); }},
        UntouchedCase{"PickAndReset",
                      [](EditorModel& m, FileStore& f) {
                          m.selectRow(3);
                          m.pickRow(true);
                          m.resetFields();
                          m.switchEditedList(f, 1);
                      }}),
    testing::CaseName{});

TEST_F(Editor, AnEditWritesTheRowsAndKeepsWhatTheyReplaced) {
    const std::string handWritten = "seule\nbjr\tBonjour\n";
    writeList("Main.dat", handWritten);
    EditorModel model = open({u"Main.dat"}, u"Main.dat");
    model.selectRow(0);
    model.deleteAbbreviation();
    type(model, u"bjr", u"Bonjour");
    model.addAbbreviation();
    // Back to the same row: the canonical bytes still differ from the file's.
    ASSERT_TRUE(model.leaveEditor(files_, Answer::Yes).hideWindow);
    EXPECT_EQ(bytesOf("Main.dat"), kMark + "bjr\tBonjour\r\nseule\r\n");  // the key-only line carried
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Main.dat.1"), handWritten);
}

// ---- A failed save that stops the user

TEST_F(Editor, TheQuestionSaysWhereTheRowsWereCopiedAndYesLetsTheSwitchHappen) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    fs::remove(list("Perso.dat"));
    fs::create_directory(list("Perso.dat"));  // in the way of every save

    EditorOutcome refused = model.switchEditedList(files_, 1);
    ASSERT_TRUE(refused.saveFailed);
    const Message question = model.goOnWithoutSavingQuestion(files_, refused.message->text);
    EXPECT_EQ(question.title, u"Avertissement");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.text, saveFailed(u"Perso.dat") +
                                 u"\r\rSouhaitez vous quand même continuer sans enregistrer !"
                                 u"\rVos Abréviations ont été copiées dans le fichier: "
                                 u"Listes/Sauvegardes/Perso.dat.non-enregistré");
    // Made before the answer, and once for the same rows asked about again.
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Perso.dat.non-enregistré"), fileOf(rows));
    EXPECT_EQ(model.goOnWithoutSavingQuestion(files_, refused.message->text), question);
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes" / "Perso.dat.non-enregistré.2"));
    EXPECT_TRUE(model.rowsChanged());  // until the user says Yes

    model.letUnsavedRowsGo();
    EXPECT_TRUE(model.switchEditedList(files_, 1).succeeded);
    EXPECT_EQ(model.shownListFile(), u"Travail.dat");
    EXPECT_TRUE(fs::is_directory(list("Perso.dat")));
}

TEST_F(Editor, RowsTheBackupsFolderCannotTakeGoToTheFallbackFolderOrTheQuestionSaysTheyAreLost) {
    EditorModel model = openPerso();
    const std::u16string fallback = utf8ToUtf16((dir_.path() / "Profil" / "Calmirande").string());
    fs::create_directory(dir_.path() / "Profil");
    model.setFallbackFolders({fallback});
    writeBytes(dir_.path() / "Listes" / "Sauvegardes", "a file, not the folder");
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    fs::remove(list("Perso.dat"));
    fs::create_directory(list("Perso.dat"));
    EXPECT_EQ(model.goOnWithoutSavingQuestion(files_, u"échec").text,
              u"échec\r\rSouhaitez vous quand même continuer sans enregistrer !"
              u"\rVos Abréviations ont été copiées dans le fichier: " +
                  fallback + u"/Perso.dat.non-enregistré");
    EXPECT_EQ(readBytes(dir_.path() / "Profil" / "Calmirande" / "Perso.dat.non-enregistré"), fileOf(rows));

    model.selectRow(0);
    model.deleteAbbreviation();
    model.setFallbackFolders({});
    EXPECT_EQ(model.goOnWithoutSavingQuestion(files_, u"échec").text,
              u"échec\r\rSouhaitez vous quand même continuer sans enregistrer !"
              u"\rVos Abréviations n'ont pu être copiées nulle part : en continuant, vous les perdez !");
}

TEST_F(Editor, GoingOnWithoutSavingLetsTheEditorBeLeft) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    LeaveOutcome left;
    {
        testing::DiskFull full;
        left = model.leaveEditor(files_, Answer::Yes);
        ASSERT_TRUE(left.saveFailed);
        EXPECT_FALSE(left.hideWindow);
        model.goOnWithoutSavingQuestion(files_, left.message->text);  // no copy either: the user still goes on
        model.letUnsavedRowsGo();
        left = model.leaveEditor(files_, Answer::Yes);
    }
    EXPECT_TRUE(left.hideWindow);
    EXPECT_TRUE(left.restoreExpansionIfTicked);
    EXPECT_EQ(left.activeListFile, u"Perso.dat");
}

// One row understood of three lines: shown, and nothing done here writes it.
TEST_F(Editor, AListUnderstoodTooLittleIsShownReadOnlyAndNeverWritten) {
    const std::string foreign = "[abréviations]\r\nbjr=Bonjour\r\nok\tyes\r\n";
    writeList("Autre.dat", foreign);
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    EditorModel model = open({u"Perso.dat", u"Autre.dat"}, u"Perso.dat");
    const EditorOutcome shown = model.switchEditedList(files_, 1);
    EXPECT_EQ(shown.message,
              info(u"La Liste Autre.dat n'est pas dans un format que l'éditeur comprend (moins de la moitié de ses "
                   u"lignes sont des abréviations, ou elle contient des caractères nuls).\r"
                   u"Elle est ouverte en lecture seule : l'éditeur ne l'enregistrera pas."));
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"ok", u"yes"}}));
    const Message readOnly = info(u"Cette Liste est ouverte en lecture seule : elle ne peut pas être modifiée ici !");
    type(model, u"neuf", u"nouveau");
    EXPECT_EQ(model.addAbbreviation().message, readOnly);
    model.selectRow(0);
    EXPECT_EQ(model.deleteAbbreviation().message, readOnly);
    model.clickColumnTitle(1);
    EXPECT_TRUE(model.leaveEditor(files_, Answer::Yes).hideWindow);
    EXPECT_EQ(bytesOf("Autre.dat"), foreign);
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes"));
}

// ---- Another program writes the list meanwhile

TEST_F(Editor, AListAnotherProgramChangedIsReadAgainWhenTheEditorOpensWithNothingUnsaved) {
    EditorModel model = openPerso();
    writeList("Perso.dat", kMark + "bjr\tBonjour<R>Paul\r\nautre\tajout d'un autre outil\r\n");
    const EditorOutcome opened = model.openEditor(files_);
    EXPECT_TRUE(opened.redraw.rows);
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"bjr", u"Bonjour<R>Paul"}, {u"autre", u"ajout d'un autre outil"}}));
    EXPECT_FALSE(model.openEditor(files_).redraw.rows);  // unchanged since: not read again
}

// Rows here: bjr (kept), cdt (text changed), fpol (deleted), neuf (added).
// The other version: bjr, cdt with another text, fpol, and two of its own.
TEST_F(Editor, BothChangedJoinsTheOtherVersionsNewRowsAndKeepsItWhole) {
    EditorModel model = openPerso();
    model.selectRow(2);
    model.deleteAbbreviation();  // fpol
    model.selectRow(1);
    model.pickRow(true);
    type(model, u"cdt", u"Cordialement vôtre");
    model.modifyAbbreviation();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const std::string other = kMark +
                              "bjr\tBonjour<R>Paul\r\ncdt\tBien cordialement\r\nfpol\tJe vous prie\r\n"
                              "ext\tde l'extérieur\r\nneuf\tnouveau\r\n";
    writeList("Perso.dat", other);

    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    EXPECT_TRUE(left.hideWindow);
    EXPECT_EQ(left.message,
              info(u"La Liste Perso.dat a été modifiée par un autre programme pendant que vous l'éditiez.\r"
                   u"Abréviations de l'autre version ajoutées aux vôtres : 1\r"
                   u"Abréviations de l'autre version non reprises (déjà présentes ici avec un autre texte, ou Liste "
                   u"pleine) : 1\r"
                   u"L'autre version est gardée dans le fichier: " +
                   keptCopyPath(u"Perso.dat", OtherVersionSuffix)));
    EXPECT_EQ(bytesOf("Perso.dat"),
              kMark + "bjr\tBonjour<R>Paul\r\ncdt\tCordialement vôtre\r\nneuf\tnouveau\r\next\tde l'extérieur\r\n");
    EXPECT_EQ(bytesOf("Sauvegardes/Perso.dat.autre-version"), other);
}

// ---- The session ends

TEST_F(Editor, SessionEndSavesChangedRowsOrSetsThemAside) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    EXPECT_TRUE(model.saveForSessionEnd(files_));
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(rows));

    model.selectRow(0);
    model.deleteAbbreviation();
    const AbbreviationList fewer = model.rows();
    fs::remove(list("Perso.dat"));
    fs::create_directory(list("Perso.dat"));
    EXPECT_FALSE(model.saveForSessionEnd(files_));
    EXPECT_FALSE(model.saveForSessionEnd(files_));  // the end's second attempt: no second copy
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Perso.dat.non-enregistré"), fileOf(fewer));
    EXPECT_FALSE(fs::exists(dir_.path() / "Listes" / "Sauvegardes" / "Perso.dat.non-enregistré.2"));

    // Another program cancelled the end: the set-aside copy did not save
    // them, and "Quitter" writes them once the list can be written again.
    fs::remove(list("Perso.dat"));
    EXPECT_TRUE(model.saveBeforeQuit(files_).succeeded);
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(fewer));
}

// Typed and never added: a row of its own, beside the saved list, or in a
// copy named for the fields when no list is shown.
TEST_F(Editor, SessionEndSetsTheFieldsTextAside) {
    EditorModel model = openPerso();
    type(model, u"Neuf", u"pas encore\r\najouté");
    EXPECT_TRUE(model.saveForSessionEnd(files_));
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Perso.dat.non-enregistré"),
              fileOf({{u"neuf", u"pas encore<R>ajouté"}}));

    EditorModel none = open({u"Perso.dat"});
    type(none, u"", u"texte seul");
    none.saveForSessionEnd(files_);
    EXPECT_EQ(readBytes(dir_.path() / "Listes" / "Sauvegardes" / "Champs de l'éditeur.non-enregistré"),
              fileOf({{u"(sans abréviation)", u"texte seul"}}));
}

// ---- From the tray menu

TEST_F(Editor, TrayChoiceSavesChangedRowsFirst) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    const EditorOutcome outcome = model.showChosenList(files_, u"Travail.dat");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(rows));
    EXPECT_EQ(model.selectorSelection(), 1u);
    EXPECT_EQ(model.rows(), (AbbreviationList{{u"rdv", u"rendez-vous"}}));
}

TEST_F(Editor, TrayChoiceWithoutChangesWritesNothing) {
    EditorModel model = openPerso();
    writeList("Perso.dat", kMark + "changed\tbehind our back\r\n");
    model.showChosenList(files_, u"Travail.dat");
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "changed\tbehind our back\r\n");
}

TEST_F(Editor, TrayChoiceStopsWhenTheChangedRowsCannotBeSaved) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    EditorOutcome outcome;
    {
        testing::DiskFull full;
        outcome = model.showChosenList(files_, u"Travail.dat");
    }
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, info(saveFailed(u"Perso.dat")));
    EXPECT_EQ(model.rows(), rows);
    EXPECT_EQ(model.selectorSelection(), 0u);
}

TEST_F(Editor, QuitFromTheTraySavesChangedRows) {
    EditorModel model = openPerso();
    EXPECT_TRUE(model.saveBeforeQuit(files_).succeeded);
    model.selectRow(2);
    model.deleteAbbreviation();
    {
        testing::DiskFull full;
        const EditorOutcome failed = model.saveBeforeQuit(files_);
        EXPECT_FALSE(failed.succeeded);
        EXPECT_EQ(failed.message, info(saveFailed(u"Perso.dat")));
    }
    EXPECT_TRUE(model.saveBeforeQuit(files_).succeeded);
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "bjr\tBonjour<R>Paul\r\ncdt\tCordialement\r\n");
    EXPECT_FALSE(model.rowsChanged());
}

TEST_F(Editor, OpeningTheEditorEmptiesTheFieldsAndKeepsTheRows) {
    EditorModel model = openPerso();
    model.selectRow(0);
    model.pickRow(true);
    model.openEditor(files_);
    EXPECT_EQ(model.keyField(), u"");
    EXPECT_EQ(model.replacementField(), u"");
    EXPECT_EQ(model.buttonState(), ButtonState::Entry);
    EXPECT_EQ(model.rows().size(), 3u);
}

// ---- Creating and deleting lists

TEST_F(Editor, CreateSavesTheShownListFirstAndShowsTheEmptyNewList) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    ASSERT_TRUE(model.beginCreateList().openNameDialog);
    ASSERT_EQ(model.checkNewListName(files_, u"Élève à noël"), std::nullopt);

    const EditorOutcome outcome = model.createList(files_, u"Élève à noël");
    EXPECT_EQ(outcome.message, std::nullopt);
    EXPECT_TRUE(outcome.catalogueChanged);
    EXPECT_EQ(bytesOf("Élève à noël.dat"), kMark);
    EXPECT_EQ(bytesOf("Perso.dat"), fileOf(rows));
    EXPECT_EQ(model.selectorEntries().back(), (ListEntry{u"Élève à noël", u"Élève à noël.dat"}));
    EXPECT_EQ(model.selectorSelection(), 2u);
    EXPECT_EQ(model.shownListFile(), u"Élève à noël.dat");
    EXPECT_TRUE(model.rows().empty());
    EXPECT_EQ(model.listsCounterText(), u"3 sur un nombre maximum de 20");
    EXPECT_EQ(model.recordsCounterText(), u"0 sur un nombre maximum de 2000");
    EXPECT_EQ(model.catalogueFileNames().back(), u"Élève à noël.dat");
}

TEST_F(Editor, ListsCounterStaysEmptyUntilAListIsCreatedOrDeleted) {
    EditorModel model = openPerso();
    EXPECT_EQ(model.listsCounterText(), u"");
    model.deleteList(files_, Answer::Yes);
    EXPECT_EQ(model.listsCounterText(), u"1 sur un nombre maximum de 20");
}

TEST_F(Editor, CreateStopsWithTheRowsKeptWhenTheirSaveFails) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    EditorOutcome outcome;
    {
        testing::DiskFull full;
        outcome = model.createList(files_, u"Neuve");
    }
    EXPECT_EQ(outcome.message, info(saveFailed(u"Perso.dat")));
    EXPECT_FALSE(fs::exists(list("Neuve.dat")));
    EXPECT_EQ(model.rows(), rows);
    EXPECT_EQ(model.selectorEntries().size(), 2u);
    EXPECT_EQ(model.shownListFile(), u"Perso.dat");
}

TEST_F(Editor, CreateThatCannotWriteTheFileChangesNothing) {
    writeList("Perso.dat", kMark);
    EditorModel model = open({u"Perso.dat"});
    EditorOutcome outcome;
    {
        testing::DiskFull full;
        outcome = model.createList(files_, u"Neuve");
    }
    EXPECT_EQ(outcome.message, (Message{u"Impossible de créer le Fichier !", u"Erreur", Buttons::Ok}));
    EXPECT_FALSE(fs::exists(list("Neuve.dat")));
    EXPECT_EQ(model.selectorEntries().size(), 1u);
    EXPECT_EQ(model.selectorSelection(), std::nullopt);
}

TEST_F(Editor, CreateNeverReplacesAFileOutsideTheCatalogue) {
    writeList("Perso.dat", kMark);
    writeList("Vingt et unième.dat", kMark + "garde\tmoi\r\n");
    EditorModel model = open({u"Perso.dat"}, u"Perso.dat");
    const Message taken{u"Ce nom est déjà créé !", u"Erreur", Buttons::Ok};
    EXPECT_EQ(model.checkNewListName(files_, u"Vingt et unième"), taken);
    EXPECT_EQ(model.createList(files_, u"Vingt et unième").message, taken);
    EXPECT_EQ(bytesOf("Vingt et unième.dat"), kMark + "garde\tmoi\r\n");
    EXPECT_EQ(model.checkNewListName(files_, u"perso"), taken);
    EXPECT_EQ(model.checkNewListName(files_, u"LPT¹"),
              (Message{u"Le nom de la Liste comporte des caractères interdits !", u"Erreur", Buttons::Ok}));
}

TEST_F(Editor, TheTwentyFirstListIsRefusedBeforeAnyDialog) {
    std::vector<std::u16string> names;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "L" + std::to_string(i) + ".dat";
        writeList(name, kMark);
        names.push_back(utf8ToUtf16(name));
    }
    EditorModel model = open(names, u"L0.dat");
    const EditorOutcome refused = model.beginCreateList();
    EXPECT_FALSE(refused.openNameDialog);
    EXPECT_EQ(refused.message,
              (Message{u"La limite des 20 Listes possible est atteinte !", u"Avertissement", Buttons::Ok}));
    EXPECT_EQ(model.createList(files_, u"Encore").message, refused.message);
    EXPECT_FALSE(fs::exists(list("Encore.dat")));

    model.deleteList(files_, Answer::Yes);
    EXPECT_TRUE(model.beginCreateList().openNameDialog);
}

TEST_F(Editor, DeleteListAsksAndOnYesMovesTheExactFileWithItsLastEditsIntoTheBackups) {
    writeList("a.dat.dat", kMark + "aa\tdouble\r\n");
    writeList("a.dat", kMark + "other\tfile\r\n");
    EditorModel model = open({u"a.dat.dat"}, u"a.dat.dat");
    type(model, u"bb", u"ajoutée");
    model.addAbbreviation();
    EXPECT_EQ(model.beginDeleteList(files_).message,
              (Message{u"Êtes-vous sûr de vouloir supprimer cette Liste ?: a\r"
                       u"Ses enregistrements seront gardés dans le fichier: " +
                           keptCopyPath(u"a.dat.dat", DeletedListSuffix),
                       u"Avertissement", Buttons::YesNo, true}));
    EXPECT_FALSE(model.deleteList(files_, Answer::No).redraw.selector);
    EXPECT_TRUE(fs::exists(list("a.dat.dat")));
    EXPECT_EQ(model.rows().size(), 2u);

    const EditorOutcome outcome = model.deleteList(files_, Answer::Yes);
    EXPECT_TRUE(outcome.catalogueChanged);
    EXPECT_FALSE(fs::exists(list("a.dat.dat")));
    EXPECT_EQ(bytesOf("Sauvegardes/a.dat.dat.supprimé"), kMark + "aa\tdouble\r\nbb\tajoutée\r\n");
    EXPECT_EQ(bytesOf("a.dat"), kMark + "other\tfile\r\n");
    EXPECT_TRUE(model.selectorEntries().empty());
    EXPECT_EQ(model.selectorSelection(), std::nullopt);
    EXPECT_EQ(model.shownListFile(), std::nullopt);
    EXPECT_TRUE(model.rows().empty());
    EXPECT_EQ(model.recordsCounterText(), u"");
    EXPECT_EQ(model.beginDeleteList(files_).message, info(u"Aucune Liste sélectionnée !"));
}

// ---- Leaving

const std::u16string kTypedNotAdded = u"Le texte tapé dans les champs n'a pas été ajouté à la Liste !\r"
                                      u"Souhaitez vous quand même quitter l'application !";

struct LeaveCase {
    const char* name;
    std::vector<std::u16string> catalogue;
    std::u16string shown;
    std::optional<std::u16string> question;
    // Typed in the fields before "Quitter"; the picked first row typed
    // again counts as nothing typed.
    std::u16string key = {}, text = {};
    bool pickSecondRow = false;  // then `key` and `text` are what the pick filled in
    friend void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }
};

class LeaveQuestion : public Editor, public ::testing::WithParamInterface<LeaveCase> {};
TEST_P(LeaveQuestion, AskedOnlyWhenSomethingIsMissing) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\nBIS\t  trois\tchamps \r\n");
    writeList("Vide.dat", kMark);
    EditorModel model = open(GetParam().catalogue, GetParam().shown);
    if (GetParam().pickSecondRow) {
        model.selectRow(1);
        model.pickRow(true);
    }
    type(model, GetParam().key, GetParam().text);
    const std::optional<Message> asked = model.leaveQuestion();
    if (!GetParam().question) {
        EXPECT_EQ(asked, std::nullopt);
    } else {
        EXPECT_EQ(asked, (Message{*GetParam().question, u"Avertissement", Buttons::YesNo}));
    }
}
INSTANTIATE_TEST_SUITE_P(
    Editor, LeaveQuestion,
    ::testing::Values(
        LeaveCase{"ListWithRows", {u"Perso.dat"}, u"Perso.dat", std::nullopt},
        LeaveCase{"EmptyList",
                  {u"Vide.dat"},
                  u"Vide.dat",
                  u"Vous quittez l'application sans avoir créer des Abréviations dans cette Liste !\r"
                  u"Souhaitez vous quand même quitter l'application !"},
        LeaveCase{"NoSelection",
                  {u"Perso.dat"},
                  u"",
                  u"Vous quittez l'application sans sélectionner une Liste !\r"
                  u"Souhaitez vous quand même quitter l'application !"},
        LeaveCase{"NoList", {}, u"", u"Aucune Liste n'est créée!\rSouhaitez vous quand même quitter l'application !"},
        LeaveCase{"TypedKeyNotAdded", {u"Perso.dat"}, u"Perso.dat", kTypedNotAdded, u"neuf"},
        LeaveCase{"TypedTextNotAdded", {u"Perso.dat"}, u"Perso.dat", kTypedNotAdded, u"", u"un texte"},
        LeaveCase{"TypedBeforeTheEmptyList", {u"Vide.dat"}, u"Vide.dat", kTypedNotAdded, u"neuf", u"x"},
        LeaveCase{"ARowAsItIs", {u"Perso.dat"}, u"Perso.dat", std::nullopt, u"BJR", u" Bonjour "},
        LeaveCase{"OnlySpaces", {u"Perso.dat"}, u"Perso.dat", std::nullopt, u"", u"   "},
        LeaveCase{"AHandWrittenRowPicked", {u"Perso.dat"}, u"Perso.dat", std::nullopt, u"BIS", u"  trois\tchamps ",
                  true},
        LeaveCase{"APickedRowChanged", {u"Perso.dat"}, u"Perso.dat", kTypedNotAdded, u"BIS", u"autre", true}),
    testing::CaseName{});

TEST_F(Editor, LeavingSavesTheListAndActivatesIt) {
    EditorModel model = openPerso();
    model.switchEditedList(files_, 1);
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    EXPECT_EQ(left.message, std::nullopt);
    EXPECT_TRUE(left.hideWindow);
    EXPECT_EQ(bytesOf("Travail.dat"), kMark + "neuf\tnouveau\r\nrdv\trendez-vous\r\n");
    // The shell writes the preferences from the outcome; the editor does not.
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
    EXPECT_EQ(left.activeListFile, u"Travail.dat");
    EXPECT_EQ(left.activeListIndex, 1);
    EXPECT_EQ(left.activeListDisplayName, u"Travail");
    ASSERT_TRUE(left.activeList);
    EXPECT_EQ(*left.activeList->table->find(u"neuf"), u"nouveau");
    EXPECT_TRUE(left.restoreExpansionIfTicked);
    EXPECT_TRUE(left.rebuildTrayMenu);
}

TEST_F(Editor, NoToTheLeaveQuestionKeepsEverything) {
    writeList("Vide.dat", kMark);
    EditorModel model = open({u"Vide.dat"}, u"Vide.dat");
    writeList("Vide.dat", kMark + "changed\tbehind our back\r\n");
    const LeaveOutcome left = model.leaveEditor(files_, Answer::No);
    EXPECT_TRUE(left.declined);
    EXPECT_FALSE(left.hideWindow);
    EXPECT_EQ(left.activeListFile, std::nullopt);
    EXPECT_FALSE(left.restoreExpansionIfTicked);
    EXPECT_TRUE(left.rebuildTrayMenu);
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
    EXPECT_EQ(bytesOf("Vide.dat"), kMark + "changed\tbehind our back\r\n");
}

TEST_F(Editor, LeavingWithoutSelectionClearsTheActiveListAndSavesNothing) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    EditorModel model = open({u"Perso.dat"});
    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    EXPECT_TRUE(left.hideWindow);
    EXPECT_EQ(left.activeListFile, u"");
    EXPECT_EQ(left.activeListIndex, -1);
    EXPECT_FALSE(left.activeList);
    EXPECT_TRUE(left.restoreExpansionIfTicked);
    EXPECT_FALSE(left.declined);
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "bjr\tBonjour\r\n");
}

TEST_F(Editor, LeavingWhenTheSaveFailsBehavesAsNo) {
    EditorModel model = openPerso();
    type(model, u"neuf", u"nouveau");
    model.addAbbreviation();
    const AbbreviationList rows = model.rows();
    const std::string before = bytesOf("Perso.dat");
    LeaveOutcome left;
    {
        testing::DiskFull full;
        left = model.leaveEditor(files_, Answer::Yes);
    }
    EXPECT_EQ(left.message, info(saveFailed(u"Perso.dat")));
    EXPECT_TRUE(left.saveFailed);
    // Not the user's No: the switch of the expansion is left alone.
    EXPECT_FALSE(left.declined);
    EXPECT_FALSE(left.hideWindow);
    EXPECT_EQ(left.activeListFile, std::nullopt);
    EXPECT_FALSE(left.restoreExpansionIfTicked);
    EXPECT_TRUE(left.rebuildTrayMenu);
    EXPECT_FALSE(fs::exists(dir_.path() / "Preferences.txt"));
    EXPECT_EQ(bytesOf("Perso.dat"), before);
    EXPECT_EQ(model.rows(), rows);
}

TEST_F(Editor, LeavingWritesBackAListRemovedBehindOurBack) {
    EditorModel model = openPerso();
    fs::remove(list("Perso.dat"));
    const LeaveOutcome left = model.leaveEditor(files_, Answer::Yes);
    // The rows were the only copy left: they are written back, then loaded.
    EXPECT_EQ(left.message, std::nullopt);
    EXPECT_EQ(bytesOf("Perso.dat"), kMark + "bjr\tBonjour<R>Paul\r\ncdt\tCordialement\r\nfpol\tJe vous prie\r\n");
    EXPECT_EQ(left.activeList->table->size(), 3u);
}

// ---- The records counter

TEST_F(Editor, RecordsCounterFollowsLoadsAddsAndDeletesOnly) {
    EditorModel model({u"Perso.dat", u"Travail.dat"});
    EXPECT_EQ(model.recordsCounterText(), u"");
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n\r\nsans texte\r\ncdt\tCordialement\r\n");
    writeList("Travail.dat", kMark);
    model.showChosenList(files_, u"Perso.dat");
    EXPECT_EQ(model.recordsCounterText(), u"2 sur un nombre maximum de 2000");
    type(model, u"neuf", u"nouveau");
    EXPECT_TRUE(model.addAbbreviation().redraw.recordsCounter);
    EXPECT_EQ(model.recordsCounterText(), u"3 sur un nombre maximum de 2000");
    model.selectRow(0);
    model.deleteAbbreviation();
    EXPECT_EQ(model.recordsCounterText(), u"2 sur un nombre maximum de 2000");
    model.switchEditedList(files_, 1);
    EXPECT_EQ(model.recordsCounterText(), u"0 sur un nombre maximum de 2000");
}

}  // namespace
}  // namespace calmirande
