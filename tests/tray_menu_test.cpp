#include "app/tray_menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <stdexcept>

#include "lists/file_store_posix.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::writeBytes;

std::vector<std::uint32_t> ids(const TrayMenu& menu) {
    std::vector<std::uint32_t> out;
    for (const TrayMenuItem& item : menu.items) out.push_back(item.id);
    return out;
}
std::vector<std::uint32_t> checkedIds(const TrayMenu& menu) {
    std::vector<std::uint32_t> out;
    for (const TrayMenuItem& item : menu.items) {
        if (item.checked) out.push_back(item.id);
    }
    return out;
}
const TrayMenuItem& item(const TrayMenu& menu, std::uint32_t id) {
    for (const TrayMenuItem& candidate : menu.items) {
        if (!candidate.separator && candidate.id == id) return candidate;
    }
    throw std::out_of_range("no such item");
}

TEST(TrayMenu, WithoutListsShowsAucuneTheSeparatorAndTheSixItems) {
    AppState state;
    const TrayMenu menu = buildTrayMenu(state);
    ASSERT_EQ(menu.items.size(), 8u);
    EXPECT_EQ(menu.items[0], (TrayMenuItem{u"Liste Actuelle: Aucune", 1}));
    EXPECT_TRUE(menu.items[1].separator);
    EXPECT_EQ(menu.items[2], (TrayMenuItem{u"A propos de ...", 2}));
    EXPECT_EQ(menu.items[3], (TrayMenuItem{u"Aide", 3}));
    EXPECT_EQ(menu.items[4], (TrayMenuItem{u"Editer les Abréviations", 4}));
    EXPECT_EQ(menu.items[5], (TrayMenuItem{u"Afficher l'aide à la rédaction", 5}));
    EXPECT_EQ(menu.items[6], (TrayMenuItem{u"Activer les Abréviations", 6, true}));
    EXPECT_EQ(menu.items[7], (TrayMenuItem{u"Quitter", 7}));
    for (const TrayMenuItem& each : menu.items) EXPECT_TRUE(each.enabled);
}

