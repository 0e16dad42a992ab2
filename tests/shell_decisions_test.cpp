#include "app/shell_decisions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/startup.h"
#include "app/tray_menu.h"
#include "editor/editor_entry.h"
#include "editor/editor_model.h"
#include "engine/expansion_worker.h"
#include "lists/file_store_posix.h"
#include "lists/folder_listing_posix.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct VersionCase {
    const char* name;
    WindowsVersionQuery query;
    int level;
    friend void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }
};

constexpr WindowsVersionQuery nt(std::uint32_t major, std::uint32_t minor, bool extended = true,
                                 std::uint8_t product = ProductWorkstation) {
    return {true, PlatformWinNt, major, minor, extended, product};
}
constexpr WindowsVersionQuery win9x(std::uint32_t minor) { return {true, PlatformWin9x, 4, minor, false, 0}; }
constexpr std::uint8_t Server = 3;       // VER_NT_SERVER
constexpr std::uint8_t Controller = 2;   // VER_NT_DOMAIN_CONTROLLER

class WindowsVersionLevel : public ::testing::TestWithParam<VersionCase> {};
TEST_P(WindowsVersionLevel, FollowsTheTable) { EXPECT_EQ(windowsVersionLevel(GetParam().query), GetParam().level); }
INSTANTIATE_TEST_SUITE_P(
    Shell, WindowsVersionLevel,
    ::testing::Values(
        VersionCase{"Windows95", win9x(0), 10}, VersionCase{"Windows98", win9x(10), 30},
        VersionCase{"WindowsMe", win9x(90), 40}, VersionCase{"Unlisted9xMinor", win9x(5), 100},
        VersionCase{"Nt351", nt(3, 51), 5}, VersionCase{"Nt40", nt(4, 0), 20}, VersionCase{"Nt41", nt(4, 1), 100},
        VersionCase{"Windows2000", nt(5, 0), 50}, VersionCase{"Windows2000Server", nt(5, 0, true, Server), 50},
        VersionCase{"Xp", nt(5, 1), 60}, VersionCase{"XpWithoutExtendedAnswer", nt(5, 1, false), 60},
        VersionCase{"XpX64", nt(5, 2), 60}, VersionCase{"Server2003", nt(5, 2, true, Server), 65},
        VersionCase{"DomainController2003", nt(5, 2, true, Controller), 65},
        VersionCase{"FailedExtendedQueryCountsAsServer", nt(5, 2, false), 65},
        VersionCase{"Nt53", nt(5, 3), 100}, VersionCase{"Vista", nt(6, 0), 70},
        VersionCase{"Server2008", nt(6, 0, true, Server), 75}, VersionCase{"VistaWithoutExtended", nt(6, 0, false), 75},
        VersionCase{"Server2008R2", nt(6, 1, true, Server), 75}, VersionCase{"Windows7", nt(6, 1), 80},
        VersionCase{"Windows7WithoutExtended", nt(6, 1, false), 75}, VersionCase{"Windows8", nt(6, 2), 100},
        VersionCase{"Windows10", nt(10, 0), 100}, VersionCase{"Nt7", nt(7, 0), 100},
        VersionCase{"FailedQuery", {false, PlatformWinNt, 5, 1, true, ProductWorkstation}, 100},
        VersionCase{"Win32s", {true, 0, 3, 10, false, 0}, 100},
        VersionCase{"UnknownPlatform", {true, 3, 5, 1, true, ProductWorkstation}, 100}),
    testing::CaseName{});

TEST(WindowsVersionRefusal, BelowWindows2000IsRefusedWithTheMessage) {
    for (const int level : {5, 10, 20, 30, 40, 49}) {
        const auto refusal = refuseWindowsVersion(level);
        ASSERT_TRUE(refusal.has_value()) << level;
        EXPECT_EQ(*refusal, u"Calmirande ne fonctionne pas sur cette version de Window !\r\r"
                            u"Ce programme est compatible avec XP, Vista et Window 7 (Version 32 Bits)");
    }
    for (const int level : {50, 60, 65, 70, 75, 80, 100}) EXPECT_FALSE(refuseWindowsVersion(level)) << level;
}

