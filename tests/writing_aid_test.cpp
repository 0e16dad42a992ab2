#include "engine/writing_aid.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "test_support.h"

namespace calmirande {
namespace {

AbbreviationList rowsOf(std::vector<std::u16string> keys) {
    AbbreviationList rows;
    for (std::u16string& key : keys) rows.push_back({std::move(key), u"texte"});
    return rows;
}

// --- Which rows a word selects -------------------------------------------------

struct MatchCase {
    const char* name;
    std::vector<std::u16string> keys;
    std::u16string word;
    std::optional<AidMatch> expected;
    friend void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }
};

class MatchWritingAid : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchWritingAid, FindsFirstLastAndExactRows) {
    const MatchCase& c = GetParam();
    const std::optional<AidMatch> match = matchWritingAid(WritingAidModel(rowsOf(c.keys)), c.word);
    ASSERT_EQ(match.has_value(), c.expected.has_value());
    if (match) {
        EXPECT_EQ(match->first, c.expected->first);
        EXPECT_EQ(match->last, c.expected->last);
        EXPECT_EQ(match->exact, c.expected->exact);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, MatchWritingAid,
    ::testing::Values(
        MatchCase{"KeyAndLongerKey", {u"am", u"amitié"}, u"am", AidMatch{0, 1, 0}},
        MatchCase{"OnlyTheLongerKeyContinues", {u"am", u"amitié"}, u"ami", AidMatch{1, 1, std::nullopt}},
        MatchCase{"LetterNeitherContinues", {u"am", u"amitié"}, u"amz", std::nullopt},
        MatchCase{"PrefixOfSeveralEqualToNone", {u"bon", u"bonjour", u"bonsoir"}, u"bo", AidMatch{0, 2, std::nullopt}},
        MatchCase{"ExactRowAfterFirstMatch", {u"amical", u"am", u"amour"}, u"am", AidMatch{0, 2, 1}},
        MatchCase{"CapitalsInTheList", {u"xa", u"AM", u"Amour"}, u"am", AidMatch{1, 2, 1}},
        MatchCase{"WordWithCapitalsEqualsKey", {u"am", u"amour"}, u"AM", AidMatch{0, 1, 0}},
        MatchCase{"AccentedCapitalsBothSides", {u"ÉTÉ", u"étoile", u"eta"}, u"Été", AidMatch{0, 0, 0}},
        MatchCase{"AccentedPrefix", {u"eta", u"ÉTÉ", u"étoile"}, u"ét", AidMatch{1, 2, std::nullopt}},
        MatchCase{"AccentIsNotCase", {u"ete", u"eté"}, u"été", std::nullopt},
        MatchCase{"DuplicatesKept", {u"am", u"am", u"b"}, u"am", AidMatch{0, 1, 0}},
        MatchCase{"NotInKeyOrderSpansTheGap", {u"am", u"bon", u"zz", u"ami"}, u"am", AidMatch{0, 3, 0}},
        MatchCase{"ExactAfterLaterPrefix", {u"amour", u"xx", u"am"}, u"am", AidMatch{0, 2, 2}},
        MatchCase{"EmptyList", {}, u"am", std::nullopt},
        MatchCase{"KeyShorterThanWord", {u"a", u"b"}, u"ab", std::nullopt},
        MatchCase{"EmptyKeyNeverMatches", {u"", u"ab"}, u"ab", AidMatch{1, 1, 1}},
        MatchCase{"OneUnitWordIsStillAPrefix", {u"b", u"am", u"ami"}, u"a", AidMatch{1, 2, std::nullopt}},
        // Words and keys around four units, where the packed head ends.
        MatchCase{"FourUnitWord", {u"abc", u"abcd", u"abcde"}, u"abcd", AidMatch{1, 2, 1}},
        MatchCase{"FiveUnitWord", {u"abcd", u"abcdf", u"abcde", u"abcdef"}, u"abcde", AidMatch{2, 3, 2}},
        MatchCase{"DifferenceAfterFourUnits", {u"abcdxyz", u"abcdxyw"}, u"abcdxyw", AidMatch{1, 1, 1}},
        MatchCase{"LongWordLongerThanKeys", {u"abcdefg"}, u"abcdefgh", std::nullopt},
        MatchCase{"ParameterMarkerCharacters", {u"p*", u"p*x"}, u"p*", AidMatch{0, 1, 0}},
        MatchCase{"SurrogatePairsCompareByUnit", {u"a\U0001F600", u"a\U0001F601"}, u"a\U0001F601", AidMatch{1, 1, 1}}),
    testing::CaseName());

// --- Height and placement ------------------------------------------------------

struct HeightCase {
    const char* name;
    std::size_t count;
    int rowHeight;
    int expected;
};

class WritingAidHeight : public ::testing::TestWithParam<HeightCase> {};

TEST_P(WritingAidHeight, CoversTheRowsAndTheFrame) {
    EXPECT_EQ(writingAidHeight(GetParam().count, GetParam().rowHeight), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Engine, WritingAidHeight,
                         ::testing::Values(HeightCase{"OneRow", 1, 17, 21}, HeightCase{"TwoRows", 2, 17, 38},
                                           HeightCase{"WholeList", 2000, 14, 28004},
                                           HeightCase{"UnmeasuredRows", 3, 0, 4}),
                         testing::CaseName());

struct PlacementCase {
    const char* name;
    std::vector<int> widths;
    std::optional<ScreenRect> foreground;
    int expected;
};

class WritingAidX : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(WritingAidX, CentresOnTheChosenDisplay) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(writingAidX(c.widths, c.foreground), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, WritingAidX,
    ::testing::Values(
        PlacementCase{"OneDisplay", {1920}, ScreenRect{2000, 0, 3000, 500}, 560},
        PlacementCase{"DisplayNarrowerThanStrip", {640}, ScreenRect{0, 0, 100, 100}, -80},
        PlacementCase{"TruncatesTowardZeroBelowWidth", {797}, ScreenRect{0, 0, 10, 10}, -1},
        PlacementCase{"TruncatesTowardZeroOddWidth", {799}, std::nullopt, 0},
        PlacementCase{"TwoDisplaysWindowOnPrimary", {1920, 1280}, ScreenRect{100, 0, 900, 600}, 560},
        PlacementCase{"TwoDisplaysWindowOnSecond", {1920, 1280}, ScreenRect{2000, 0, 3000, 600}, 1920 + 240},
        PlacementCase{"TwoDisplaysCentreExactlyAtPrimaryWidth", {1920, 1280}, ScreenRect{1820, 0, 2020, 600}, 560},
        PlacementCase{"TwoDisplaysCentreOnePixelRight", {1920, 1280}, ScreenRect{1821, 0, 2021, 600}, 2160},
        // left + (right - left) / 2 with an odd width: 1919 + 3 / 2 = 1920.
        PlacementCase{"TwoDisplaysCentreTruncated", {1920, 1280}, ScreenRect{1919, 0, 1922, 10}, 560},
        PlacementCase{"TwoDisplaysSecondNarrow", {1920, 799}, ScreenRect{2000, 0, 2400, 600}, 1920},
        PlacementCase{"NegativeCoordinatesStayOnPrimary", {1920, 1280}, ScreenRect{-1201, -50, -100, 700}, 560},
        PlacementCase{"WindowAcrossBothLeftOfCentre", {1920, 1280}, ScreenRect{-3000, 0, 4000, 10}, 560},
        PlacementCase{"ThreeDisplaysAlwaysPrimary", {1920, 1280, 1024}, ScreenRect{2500, 0, 3000, 600}, 560},
        PlacementCase{"TwoDisplaysNoForegroundRectangle", {1920, 1280}, std::nullopt, 560},
        PlacementCase{"NoDisplayKnown", {}, ScreenRect{0, 0, 10, 10}, 0}),
    testing::CaseName());

TEST(DesktopDisplayWidths, PutsThePrimaryFirstAndSkipsDetachedDevices) {
    const std::vector<DisplayDevice> devices{
        {1024, true, false}, {0, false, false}, {1920, true, true}, {1280, true, false}, {800, false, false}};
    EXPECT_EQ(desktopDisplayWidths(devices), (std::vector<int>{1920, 1024, 1280}));
    EXPECT_TRUE(desktopDisplayWidths({}).empty());
}

// --- One key's effect on the strip ---------------------------------------------

constexpr int kRow = 17;

struct UpdateCase {
    const char* name;
    std::vector<std::u16string> keys;
    std::u16string word;
    bool enabled;
    std::optional<std::size_t> highlighted;
    WritingAidUpdate expected;
    friend void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }
};

class DecideWritingAidUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(DecideWritingAidUpdate, SizesScrollsAndColours) {
    const UpdateCase& c = GetParam();
    const WritingAidUpdate update =
        decideWritingAidUpdate(WritingAidModel(rowsOf(c.keys)), c.word, c.enabled, c.highlighted, kRow);
    EXPECT_EQ(update.hide, c.expected.hide);
    if (update.hide) return;  // nothing else is applied
    EXPECT_EQ(update.height, c.expected.height);
    EXPECT_EQ(update.show, c.expected.show);
    EXPECT_EQ(update.uncolourRow, c.expected.uncolourRow);
    EXPECT_EQ(update.topRow, c.expected.topRow);
    EXPECT_EQ(update.colourRow, c.expected.colourRow);
    EXPECT_EQ(update.colouring, c.expected.colouring);
}

WritingAidUpdate hidden() { return WritingAidUpdate{}; }
WritingAidUpdate shown(int rows, bool show, std::optional<std::size_t> uncolour, std::size_t top, std::size_t colour,
                       AidColouring colouring) {
    return WritingAidUpdate{false, rows * kRow + 4, show, uncolour, top, colour, colouring};
}

const std::vector<std::u16string> kAm{u"zz", u"am", u"amitié", u"bon"};

INSTANTIATE_TEST_SUITE_P(
    Engine, DecideWritingAidUpdate,
    ::testing::Values(
        UpdateCase{"SingleLetterHides", kAm, u"a", true, std::nullopt, hidden()},
        UpdateCase{"EmptyWordHides", kAm, u"", true, 1, hidden()},
        UpdateCase{"KeyShowsTwoRowsInRed", kAm, u"am", true, std::nullopt,
                   shown(2, true, std::nullopt, 1, 1, AidColouring::Exact)},
        UpdateCase{"LetterNeitherContinuesHides", kAm, u"amz", true, 1, hidden()},
        UpdateCase{"PrefixOfSeveralIsBlue", {u"bon", u"bonjour", u"bonsoir"}, u"bo", true, std::nullopt,
                   shown(3, true, std::nullopt, 0, 0, AidColouring::Prefix)},
        UpdateCase{"SameWordAgainStaysRed", kAm, u"am", true, 1, shown(2, true, 1, 1, 1, AidColouring::Exact)},
        UpdateCase{"PreviousRowLosesItsColours", kAm, u"ami", true, 1, shown(1, true, 1, 2, 2, AidColouring::Prefix)},
        UpdateCase{"SettingOffStillSizesScrollsAndColours", kAm, u"AM", false, 3,
                   shown(2, false, 3, 1, 1, AidColouring::Exact)},
        UpdateCase{"NotInKeyOrderCoversTheSpan", {u"ab", u"bon", u"zz", u"abri"}, u"ab", true, std::nullopt,
                   shown(4, true, std::nullopt, 0, 0, AidColouring::Exact)},
        UpdateCase{"EmptyListHides", {}, u"am", true, std::nullopt, hidden()},
        UpdateCase{"OneUnitWordHidesEvenWithMatches", {u"a", u"ab"}, u"a", true, std::nullopt, hidden()}),
    testing::CaseName());

TEST(DecideWritingAidUpdate, TypingALetterAtATimeFollowsTheWord) {
    // The hook's calls while "am", "é" are typed and then Backspace: each update
    // feeds the next with the row it coloured.
    const WritingAidModel model(rowsOf({u"alors", u"am", u"amé", u"améliorer", u"bon"}));
    std::optional<std::size_t> highlighted;
    std::vector<WritingAidUpdate> seen;
    for (const std::u16string_view word : {u"a", u"am", u"amé", u"amél", u"amé", u"amx"}) {
        const WritingAidUpdate update = decideWritingAidUpdate(model, word, true, highlighted, kRow);
        if (!update.hide) highlighted = update.colourRow;
        seen.push_back(update);
    }
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_TRUE(seen[0].hide);
    EXPECT_EQ(seen[1], shown(3, true, std::nullopt, 1, 1, AidColouring::Exact));
    EXPECT_EQ(seen[2], shown(2, true, 1, 2, 2, AidColouring::Exact));
    EXPECT_EQ(seen[3], shown(1, true, 2, 3, 3, AidColouring::Prefix));
    EXPECT_EQ(seen[4], shown(2, true, 3, 2, 2, AidColouring::Exact));
    EXPECT_TRUE(seen[5].hide);
    EXPECT_EQ(highlighted, 2u);  // a hide leaves the last colours in place
}

// The hook asks only whether a word selects rows, and records a hide when it
// does not: that must be exactly when the full update would hide.
TEST(WritingAidSelects, AgreesWithTheUpdatesHide) {
    const WritingAidModel model(rowsOf({u"alors", u"am", u"amé", u"améliorer", u"bon", u"Zoo"}));
    const WritingAidModel empty(rowsOf({}));
    for (const std::u16string_view word :
         {u"", u"a", u"am", u"AM", u"Amé", u"amx", u"b", u"bo", u"bonjour", u"zo", u"ZOO", u"zz", u"é"}) {
        for (const bool enabled : {true, false}) {
            EXPECT_EQ(writingAidSelects(model, word), !decideWritingAidUpdate(model, word, enabled, 1, kRow).hide)
                << std::string(word.begin(), word.end()) << " enabled " << enabled;
            EXPECT_FALSE(writingAidSelects(empty, word));
        }
    }
}

struct ScrollCase {
    const char* name;
    std::size_t target;
    int top;
    int expected;
};

class WritingAidScrollBy : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(WritingAidScrollBy, BringsTheFirstMatchToTheTop) {
    EXPECT_EQ(writingAidScrollBy(GetParam().target, GetParam().top, kRow), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Engine, WritingAidScrollBy,
                         ::testing::Values(ScrollCase{"Down", 10, 3, 7 * kRow}, ScrollCase{"Up", 2, 1999, -1997 * kRow},
                                           ScrollCase{"AlreadyOnTop", 5, 5, 0}),
                         testing::CaseName());

TEST(WritingAidRows, KeepStoredTextSoLineBreaksShowAsMarkers) {
    const ActiveList list = parseActiveList("\xEF\xBB\xBF" "bjr\tBonjour<R>Paul\r\nam\t\xC3\xA0<T>mon avis\r\n");
    ASSERT_EQ(list.aidRows.size(), 2u);
    EXPECT_EQ(list.aidRows[0].storedText, u"Bonjour<R>Paul");
    EXPECT_EQ(list.aidRows[1].storedText, u"à<T>mon avis");
    const WritingAidModel model(list.aidRows);
    EXPECT_EQ(model.rowCount(), 2u);
    EXPECT_EQ(model.lowerKey(0), u"bjr");
}

}  // namespace
}  // namespace calmirande