TEST(TrayMenu, ListsFollowTheCatalogueWithTheActiveOneChecked) {
    AppState state;
    state.catalogue.fileNames = {u"Perso.dat", u"Notes.DAT", u"a.dat.dat"};
    state.activeListFile = u"Notes.DAT";
    state.activeListIndex = 1;
    state.writingAidEnabled = 7;
    const TrayMenu menu = buildTrayMenu(state);
    EXPECT_EQ(ids(menu), (std::vector<std::uint32_t>{1, 10, 11, 12, 0, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(item(menu, 10).text, u"Perso");
    EXPECT_EQ(item(menu, 11).text, u"Notes");
    EXPECT_EQ(item(menu, 12).text, u"a");
    EXPECT_EQ(checkedIds(menu), (std::vector<std::uint32_t>{11, 5, 6}));
    // Item 1 removes only ".dat" in that case.
    EXPECT_EQ(item(menu, 1).text, u"Liste Actuelle: Notes.DAT");
}

// The editor deletes the active list, then creates another: each time the
// menu no longer shows the catalogue and is built again, without the deleted
// list, with no list checked, item 1 still naming the list that expands.
TEST(TrayMenu, FollowsTheListsTheEditorDeletesAndCreates) {
    AppState state;
    state.catalogue.fileNames = {u"Perso.dat", u"Travail.dat", u"Notes.dat"};
    state.activeListFile = u"Travail.dat";
    state.activeListIndex = 1;
    TrayMenu menu = buildTrayMenu(state);
    EXPECT_TRUE(trayMenuShowsCatalogue(menu, state.catalogue));

    state.catalogue.fileNames = {u"Perso.dat", u"Notes.dat"};
    ASSERT_FALSE(trayMenuShowsCatalogue(menu, state.catalogue));
    menu = buildTrayMenu(state);
    EXPECT_EQ(ids(menu), (std::vector<std::uint32_t>{1, 10, 11, 0, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(item(menu, 11).text, u"Notes");
    EXPECT_EQ(checkedIds(menu), (std::vector<std::uint32_t>{6}));
    EXPECT_EQ(item(menu, 1).text, u"Liste Actuelle: Travail");

    state.catalogue.fileNames.push_back(u"Neuve.dat");
    ASSERT_FALSE(trayMenuShowsCatalogue(menu, state.catalogue));
    menu = buildTrayMenu(state);
    EXPECT_EQ(item(menu, 12).text, u"Neuve");
    EXPECT_TRUE(trayMenuShowsCatalogue(menu, state.catalogue));
}

TEST(TrayMenu, TwentyListsTakeIdentifiersTenToTwentyNine) {
    AppState state;
    for (int i = 0; i < 20; ++i) state.catalogue.fileNames.push_back(u"L" + std::u16string(1, u'a' + i) + u".dat");
    const TrayMenu menu = buildTrayMenu(state);
    EXPECT_EQ(item(menu, 10).text, u"La");
    EXPECT_EQ(item(menu, 29).text, u"Lt");
    EXPECT_EQ(menu.items.size(), 28u);
}

struct TextCase {
    const char* name;
    std::u16string activeListFile;
    std::u16string currentList;  // item 1, as given to the menu
    std::u16string listItem;     // the list's own item
    friend void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }
};

class TrayMenuText : public ::testing::TestWithParam<TextCase> {};
TEST_P(TrayMenuText, ShowsTheNameLiterally) {
    AppState state;
    state.catalogue.fileNames = {GetParam().activeListFile};
    state.activeListFile = GetParam().activeListFile;
    state.activeListIndex = 0;
    const TrayMenu menu = buildTrayMenu(state);
    EXPECT_EQ(item(menu, 1).text, GetParam().currentList);
    EXPECT_EQ(item(menu, 10).text, GetParam().listItem);
}
INSTANTIATE_TEST_SUITE_P(
    Tray, TrayMenuText,
    ::testing::Values(TextCase{"Plain", u"Perso.dat", u"Liste Actuelle: Perso", u"Perso"},
                      TextCase{"Ampersand", u"R&D.dat", u"Liste Actuelle: R&&D", u"R&&D"},
                      TextCase{"TwoAmpersands", u"&&.dat", u"Liste Actuelle: &&&&", u"&&&&"},
                      TextCase{"DoubleExtension", u"a.dat.dat", u"Liste Actuelle: a", u"a"},
                      TextCase{"UpperCaseExtension", u"Notes.DAT", u"Liste Actuelle: Notes.DAT", u"Notes"},
                      TextCase{"NonAscii", u"Élève.dat", u"Liste Actuelle: Élève", u"Élève"}),
    testing::CaseName{});

TEST(TrayMenu, ItemSixShowsTheUsersSwitchNotTheMomentaryState) {
    AppState state;
    state.gate.setExpansionActive(false);  // the editor is open, or a replacement types
    state.gate.beginTyping();
    EXPECT_TRUE(item(buildTrayMenu(state), 6).checked);
    state.gate.endTyping();
    state.expansionSwitch = false;
    state.gate.setExpansionActive(true);
    EXPECT_FALSE(item(buildTrayMenu(state), 6).checked);
}

class TrayCommands : public ::testing::Test {
protected:
    TrayCommands() : cwd_(dir_.path()) {
        fs::create_directory(dir_.path() / "Listes");
        state_.activeListFile = u"Perso.dat";
        state_.catalogue.fileNames = {u"Perso.dat"};
        state_.activeListIndex = 0;
        state_.writingAidEnabled = 1;
        state_.gate.setExpansionActive(true);
        menu_ = buildTrayMenu(state_);
    }
    TrayCommandResult run(std::uint32_t id, bool helpOpen = false) {
        return runTrayCommand(state_, menu_, files_, id, helpOpen);
    }
    fs::path preferences() const { return dir_.path() / "Preferences.txt"; }

    testing::TempDir dir_;
    testing::CurrentDirectory cwd_;
    PosixFileStore files_;
    AppState state_;
    TrayMenu menu_;
};

TEST_F(TrayCommands, AboutAndHelpOnlyOpenWindows) {
    EXPECT_EQ(run(2).action, TrayAction::ShowAbout);
    EXPECT_EQ(run(3, false).action, TrayAction::OpenHelp);
    EXPECT_EQ(run(3, true).action, TrayAction::None);  // never brought forward
    EXPECT_TRUE(state_.gate.expansionActive());
    EXPECT_FALSE(fs::exists(preferences()));
}

TEST_F(TrayCommands, UnknownIdentifiersAndItemOneDoNothing) {
    const std::vector<std::uint32_t> before = checkedIds(menu_);
    for (const std::uint32_t id : {0u, 1u, 8u, 9u, 11u, 29u, 30u, std::numeric_limits<std::uint32_t>::max()}) {
        const TrayCommandResult result = run(id);
        EXPECT_EQ(result.action, TrayAction::None) << id;
        EXPECT_FALSE(result.selection) << id;
    }
    EXPECT_EQ(checkedIds(menu_), before);
    EXPECT_EQ(state_.activeListFile, u"Perso.dat");
    EXPECT_FALSE(state_.quitRequested);
    EXPECT_FALSE(fs::exists(preferences()));
}

TEST_F(TrayCommands, EditorSuspendsTheExpansionButItemSixKeepsItsMark) {
    EXPECT_EQ(run(4).action, TrayAction::OpenEditor);
    EXPECT_FALSE(state_.gate.expansionActive());
    EXPECT_TRUE(state_.expansionSwitch);
    EXPECT_TRUE(item(menu_, 6).checked);
    // A menu rebuilt meanwhile (a list created or deleted) keeps it too.
    EXPECT_TRUE(item(buildTrayMenu(state_), 6).checked);
}

TEST_F(TrayCommands, WritingAidSwitchesAndHidesTheStripWithoutWritingPreferences) {
    state_.writingAidEnabled = 7;
    TrayCommandResult result = run(5);
    EXPECT_EQ(result.action, TrayAction::WritingAidSwitched);
    EXPECT_TRUE(result.hideWritingAid);
    EXPECT_EQ(state_.writingAidEnabled, 0);
    EXPECT_FALSE(item(menu_, 5).checked);
    result = run(5);
    EXPECT_FALSE(result.hideWritingAid);
    EXPECT_EQ(state_.writingAidEnabled, 1);
    EXPECT_TRUE(item(menu_, 5).checked);
    EXPECT_FALSE(fs::exists(preferences()));
}

TEST_F(TrayCommands, ExpansionSwitchesBothTheChoiceAndTheGate) {
    EXPECT_EQ(run(6).action, TrayAction::ExpansionSwitched);
    EXPECT_FALSE(state_.expansionSwitch);
    EXPECT_FALSE(state_.gate.expansionActive());
    EXPECT_FALSE(item(menu_, 6).checked);
    run(6);
    EXPECT_TRUE(state_.expansionSwitch);
    EXPECT_TRUE(state_.gate.expansionActive());
    EXPECT_TRUE(item(menu_, 6).checked);
    EXPECT_FALSE(fs::exists(preferences()));
}

TEST_F(TrayCommands, QuitWritesThePreferencesThenAsksTheLoopToEnd) {
    state_.writingAidEnabled = 7;  // a hand-written value goes back unchanged
    EXPECT_EQ(run(7).action, TrayAction::Quit);
    EXPECT_TRUE(state_.quitRequested);
    EXPECT_FALSE(state_.gate.expansionActive());
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBFPerso.dat\r\n7");
}

TEST_F(TrayCommands, QuitWithoutActiveListWritesAnEmptyLineOne) {
    state_.activeListFile.clear();
    state_.activeListIndex = -1;
    run(7);
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBF\r\n1");
}

TEST_F(TrayCommands, PreferencesThatCouldNotBeReadAreWrittenOnlyOnceTheUserChangesASetting) {
    state_.preferencesUnread = true;
    writeBytes(preferences(), "held at log-on");
    run(7);
    EXPECT_EQ(readBytes(preferences()), "held at log-on");
    run(5);
    run(7);
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBFPerso.dat\r\n0");
}

// The editor's stand-in loads the chosen list for editing, as the editor
// does, and notes what it saw of the rest when it was asked.
class SelectList : public TrayCommands {
protected:
    SelectList() {
        writeBytes(dir_.path() / "Listes" / "Perso.dat", "\xEF\xBB\xBF" "am\tprenom.nom@exemple.fr\r\n");
        writeBytes(dir_.path() / "Listes" / "R&D.dat", "\xEF\xBB\xBF" "rd\tRecherche<R>et d\xC3\xA9veloppement\r\n"
                                                                     "x\ty\r\n");
        writeBytes(dir_.path() / "Listes" / "Notes.DAT", "\xEF\xBB\xBF" "nb\tnota bene\r\n");
        state_.catalogue.fileNames = {u"Perso.dat", u"R&D.dat", u"Notes.DAT"};
        menu_ = buildTrayMenu(state_);
    }

    // The command, then the messages in the order the user sees them.
    TrayCommandResult select(std::uint32_t id) {
        const TrayCommandResult result = runTrayCommand(state_, menu_, files_, id, false, [&](std::u16string_view file) {
            editorCalls_.push_back(std::u16string(file));
            stateAtEditor_ = state_.activeListFile;
            preferencesAtEditor_ = fs::exists(preferences()) ? readBytes(preferences()) : "";
            tableAtEditor_ = state_.tables.snapshot()->size();
            editorRows_.clear();
            const OperationResult loaded = loadListForEditing(files_, file, editorRows_);
            if (!loaded.succeeded) shown_.push_back(loaded.message);
        });
        if (result.selection && result.selection->message) shown_.push_back(*result.selection->message);
        return result;
    }

    std::vector<std::u16string> editorCalls_;
    std::u16string stateAtEditor_;
    std::string preferencesAtEditor_;
    std::size_t tableAtEditor_ = 99;
    AbbreviationList editorRows_;
    std::vector<std::u16string> shown_;
};

TEST_F(SelectList, TakesTheListByPositionNeverByItsMenuText) {
    const TrayCommandResult result = select(11);
    ASSERT_EQ(result.action, TrayAction::ListSelected);
    ASSERT_TRUE(result.selection);
    const ListSelection& selection = *result.selection;
    EXPECT_EQ(item(menu_, 11).text, u"R&&D");
    EXPECT_EQ(selection.fileName, u"R&D.dat");
    EXPECT_EQ(state_.activeListFile, u"R&D.dat");
    EXPECT_EQ(state_.activeListIndex, 1);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(editorCalls_, (std::vector<std::u16string>{u"R&D.dat"}));
    EXPECT_EQ(editorRows_.size(), 2u);
    EXPECT_EQ(selection.aidRows.size(), 2u);
    const std::u16string* text = state_.tables.snapshot()->find(u"rd");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, u"Recherche\r\net développement");
    EXPECT_EQ(checkedIds(menu_), (std::vector<std::uint32_t>{11, 5, 6}));
    EXPECT_EQ(item(menu_, 1).text, u"Liste Actuelle: R&&D");
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBFR&D.dat\r\n1");
}

TEST_F(SelectList, TheEditorComesAfterTheStateAndBeforeTheTableAndThePreferences) {
    select(12);
    EXPECT_EQ(stateAtEditor_, u"Notes.DAT");
    EXPECT_EQ(tableAtEditor_, 0u);           // not yet loaded for expansion
    EXPECT_EQ(preferencesAtEditor_, "");     // not yet written
    EXPECT_EQ(state_.tables.snapshot()->size(), 1u);
    EXPECT_TRUE(fs::exists(preferences()));
}

TEST_F(SelectList, KeepsTheFileNamesOwnCaseForTheNextStart) {
    select(12);
    EXPECT_EQ(state_.activeListFile, u"Notes.DAT");
    EXPECT_EQ(item(menu_, 1).text, u"Liste Actuelle: Notes.DAT");
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBFNotes.DAT\r\n1");
    EXPECT_NE(state_.tables.snapshot()->find(u"nb"), nullptr);
}

TEST_F(SelectList, LeavesTheExpansionSwitchAsItWas) {
    run(4);  // the editor is open: choosing a list does not resume the expansion
    select(10);
    EXPECT_FALSE(state_.gate.expansionActive());
    EXPECT_TRUE(item(menu_, 6).checked);
}

TEST_F(SelectList, AVanishedFileGivesBothMessagesAndStillNamesTheList) {
    select(10);  // a table to lose
    shown_.clear();
    fs::remove(dir_.path() / "Listes" / "Notes.DAT");
    const TrayCommandResult result = select(12);
    ASSERT_TRUE(result.selection);
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[0],
              u"Impossible d'ouvrir le fichier: Notes.DAT\r"
              u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\r"
              u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer l'application !");
    EXPECT_EQ(shown_[1],
              u"Impossible de charger les abréviations du fichier: Notes.DAT\r"
              u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\r"
              u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer le programme !");
    EXPECT_TRUE(result.selection->aidRows.empty());
    EXPECT_EQ(state_.tables.snapshot()->size(), 0u);
    EXPECT_EQ(state_.activeListFile, u"Notes.DAT");
    EXPECT_EQ(state_.activeListIndex, 2);
    EXPECT_TRUE(item(menu_, 12).checked);
    EXPECT_EQ(readBytes(preferences()), "\xEF\xBB\xBFNotes.DAT\r\n1");
}

TEST_F(SelectList, AMenuOlderThanTheCatalogueStillChoosesTheListItShowed) {
    // The editor deleted "Perso.dat"; the menu is rebuilt only when it closes.
    state_.catalogue.fileNames = {u"R&D.dat", u"Notes.DAT"};
    select(12);
    EXPECT_EQ(state_.activeListFile, u"Notes.DAT");
    EXPECT_EQ(state_.activeListIndex, 1);  // its place in today's catalogue
    EXPECT_EQ(checkedIds(menu_), (std::vector<std::uint32_t>{12, 5, 6}));
    // The deleted list's item is still there; choosing it fails as for a vanished file.
    fs::remove(dir_.path() / "Listes" / "Perso.dat");
    select(10);
    EXPECT_EQ(shown_.size(), 2u);
    EXPECT_EQ(state_.activeListFile, u"Perso.dat");
    EXPECT_EQ(state_.activeListIndex, -1);
    EXPECT_EQ(checkedIds(menu_), (std::vector<std::uint32_t>{10, 5, 6}));
}

TEST_F(SelectList, APositionPastTheMenusListsChangesNothing) {
    EXPECT_FALSE(selectListFromMenu(state_, menu_, files_, 3));
    EXPECT_EQ(state_.activeListFile, u"Perso.dat");
    EXPECT_FALSE(fs::exists(preferences()));
}

TEST_F(SelectList, WorksWithoutAnEditor) {
    const TrayCommandResult result = run(11);
    ASSERT_TRUE(result.selection);
    EXPECT_EQ(state_.activeListFile, u"R&D.dat");
    EXPECT_NE(state_.tables.snapshot()->find(u"rd"), nullptr);
}

TEST_F(SelectList, AFailedPreferencesWriteIsSilent) {
    const TrayCommandResult result = [&] {
        testing::DiskFull full;
        return select(11);
    }();
    ASSERT_TRUE(result.selection);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(state_.activeListFile, u"R&D.dat");
    EXPECT_FALSE(fs::exists(preferences()));
}

}  // namespace
}  // namespace calmirande