TEST(SecondInstance, AnExistingOrForbiddenMutexRefuses) {
    for (const std::uint32_t error : {183u, 5u}) {
        const auto refusal = refuseSecondInstance(error);
        ASSERT_TRUE(refusal.has_value()) << error;
        EXPECT_EQ(*refusal, u"Le programme Calmirande est déjà en cours d'exécution !");
    }
    // Success, and failures that say nothing about another instance.
    for (const std::uint32_t error : {0u, 2u, 6u, 8u, 87u, 182u, 184u}) EXPECT_FALSE(refuseSecondInstance(error)) << error;
}

struct FontCase {
    const char* name;
    int points;
    int pixelsPerInch;
    int height;
    friend void PrintTo(const FontCase& c, std::ostream* os) { *os << c.name; }
};

class FontHeight : public ::testing::TestWithParam<FontCase> {};
TEST_P(FontHeight, IsNegativeAndRoundedToTheNearestPixel) {
    EXPECT_EQ(fontHeightForPoints(GetParam().points, GetParam().pixelsPerInch), GetParam().height);
}
INSTANTIATE_TEST_SUITE_P(
    Shell, FontHeight,
    ::testing::Values(FontCase{"Ten96", 10, 96, -13}, FontCase{"Eight96RoundsUp", 8, 96, -11},
                      FontCase{"Ten120RoundsUp", 10, 120, -17}, FontCase{"Eight120RoundsDown", 8, 120, -13},
                      FontCase{"Ten144", 10, 144, -20}, FontCase{"Eight144", 8, 144, -16},
                      FontCase{"Nine96Exact", 9, 96, -12}, FontCase{"HalfRoundsAwayFromZero", 3, 12, -1},
                      FontCase{"JustUnderHalf", 1, 35, 0}, FontCase{"Eight72", 8, 72, -8},
                      FontCase{"HugeResolutionDoesNotOverflow", 72, 2000000000, -2000000000},
                      FontCase{"NoResolutionCountsAs96", 10, 0, -13}, FontCase{"NegativeResolution", 8, -5, -11}),
    testing::CaseName{});

struct IndexCase {
    const char* name;
    std::vector<std::u16string> catalogue;
    std::u16string activeListFile;
    std::int32_t index;
    friend void PrintTo(const IndexCase& c, std::ostream* os) { *os << c.name; }
};

class ActiveListIndex : public ::testing::TestWithParam<IndexCase> {};
TEST_P(ActiveListIndex, IsTheExactFileNamesPosition) {
    EXPECT_EQ(findActiveListIndex(ListCatalogue{GetParam().catalogue}, GetParam().activeListFile), GetParam().index);
}
INSTANTIATE_TEST_SUITE_P(
    Shell, ActiveListIndex,
    ::testing::Values(
        IndexCase{"First", {u"Perso.dat", u"Travail.dat"}, u"Perso.dat", 0},
        IndexCase{"Second", {u"Perso.dat", u"Travail.dat"}, u"Travail.dat", 1},
        IndexCase{"NoActiveList", {u"Perso.dat"}, u"", -1},
        IndexCase{"EmptyCatalogue", {}, u"Perso.dat", -1},
        IndexCase{"OtherCaseIsAnotherName", {u"Perso.dat"}, u"perso.dat", -1},
        // Found by its file name, where the display name and ".dat" would
        // give "Notes.dat" and "a.dat" and miss them.
        IndexCase{"UpperCaseExtension", {u"Perso.dat", u"Notes.DAT"}, u"Notes.DAT", 1},
        IndexCase{"DoubleExtension", {u"a.dat", u"a.dat.dat"}, u"a.dat.dat", 1},
        IndexCase{"SameDisplayNameEarlier", {u"a.dat", u"a.dat.dat"}, u"a.dat", 0},
        IndexCase{"NotInTheCatalogue", {u"Perso.dat"}, u"Autre.dat", -1}),
    testing::CaseName{});

