#include "app/shell_decisions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/startup.h"
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
