#include "editor/field_guards.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "test_support.h"

namespace calmirande {
namespace {

const std::u16string_view kSpaces = u"Les espaces sont interdits !";
const std::u16string_view kFull = u"La limite du nombre de caractères est atteinte !";

struct CharacterCase {
    const char* name;
    char16_t character;
    std::size_t fieldLength;
    GuardDecision decision;
    friend void PrintTo(const CharacterCase& c, std::ostream* os) { *os << c.name; }
};

class KeyFieldGuard : public ::testing::TestWithParam<CharacterCase> {};
TEST_P(KeyFieldGuard, PassesOrRefusesTheCharacter) {
    EXPECT_EQ(guardKeyFieldCharacter(GetParam().character, GetParam().fieldLength), GetParam().decision);
}
INSTANTIATE_TEST_SUITE_P(
    Editor, KeyFieldGuard,
    ::testing::Values(CharacterCase{"LetterInEmptyField", u'a', 0, {true, std::nullopt}},
                      CharacterCase{"TwentiethCharacter", u'a', 19, {true, std::nullopt}},
                      CharacterCase{"TwentyFirstCharacter", u'a', 20, {false, kFull}},
                      CharacterCase{"AccentedLetterInFullField", u'é', 20, {false, kFull}},
                      CharacterCase{"SpaceInEmptyField", u' ', 0, {false, kSpaces}},
                      CharacterCase{"SpaceInFullFieldGivesTheSpaceMessage", u' ', 20, {false, kSpaces}},
                      CharacterCase{"BackspaceInFullField", u'\b', 20, {true, std::nullopt}},
                      CharacterCase{"BackspaceInLongPickedKey", u'\b', 25, {true, std::nullopt}},
                      CharacterCase{"CtrlCInFullField", u'\u0003', 20, {false, kFull}},
                      CharacterCase{"CtrlCBelowTheLimit", u'\u0003', 5, {true, std::nullopt}},
                      CharacterCase{"CtrlVInFullField", u'\u0016', 20, {false, kFull}},
                      CharacterCase{"LetterAfterLongPickedKey", u'x', 25, {false, kFull}},
                      CharacterCase{"NonBreakingSpaceIsNoSpace", u'\u00A0', 3, {true, std::nullopt}}),
    testing::CaseName{});

struct KeyDownCase {
    const char* name;
    std::uint16_t virtualKey;
    bool shift;
    bool control;
    bool passOn;
    friend void PrintTo(const KeyDownCase& c, std::ostream* os) { *os << c.name; }
};

class KeyFieldKeyDown : public ::testing::TestWithParam<KeyDownCase> {};
TEST_P(KeyFieldKeyDown, SwallowsOnlyShiftInsertSilently) {
    const GuardDecision decision =
        guardKeyFieldKeyDown(GetParam().virtualKey, GetParam().shift, GetParam().control);
    EXPECT_EQ(decision, (GuardDecision{GetParam().passOn, std::nullopt}));
}
INSTANTIATE_TEST_SUITE_P(Editor, KeyFieldKeyDown,
                         ::testing::Values(KeyDownCase{"ShiftInsertPastes", 0x2D, true, false, false},
                                           KeyDownCase{"CtrlInsertCopies", 0x2D, false, true, true},
                                           KeyDownCase{"PlainInsert", 0x2D, false, false, true},
                                           KeyDownCase{"CtrlShiftInsert", 0x2D, true, true, true},
                                           KeyDownCase{"ShiftDeleteCuts", 0x2E, true, false, true},
                                           KeyDownCase{"CtrlVEndsInWmPaste", 0x56, false, true, true},
                                           KeyDownCase{"ShiftLetter", 0x41, true, false, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(KeyFieldGuard, SwallowsPasteAndContextMenuWithoutMessage) {
    EXPECT_EQ(guardKeyFieldPaste(), (GuardDecision{false, std::nullopt}));
    EXPECT_EQ(guardKeyFieldContextMenu(), (GuardDecision{false, std::nullopt}));
}

struct SearchCase {
    const char* name;
    std::u16string keyField;
    std::u16string replacementField;
    std::optional<std::size_t> found;
    friend void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }
};

const AbbreviationList kRows = {
    {u"ab", u"Bonjour<R>Paul"}, {u"abc", u"bonne journée"}, {u"bcd", u"À bientôt<T>Marie"}, {u"été", u"Été<R>"},
    {u"bon", u"BONJOUR à tous"}};

class KeySearch : public ::testing::TestWithParam<SearchCase> {};
TEST_P(KeySearch, SelectsTheFirstRowWhoseKeyBeginsWithTheText) {
    EXPECT_EQ(searchByKey(kRows, GetParam().keyField), GetParam().found);
}
INSTANTIATE_TEST_SUITE_P(Editor, KeySearch,
                         ::testing::Values(SearchCase{"A", u"a", u"", 0}, SearchCase{"Ab", u"ab", u"", 0},
                                           SearchCase{"Abc", u"abc", u"", 1}, SearchCase{"Abd", u"abd", u"", {}},
                                           SearchCase{"Empty", u"", u"", {}}, SearchCase{"Capitals", u"AB", u"", 0},
                                           SearchCase{"AccentedCapital", u"ÉT", u"", 3},
                                           SearchCase{"LongerThanEveryKey", u"abcd", u"", {}},
                                           SearchCase{"B", u"b", u"", 2}),
                         testing::CaseName{});

class TextSearch : public ::testing::TestWithParam<SearchCase> {};
TEST_P(TextSearch, SelectsTheFirstRowWhoseStoredTextBeginsWithTheText) {
    EXPECT_EQ(searchByText(kRows, GetParam().keyField, GetParam().replacementField), GetParam().found);
}
INSTANTIATE_TEST_SUITE_P(
    Editor, TextSearch,
    ::testing::Values(SearchCase{"AnyCase", u"", u"Bon", 0}, SearchCase{"Capitals", u"", u"BONNE", 1},
                      SearchCase{"TypedLineBreakMatchesR", u"", u"Bonjour\r\nP", 0},
                      SearchCase{"TypedLineBreakAlone", u"", u"Été\r\n", 3},
                      SearchCase{"TypedTabMatchesT", u"", u"à bientôt\tm", 2},
                      SearchCase{"MarkersTypedAsTextMatchToo", u"", u"bonjour<r>", 0},
                      SearchCase{"FirstMatchNotTheBest", u"", u"bonjour", 0},
                      SearchCase{"SpacesAreNotTrimmed", u"", u" Bonjour", {}},
                      SearchCase{"NoMatch", u"", u"xyz", {}}, SearchCase{"EmptyText", u"", u"", {}},
                      SearchCase{"NotWhileAKeyIsTyped", u"a", u"Bon", {}}),
    testing::CaseName{});

}  // namespace
}  // namespace calmirande