// After the editor created or deleted a list (the catalogue is the new one).
class ActiveListIndexAfterChange : public ::testing::TestWithParam<IndexCase> {};
TEST_P(ActiveListIndexAfterChange, FollowsTheFileAndNeverPointsAtAnotherList) {
    const ListCatalogue catalogue{GetParam().catalogue};
    const std::int32_t index = activeListIndexAfterCatalogueChange(catalogue, GetParam().activeListFile);
    EXPECT_EQ(index, GetParam().index);
    // A list still active after its deletion: the hooks go on expanding it,
    // and no list of the catalogue, nor the guidance, takes it for theirs.
    if (index >= 0 && static_cast<std::size_t>(index) >= catalogue.fileNames.size()) {
        EXPECT_NE(firstRunGuidance(catalogue, index), FirstRunGuidance::LoadActiveList);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Shell, ActiveListIndexAfterChange,
    ::testing::Values(
        IndexCase{"AnEarlierListDeletedMovesItUp", {u"Travail.dat"}, u"Travail.dat", 0},
        IndexCase{"ANewListAfterItKeepsItsPlace", {u"Perso.dat", u"Travail.dat", u"Neuve.dat"}, u"Travail.dat", 1},
        IndexCase{"ItselfDeletedStaysActivePastTheEnd", {u"Perso.dat", u"Neuve.dat"}, u"Travail.dat", 2},
        IndexCase{"TheLastListDeleted", {}, u"Travail.dat", 0},
        IndexCase{"NoActiveListStaysNone", {u"Perso.dat"}, u"", -1},
        IndexCase{"OtherCaseIsAnotherList", {u"perso.dat"}, u"Perso.dat", 1}),
    testing::CaseName{});

TEST(FirstRunGuidance, NoListAtAllThenNoActiveListThenLoad) {
    const ListCatalogue none;
    const ListCatalogue two{{u"Perso.dat", u"Notes.DAT"}};
    EXPECT_EQ(firstRunGuidance(none, -1), FirstRunGuidance::NoListCreated);
    EXPECT_EQ(firstRunGuidance(two, -1), FirstRunGuidance::NoListSelected);
    EXPECT_EQ(firstRunGuidance(two, 1), FirstRunGuidance::LoadActiveList);
    EXPECT_EQ(firstRunGuidance(two, 2), FirstRunGuidance::NoListSelected);  // never past the catalogue
    EXPECT_EQ(guidanceMessage(FirstRunGuidance::NoListCreated),
              u"Aucune Liste n'est créée, l'éditeur des abréviations va se lancer !");
    EXPECT_EQ(guidanceMessage(FirstRunGuidance::NoListSelected),
              u"Aucune Liste n'est sélectionnée, l'éditeur des abréviations va se lancer !");
    EXPECT_TRUE(guidanceMessage(FirstRunGuidance::LoadActiveList).empty());
}

class StartupGuidance : public ::testing::Test {
protected:
    StartupGuidance() : cwd_(dir_.path()) {}
    FirstRunGuidance guide() {
        const StartupFiles started = prepareStartupFiles(files_, listing_);
        EXPECT_TRUE(started.fatalMessage.empty());
        return firstRunGuidance(started.catalogue, started.activeListIndex);
    }
    testing::TempDir dir_;
    testing::CurrentDirectory cwd_;
    PosixFileStore files_;
    PosixFolderListing listing_;
};

TEST_F(StartupGuidance, AFileNamedListesGivesOnlyTheNoListMessage) {
    testing::writeBytes(dir_.path() / "Listes", "not a folder");
    EXPECT_EQ(guide(), FirstRunGuidance::NoListCreated);
}

TEST_F(StartupGuidance, AListWithAnUpperCaseExtensionIsLoadedAtStart) {
    fs::create_directory(dir_.path() / "Listes");
    testing::writeBytes(dir_.path() / "Listes" / "Notes.DAT", "\xEF\xBB\xBF" "am\tadresse\r\n");
    testing::writeBytes(dir_.path() / "Preferences.txt", "\xEF\xBB\xBFNotes.DAT\r\n1");
    EXPECT_EQ(guide(), FirstRunGuidance::LoadActiveList);
}

TEST_F(StartupGuidance, APreferenceInAnotherCaseLeadsToTheEditor) {
    fs::create_directory(dir_.path() / "Listes");
    testing::writeBytes(dir_.path() / "Listes" / "Perso.dat", "\xEF\xBB\xBF");
    testing::writeBytes(dir_.path() / "Preferences.txt", "\xEF\xBB\xBFperso.dat\r\n1");
    EXPECT_EQ(guide(), FirstRunGuidance::NoListSelected);
}

const std::string kMark = "\xEF\xBB\xBF";

// ---- The editor's lists created or deleted, as the shell follows them

struct CatalogueChangeCase {
    const char* name;
    std::vector<std::u16string> before;  // the catalogue the tray menu was built from
    std::u16string activeListFile;
    std::vector<std::u16string> after;
    std::int32_t index;
    bool rebuildTrayMenu;
    friend void PrintTo(const CatalogueChangeCase& c, std::ostream* os) { *os << c.name; }
};

class CatalogueChange : public ::testing::TestWithParam<CatalogueChangeCase> {};
TEST_P(CatalogueChange, TheActiveListKeepsItsFileAndTheMenuFollows) {
    AppState state;
    state.catalogue.fileNames = GetParam().before;
    state.activeListFile = GetParam().activeListFile;
    state.activeListIndex = findActiveListIndex(state.catalogue, state.activeListFile);
    const TrayMenu shown = buildTrayMenu(state);
    EXPECT_EQ(followCatalogueChange(state, GetParam().after, shown), GetParam().rebuildTrayMenu);
    EXPECT_EQ(state.catalogue.fileNames, GetParam().after);
    EXPECT_EQ(state.activeListIndex, GetParam().index);
    EXPECT_EQ(state.activeListFile, GetParam().activeListFile);  // only leaving the editor changes it
}
INSTANTIATE_TEST_SUITE_P(
    Shell, CatalogueChange,
    ::testing::Values(
        CatalogueChangeCase{"ListCreatedAfterTheActiveOne", {u"Perso.dat"}, u"Perso.dat",
                            {u"Perso.dat", u"Neuve.dat"}, 0, true},
        CatalogueChangeCase{"EarlierListDeleted", {u"Autre.dat", u"Perso.dat"}, u"Perso.dat", {u"Perso.dat"}, 0, true},
        CatalogueChangeCase{"ActiveListDeleted", {u"Autre.dat", u"Perso.dat"}, u"Perso.dat", {u"Autre.dat"}, 1, true},
        CatalogueChangeCase{"OnlyListDeleted", {u"Perso.dat"}, u"Perso.dat", {}, 0, true},
        CatalogueChangeCase{"FirstListCreatedWithoutActiveList", {}, u"", {u"Neuve.dat"}, -1, true},
        // The menu already shows these lists (a list created and deleted
        // again): it is left as it is.
        CatalogueChangeCase{"SameListsAsTheMenu", {u"Perso.dat", u"Autre.dat"}, u"Autre.dat",
                            {u"Perso.dat", u"Autre.dat"}, 1, false}),
    testing::CaseName{});

// ---- Leaving the editor, as the shell follows it

// The real editor model on real files, and the shell's state around it,
// carried through as the window layer does: the model's outcome, the
// shell's decision, the tray menu rebuilt when it says so.
class LeavingTheEditor : public ::testing::Test {
protected:
    LeavingTheEditor() : cwd_(dir_.path()) { fs::create_directory(dir_.path() / "Listes"); }

    void writeList(const char* fileName, const std::string& bytes) {
        testing::writeBytes(dir_.path() / "Listes" / fileName, bytes);
    }
    // Start-up with `catalogue` and the active list shown in the editor.
    void start(std::vector<std::u16string> catalogue, std::u16string activeListFile, bool expansionSwitch = true) {
        state_.catalogue.fileNames = std::move(catalogue);
        state_.activeListFile = std::move(activeListFile);
        state_.activeListIndex = findActiveListIndex(state_.catalogue, state_.activeListFile);
        state_.writingAidEnabled = 1;
        state_.expansionSwitch = expansionSwitch;
        state_.gate.setExpansionActive(expansionSwitch);
        model_.emplace(state_.catalogue.fileNames);
        if (!state_.activeListFile.empty()) model_->showChosenList(files_, state_.activeListFile);
        menu_ = buildTrayMenu(state_);
    }
    // Tray item "Editer les Abréviations".
    void openFromTray() {
        ASSERT_EQ(runTrayCommand(state_, menu_, files_, tray_command::Editor, false).action, TrayAction::OpenEditor);
        model_->openEditor(files_);
    }
    // "Quitter" and `answer` to its question, if there is one.
    EditorLeftEffects leave(Answer answer) {
        LeaveOutcome outcome = model_->leaveEditor(files_, answer);
        EditorLeftEffects effects = followEditorLeave(state_, files_, outcome);
        if (effects.rebuildTrayMenu) menu_ = buildTrayMenu(state_);
        return effects;
    }
    bool itemSixTicked() const {
        for (const TrayMenuItem& item : menu_.items) {
            if (item.id == tray_command::Expansion) return item.checked;
        }
        ADD_FAILURE() << "no item 6";
        return false;
    }
    fs::path preferences() const { return dir_.path() / "Preferences.txt"; }

    testing::TempDir dir_;
    testing::CurrentDirectory cwd_;
    PosixFileStore files_;
    AppState state_;
    TrayMenu menu_;
    std::optional<EditorModel> model_;
};

enum class Opened { FromTray, ByGuidance };

struct ExpansionCase {
    const char* name;
    bool switchOn;  // "Activer les Abréviations" ticked when the editor opens
    Opened opened;
    std::vector<Answer> answers;  // to the question of each "Quitter"
    bool expansionAfter;
    bool itemSixTickedAfter;
    friend void PrintTo(const ExpansionCase& c, std::ostream* os) { *os << c.name; }
};

class ExpansionAfterLeaving : public LeavingTheEditor, public ::testing::WithParamInterface<ExpansionCase> {};
TEST_P(ExpansionAfterLeaving, ComesBackOnlyWhenItemSixIsTicked) {
    // An empty list: every "Quitter" asks first.
    writeList("Vide.dat", kMark);
    start({u"Vide.dat"}, u"Vide.dat", GetParam().switchOn);
    if (GetParam().opened == Opened::FromTray) openFromTray();
    for (const Answer answer : GetParam().answers) leave(answer);
    EXPECT_EQ(state_.gate.expansionActive(), GetParam().expansionAfter);
    EXPECT_EQ(itemSixTicked(), GetParam().itemSixTickedAfter);
    EXPECT_EQ(state_.expansionSwitch, GetParam().itemSixTickedAfter);
}
INSTANTIATE_TEST_SUITE_P(
    Shell, ExpansionAfterLeaving,
    ::testing::Values(
        ExpansionCase{"FromTrayYes", true, Opened::FromTray, {Answer::Yes}, true, true},
        ExpansionCase{"FromTrayWithTheSwitchOffYes", false, Opened::FromTray, {Answer::Yes}, false, false},
        // The rebuild after No draws item 6 from the suspended expansion.
        ExpansionCase{"FromTrayNoKeepsItSuspended", true, Opened::FromTray, {Answer::No}, false, false},
        ExpansionCase{"FromTrayNoThenYesLeavesItOff", true, Opened::FromTray, {Answer::No, Answer::Yes}, false,
                      false},
        ExpansionCase{"FromTrayNoTwiceThenYes", true, Opened::FromTray, {Answer::No, Answer::No, Answer::Yes}, false,
                      false},
        // The guidance's editor never suspended it: No changes nothing.
        ExpansionCase{"ByGuidanceNoThenYes", true, Opened::ByGuidance, {Answer::No, Answer::Yes}, true, true},
        ExpansionCase{"ByGuidanceWithTheSwitchOff", false, Opened::ByGuidance, {Answer::No, Answer::Yes}, false,
                      false}),
    testing::CaseName{});

TEST_F(LeavingTheEditor, AfterNoThenYesItemSixBringsTheExpansionBack) {
    writeList("Vide.dat", kMark);
    start({u"Vide.dat"}, u"Vide.dat");
    openFromTray();
    leave(Answer::No);
    leave(Answer::Yes);
    ASSERT_FALSE(state_.gate.expansionActive());
    runTrayCommand(state_, menu_, files_, tray_command::Expansion, false);
    EXPECT_TRUE(state_.expansionSwitch);
    EXPECT_TRUE(state_.gate.expansionActive());
    EXPECT_TRUE(itemSixTicked());
}

TEST_F(LeavingTheEditor, AFailedSaveIsNotTheUsersNoAndKeepsTheSwitch) {
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\n");
    start({u"Perso.dat"}, u"Perso.dat");
    openFromTray();
    model_->keyFieldEdited(u"neuf");
    model_->replacementFieldEdited(u"nouveau");
    ASSERT_EQ(model_->addAbbreviation().message, std::nullopt);
    {
        testing::DiskFull full;
        leave(Answer::Yes);
    }
    EXPECT_FALSE(state_.gate.expansionActive());  // the editor is still open
    EXPECT_TRUE(state_.expansionSwitch);
    EXPECT_TRUE(itemSixTicked());
    EXPECT_FALSE(fs::exists(preferences()));
    // Once the rows can be saved, leaving brings the expansion back.
    leave(Answer::Yes);
    EXPECT_TRUE(state_.gate.expansionActive());
    EXPECT_EQ(testing::readBytes(preferences()), kMark + "Perso.dat\r\n1");
}

struct LeaveCase {
    const char* name;
    std::vector<std::u16string> catalogue;
    std::u16string shown;  // the list the editor shows, the active one at start
    std::optional<std::size_t> switchTo;  // the selector's choice before "Quitter"
    Answer answer;
    std::int32_t writingAidEnabled;
    std::optional<std::string> preferences;  // the file's bytes after, or none written
    std::u16string activeListFile;
    std::int32_t activeListIndex;
    std::size_t tableSize;  // of the published table
    bool aidRows;           // the strip is given rows
    friend void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }
};

class LeaveFollowed : public LeavingTheEditor, public ::testing::WithParamInterface<LeaveCase> {};
TEST_P(LeaveFollowed, TheShellWritesThePreferencesAndActivatesTheList) {
    const LeaveCase& c = GetParam();
    writeList("Perso.dat", kMark + "bjr\tBonjour\r\ncdt\tCordialement\r\n");
    writeList("Travail.dat", kMark + "rdv\trendez-vous\r\n");
    start(c.catalogue, c.shown);
    state_.writingAidEnabled = c.writingAidEnabled;
    if (!c.shown.empty()) {
        ActiveList active;
        ASSERT_TRUE(loadActiveList(files_, c.shown, active).succeeded);
        state_.tables.publish(std::move(active.table));
    }
    openFromTray();
    if (c.switchTo) model_->switchEditedList(files_, c.switchTo);
    const EditorLeftEffects effects = leave(c.answer);
    if (c.preferences) {
        EXPECT_EQ(testing::readBytes(preferences()), *c.preferences);
    } else {
        EXPECT_FALSE(fs::exists(preferences()));
    }
    EXPECT_EQ(state_.activeListFile, c.activeListFile);
    EXPECT_EQ(state_.activeListIndex, c.activeListIndex);
    const auto table = state_.tables.snapshot();
    EXPECT_EQ(table ? table->size() : 0u, c.tableSize);
    EXPECT_EQ(effects.aidRows.has_value(), c.aidRows);
    EXPECT_TRUE(effects.rebuildTrayMenu);  // whatever the answer
}
INSTANTIATE_TEST_SUITE_P(
    Shell, LeaveFollowed,
    ::testing::Values(
        LeaveCase{"TheShownListBecomesActive", {u"Perso.dat", u"Travail.dat"}, u"Perso.dat", std::nullopt,
                  Answer::Yes, 1, kMark + "Perso.dat\r\n1", u"Perso.dat", 0, 2, true},
        LeaveCase{"AnotherListChosenInTheEditor", {u"Perso.dat", u"Travail.dat"}, u"Perso.dat", 1, Answer::Yes, 7,
                  kMark + "Travail.dat\r\n7", u"Travail.dat", 1, 1, true},
        // The previous active list's table stays; with none active it expands nothing.
        LeaveCase{"NoListSelected", {u"Perso.dat", u"Travail.dat"}, u"", std::nullopt, Answer::Yes, 0,
                  kMark + "\r\n0", u"", -1, 0, false},
        LeaveCase{"NoChangesNothing", {u"Perso.dat", u"Travail.dat"}, u"", std::nullopt, Answer::No, 1,
                  std::nullopt, u"", -1, 0, false}),
    testing::CaseName{});

// ---- The tray, while the editor is up

struct TrayMouseCase {
    const char* name;
    TrayMouse mouse;
    bool editorBusy;
    bool opens;
    friend void PrintTo(const TrayMouseCase& c, std::ostream* os) { *os << c.name; }
};

class TrayMenuOpening : public ::testing::TestWithParam<TrayMouseCase> {};
TEST_P(TrayMenuOpening, OnlyARightPressAndNeverDuringAQuestion) {
    EXPECT_EQ(trayMenuOpens(GetParam().mouse, GetParam().editorBusy), GetParam().opens);
}
INSTANTIATE_TEST_SUITE_P(
    Shell, TrayMenuOpening,
    ::testing::Values(TrayMouseCase{"RightPress", TrayMouse::RightPress, false, true},
                      TrayMouseCase{"RightPressDuringAQuestion", TrayMouse::RightPress, true, false},
                      TrayMouseCase{"LeftPress", TrayMouse::LeftPress, false, false},
                      TrayMouseCase{"LeftDoubleClick", TrayMouse::LeftDoubleClick, false, false},
                      TrayMouseCase{"RightDoubleClick", TrayMouse::RightDoubleClick, false, false},
                      TrayMouseCase{"RightDoubleClickDuringAQuestion", TrayMouse::RightDoubleClick, true, false},
                      TrayMouseCase{"MoveOrRelease", TrayMouse::Other, false, false}),
    testing::CaseName{});

// The editor as the tray sees it: what it was asked, and its answer to
// saving before the program quits.
class FakeEditor final : public EditorEntry {
public:
    explicit FakeEditor(const AppState& state) : state_(state) {}
    void showList(std::u16string_view fileName) override {
        shown.emplace_back(fileName);
        const auto table = state_.tables.snapshot();
        tableSizeWhenShown = table ? table->size() : 0;
    }
    void showForGuidance() override {}
    void openFromTray() override {}
    bool saveBeforeQuit() override {
        ++savesBeforeQuit;
        return keepsRows;
    }
    void saveForSessionEnd() noexcept override {}
    bool busy() const override { return false; }

    bool keepsRows = true;
    int savesBeforeQuit = 0;
    std::vector<std::u16string> shown;
    std::size_t tableSizeWhenShown = 0;

private:
    const AppState& state_;
};

struct TrayChoiceCase {
    const char* name;
    std::uint32_t id;
    bool editorKeepsRows;
    TrayAction action;
    bool quitRequested;
    bool preferencesWritten;
    int savesBeforeQuit;
    friend void PrintTo(const TrayChoiceCase& c, std::ostream* os) { *os << c.name; }
};

class TrayWithEditor : public ::testing::Test {
protected:
    TrayWithEditor() : cwd_(dir_.path()), editor_(state_) {
        fs::create_directory(dir_.path() / "Listes");
        testing::writeBytes(dir_.path() / "Listes" / "Perso.dat", kMark + "bjr\tBonjour\r\n");
        state_.catalogue.fileNames = {u"Perso.dat"};
        menu_ = buildTrayMenu(state_);
    }
    testing::TempDir dir_;
    testing::CurrentDirectory cwd_;
    PosixFileStore files_;
    AppState state_;
    TrayMenu menu_;
    FakeEditor editor_;
};

class TrayChoice : public TrayWithEditor, public ::testing::WithParamInterface<TrayChoiceCase> {};
TEST_P(TrayChoice, QuitWaitsForTheEditorsRows) {
    const TrayChoiceCase& c = GetParam();
    editor_.keepsRows = c.editorKeepsRows;
    const TrayCommandResult result = chooseTrayCommand(state_, menu_, files_, editor_, c.id, false);
    EXPECT_EQ(result.action, c.action);
    EXPECT_EQ(state_.quitRequested, c.quitRequested);
    EXPECT_EQ(fs::exists(dir_.path() / "Preferences.txt"), c.preferencesWritten);
    EXPECT_EQ(editor_.savesBeforeQuit, c.savesBeforeQuit);
    // A refused "Quitter" leaves the expansion running.
    if (!c.quitRequested && c.id == tray_command::Quit) {
        EXPECT_TRUE(state_.gate.expansionActive());
    }
}
INSTANTIATE_TEST_SUITE_P(
    Shell, TrayChoice,
    ::testing::Values(
        TrayChoiceCase{"QuitWithTheRowsKept", tray_command::Quit, true, TrayAction::Quit, true, true, 1},
        TrayChoiceCase{"QuitRefusedByTheEditor", tray_command::Quit, false, TrayAction::None, false, false, 1},
        TrayChoiceCase{"AboutAsksNothingOfTheEditor", tray_command::About, false, TrayAction::ShowAbout, false, false,
                       0},
        TrayChoiceCase{"EditorAsksNothingOfIt", tray_command::Editor, false, TrayAction::OpenEditor, false, false, 0},
        TrayChoiceCase{"AListAsksNothingOfIt", tray_command::FirstList, false, TrayAction::ListSelected, false, true,
                       0}),
    testing::CaseName{});

TEST_F(TrayWithEditor, AListChosenIsShownInTheEditorBeforeItExpands) {
    const TrayCommandResult result = chooseTrayCommand(state_, menu_, files_, editor_, tray_command::FirstList, false);
    EXPECT_EQ(result.action, TrayAction::ListSelected);
    EXPECT_EQ(editor_.shown, (std::vector<std::u16string>{u"Perso.dat"}));
    EXPECT_EQ(editor_.tableSizeWhenShown, 0u);
    EXPECT_EQ(state_.tables.snapshot()->size(), 1u);
}

class FakeClock final : public ShutdownClock {
public:
    std::chrono::steady_clock::time_point now() override { return now_; }
    void sleepFor(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        now_ += duration;
    }
    std::vector<std::chrono::milliseconds> sleeps;

private:
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

TEST(ShutdownWait, ReturnsAtOnceWhenNothingTypes) {
    FakeClock clock;
    EXPECT_TRUE(waitWhileBusy([] { return false; }, clock));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(ShutdownWait, WaitsForTheLastExpansionToFinish) {
    FakeClock clock;
    int polls = 0;
    EXPECT_TRUE(waitWhileBusy([&] { return ++polls <= 3; }, clock, 15000ms, 10ms));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{10ms, 10ms, 10ms}));
}

TEST(ShutdownWait, FollowsTheGatesTypingCount) {
    // Two expansions type; each sleep of the shell lets one of them finish.
    ExpansionGate gate;
    gate.beginTyping();
    gate.beginTyping();
    class FinishingClock final : public ShutdownClock {
    public:
        explicit FinishingClock(ExpansionGate& typing) : gate_(typing) {}
        std::chrono::steady_clock::time_point now() override { return now_; }
        void sleepFor(std::chrono::milliseconds duration) override {
            now_ += duration;
            gate_.endTyping();
        }

    private:
        ExpansionGate& gate_;
        std::chrono::steady_clock::time_point now_{};
    } clock(gate);
    EXPECT_TRUE(waitWhileBusy([&] { return gate.typing(); }, clock));
    EXPECT_FALSE(gate.typing());
}

TEST(ShutdownWait, GivesUpAtTheBoundWithoutOvershooting) {
    FakeClock clock;
    const auto start = clock.now();
    EXPECT_FALSE(waitWhileBusy([] { return true; }, clock, 25ms, 10ms));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{10ms, 10ms, 5ms}));
    EXPECT_EQ(clock.now() - start, 25ms);
}

TEST(ShutdownWait, TheDefaultBoundIsAboutFifteenSeconds) {
    FakeClock clock;
    const auto start = clock.now();
    EXPECT_FALSE(waitWhileBusy([] { return true; }, clock));
    EXPECT_EQ(clock.now() - start, 15000ms);
}

}  // namespace
}  // namespace calmirande
