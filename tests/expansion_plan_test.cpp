#include "engine/expansion_plan.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <initializer_list>
#include <utility>

namespace calmirande {
namespace {

std::shared_ptr<const ExpansionTable> tableOf(std::initializer_list<std::pair<std::u16string, std::u16string>> entries) {
    ExpansionTable::Builder builder;
    for (const auto& [key, text] : entries) builder.set(key, text);
    return std::move(builder).build();
}

const std::u16string kFpol = u"Je vous prie d'agréer, (*1), mes sentiments distingués";

// The plan read back as what it does to the target, checking its shape and
// waits on the way: Backspaces, then characters, then Left arrows or the
// ending key.
struct Delivery {
    std::size_t backspaces = 0;
    std::u16string typed;
    std::size_t lefts = 0;
    std::optional<char16_t> ending;
    friend bool operator==(const Delivery&, const Delivery&) = default;
};

void PrintTo(const Delivery& d, std::ostream* os) {
    *os << "{bs " << d.backspaces << ", typed " << d.typed.size() << " units, lefts " << d.lefts << ", ending "
        << (d.ending ? int(*d.ending) : -1) << "}";
}

// The key-downs the plan may hold, read back as the character they make.
std::optional<char16_t> characterOfKey(std::uint16_t key) {
    switch (key) {
        case VkBack: return u'\b';
        case VkTab: return u'\t';
        case VkReturn: return u'\r';
        case VkSpace: return u' ';
        default: return std::nullopt;
    }
}

Delivery describe(const ExpansionPlan& plan) {
    Delivery d;
    std::size_t i = 0;
    const auto& m = plan.messages;
    for (; i < m.size() && m[i] == PlannedMessage{MessageKind::KeyDown, VkBack, CharacterWaitMs}; ++i) ++d.backspaces;
    for (; i < m.size() && m[i].waitMs == CharacterWaitMs; ++i) {
        // Text is characters, except line breaks, which are Enter key-downs.
        if (m[i].kind == MessageKind::Char) {
            EXPECT_NE(m[i].code, u'\r') << "a line break typed as a character at " << i;
            d.typed += char16_t(m[i].code);
        } else {
            EXPECT_EQ(m[i].code, VkReturn) << "unexpected key-down in the text at " << i;
            d.typed += u'\r';
        }
    }
    for (; i < m.size() && m[i] == PlannedMessage{MessageKind::KeyDown, VkLeft, CaretWaitMs}; ++i) ++d.lefts;
    if (i < m.size() && d.lefts == 0 && m[i].kind == MessageKind::KeyDown && m[i].waitMs == CaretWaitMs) {
        d.ending = characterOfKey(m[i].code);
        ++i;
    }
    EXPECT_EQ(i, m.size()) << "unexpected message at " << i;
    return d;
}

struct PlanCase {
    const char* name;
    std::u16string key;
    std::u16string text;  // decoded, as the table holds it
    std::u16string word;
    std::uint32_t trigger;
    Delivery expected;
    friend void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }
};

class PlanExpansion : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanExpansion, ErasesTypesAndEnds) {
    const PlanCase& c = GetParam();
    const auto table = tableOf({{c.key, c.text}});
    const std::optional<ExpansionPlan> plan = planExpansion(c.word, c.trigger, *table);
    ASSERT_TRUE(plan.has_value());
    EXPECT_EQ(describe(*plan), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, PlanExpansion,
    ::testing::Values(
        PlanCase{"Space", u"am", u"à mon avis", u"am", VkSpace, {3, u"à mon avis", 0, u' '}},
        PlanCase{"Enter", u"am", u"à mon avis", u"am", VkReturn, {3, u"à mon avis", 0, u'\r'}},
        PlanCase{"Tab", u"am", u"à mon avis", u"am", VkTab, {3, u"à mon avis", 0, u'\t'}},
        PlanCase{"Capitals", u"am", u"x", u"AM", VkSpace, {3, u"x", 0, u' '}},
        PlanCase{"MixedCase", u"am", u"x", u"aM", VkSpace, {3, u"x", 0, u' '}},
        PlanCase{"AccentedCapitals", u"été", u"summer", u"ÉTÉ", VkSpace, {4, u"summer", 0, u' '}},
        PlanCase{"TrailingDash", u"anti", u"anti-", u"anti", VkSpace, {5, u"anti", 0, std::nullopt}},
        PlanCase{"TwoTrailingDashes", u"a", u"a--", u"a", VkSpace, {2, u"a-", 0, std::nullopt}},
        PlanCase{"InnerDashesStay", u"a", u"-a-b", u"a", VkSpace, {2, u"-a-b", 0, u' '}},
        PlanCase{"LineBreakAfterDash", u"a", u"a-\r\n", u"a", VkSpace, {2, u"a-\r", 0, u' '}},
        PlanCase{"FpolWithoutParameter", u"fpol", kFpol, u"fpol", VkSpace,
                 {5, u"Je vous prie d'agréer, , mes sentiments distingués", 27, std::nullopt}},
        PlanCase{"FpolWithParameter", u"fpol", kFpol, u"fpol*Monsieur*", VkSpace,
                 {15, u"Je vous prie d'agréer, Monsieur, mes sentiments distingués", 0, u' '}},
        PlanCase{"ParameterWithSpaces", u"fpol", kFpol, u"fpol*Cher Monsieur*", VkTab,
                 {20, u"Je vous prie d'agréer, Cher Monsieur, mes sentiments distingués", 0, u'\t'}},
        PlanCase{"MbWithoutParameters", u"mb", u"Objet: (*1)\r\nMessage: (*2)", u"mb", VkSpace,
                 {3, u"Objet: \rMessage: ", 10, std::nullopt}},
        PlanCase{"MbWithFirstParameter", u"mb", u"Objet: (*1)\r\nMessage: (*2)", u"mb*Info*", VkSpace,
                 {9, u"Objet: Info\rMessage: ", 0, std::nullopt}},
        PlanCase{"EmptyParameterEndsTheList", u"fpol", kFpol, u"fpol**Monsieur*", VkSpace,
                 {16, u"Je vous prie d'agréer, , mes sentiments distingués", 27, std::nullopt}},
        PlanCase{"TwoStarsNoParameter", u"mb", u"(*1)x", u"mb**", VkSpace, {5, u"x", 1, std::nullopt}},
        PlanCase{"FifthParameterIgnored", u"p", u"(*1)(*2)(*3)(*4)(*5)", u"p*a*b*c*d*e*f*", VkSpace,
                 {15, u"abcd(*5)", 0, u' '}},
        PlanCase{"ParametersButNoFirstMarker", u"am", u"vu (*2) et (*3)", u"am*x*", VkSpace,
                 {6, u"vu (*2) et (*3)", 0, u' '}},
        PlanCase{"NoStarMarkersRemovedCaretAtLowest", u"m", u"a(*4)b(*2)c(*3)d", u"m", VkSpace,
                 {2, u"abcd", 2, std::nullopt}},
        PlanCase{"ThirdBeforeEmptySecond", u"m", u"(*1) a(*3)b(*2)c", u"m*x*", VkSpace,
                 {5, u"x abc", 1, std::nullopt}},
        PlanCase{"EveryOccurrenceReplaced", u"m", u"(*1) et (*1)", u"m*x*", VkSpace, {5, u"x et x", 0, u' '}},
        PlanCase{"EveryOccurrenceRemovedCaretAtFirst", u"m", u"(*1) et (*1)!", u"m", VkSpace,
                 {2, u" et !", 5, std::nullopt}},
        PlanCase{"ParameterKeepsItsCase", u"m", u"<(*1)>", u"M*PaRiS*", VkSpace, {9, u"<PaRiS>", 0, u' '}},
        PlanCase{"OtherMarkerNumbersAreText", u"m", u"(*0)(*5)(*9)", u"m", VkSpace, {2, u"(*0)(*5)(*9)", 0, u' '}},
        PlanCase{"LineBreaksAndTabs", u"l", u"l1\r\nl2\tx", u"l", VkReturn, {2, u"l1\rl2\tx", 0, u'\r'}},
        PlanCase{"EmptyKey", u"", u"rien", u"", VkSpace, {1, u"rien", 0, u' '}},
        PlanCase{"EmptyKeyEmptyText", u"", u"", u"", VkTab, {1, u"", 0, u'\t'}},
        PlanCase{"OutsideTheBmpIsTwoUnits", u"rire", u"\U0001F600", u"rire", VkSpace,
                 {5, u"\xD83D\xDE00", 0, u' '}},
        PlanCase{"DashBeforeMarkerRemoval", u"m", u"(*1)-", u"m", VkSpace, {2, u"", 0, std::nullopt}},
        // Markers built across each other: the caret stays among the
        // characters that remain, never past the end of the text.
        PlanCase{"MarkerStraddlingTheCaret", u"m", u"x(*(*1)2)y", u"m", VkSpace, {2, u"xy", 1, std::nullopt}},
        PlanCase{"MarkerStraddlingTheCaretAtTheEnd", u"m", u"ab(*(*1)2)", u"m", VkSpace, {2, u"ab", 0, std::nullopt}},
        PlanCase{"RemovedMarkersBeforeTheCaret", u"m", u"(*2)a(*3)b(*1)c(*2)", u"m", VkSpace,
                 {2, u"abc", 1, std::nullopt}},
        // The stars of the typed word are separators, so "(*2)" typed as a
        // parameter arrives cut in two: "(" and "2)".
        PlanCase{"TypedMarkerIsCutAtItsStar", u"m", u"(*1)(*2)", u"m*(*2)*B*", VkSpace, {10, u"(2)", 0, u' '}}),
    testing::CaseName{});

TEST(PlanExpansion, ExactMessagesAndWaits) {
    const auto table = tableOf({{u"am", u"a\r\nb"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"am", VkReturn, *table);
    ASSERT_TRUE(plan);
    const std::vector<PlannedMessage> expected = {
        {MessageKind::KeyDown, 0x08, 5}, {MessageKind::KeyDown, 0x08, 5}, {MessageKind::KeyDown, 0x08, 5},
        {MessageKind::Char, u'a', 5},    {MessageKind::KeyDown, 0x0D, 5}, {MessageKind::Char, u'b', 5},
        {MessageKind::KeyDown, 0x0D, 1}};
    EXPECT_EQ(plan->messages, expected);
}

struct EndingCase {
    const char* name;
    std::uint32_t trigger;
    friend void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }
};
class PlanEndingKey : public ::testing::TestWithParam<EndingCase> {};
TEST_P(PlanEndingKey, IsTheTriggersOwnKeyDown) {
    const auto table = tableOf({{u"am", u"x\ty"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"am", GetParam().trigger, *table);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->messages.back(),
              (PlannedMessage{MessageKind::KeyDown, static_cast<std::uint16_t>(GetParam().trigger), CaretWaitMs}));
    // A tab inside the text stays a character.
    EXPECT_EQ(plan->messages[4], (PlannedMessage{MessageKind::Char, u'\t', CharacterWaitMs}));
}
INSTANTIATE_TEST_SUITE_P(Engine, PlanEndingKey,
                         ::testing::Values(EndingCase{"Space", VkSpace}, EndingCase{"Tab", VkTab},
                                           EndingCase{"Enter", VkReturn}),
                         testing::CaseName{});

// A parameter that holds a marker of a later parameter is replaced in turn:
// every marker i is replaced before marker i + 1 is looked for.
TEST(PrepareText, ParameterHoldingALaterMarkerIsReplacedInTurn) {
    SplitWord word;
    word.hasStar = true;
    word.slots = {u"m", u"(*2)", u"B", u"", u""};
    word.parameterCount = 2;
    const PreparedText prepared = prepareText(word, u"(*1)(*2)");
    EXPECT_EQ(prepared.text, u"BB");
    EXPECT_FALSE(prepared.leftArrows);
}

TEST(PlanExpansion, CaretUsesLeftArrowKeyDowns) {
    const auto table = tableOf({{u"c", u"(*1)ab"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"c", VkSpace, *table);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->messages.size(), 2u + 2u + 2u);
    EXPECT_EQ(plan->messages.back(), (PlannedMessage{MessageKind::KeyDown, 0x25, 1}));
}

TEST(PlanExpansion, UnknownWordsPlanNothing) {
    const auto table = tableOf({{u"am", u"x"}, {u"Xy", u"never found"}});
    EXPECT_FALSE(planExpansion(u"a", VkSpace, *table));
    EXPECT_FALSE(planExpansion(u"amm", VkSpace, *table));
    EXPECT_FALSE(planExpansion(u"xy", VkSpace, *table));
    EXPECT_FALSE(planExpansion(u"Xy", VkSpace, *table));
    EXPECT_FALSE(planExpansion(u"", VkSpace, *table));
    EXPECT_FALSE(planExpansion(u"*am*", VkSpace, *table));
}

struct SplitCase {
    const char* name;
    std::u16string word;
    std::vector<std::u16string> slots;
    std::size_t count;
    friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }
};

class SplitWords : public ::testing::TestWithParam<SplitCase> {};
TEST_P(SplitWords, ReadsFieldsUntilTheFirstEmptyOne) {
    const SplitWord split = splitWord(GetParam().word);
    EXPECT_EQ(split.parameterCount, GetParam().count);
    for (std::size_t i = 0; i < split.slots.size(); ++i) {
        const std::u16string expected = i < GetParam().slots.size() ? GetParam().slots[i] : u"";
        EXPECT_EQ(split.slots[i], expected) << "slot " << i;
    }
}
INSTANTIATE_TEST_SUITE_P(
    Engine, SplitWords,
    ::testing::Values(SplitCase{"Plain", u"fpol", {u"fpol"}, 0}, SplitCase{"FinalStarOnly", u"fpol*", {u"fpol"}, 0},
                      SplitCase{"OneParameter", u"fpol*Monsieur*", {u"fpol", u"Monsieur"}, 1},
                      SplitCase{"UnclosedParameter", u"fpol*Monsieur", {u"fpol", u"Monsieur"}, 1},
                      SplitCase{"FourParameters", u"a*b*c*d*e*", {u"a", u"b", u"c", u"d", u"e"}, 4},
                      SplitCase{"FieldsAfterTheFifthIgnored", u"a*b*c*d*e*f*g", {u"a", u"b", u"c", u"d", u"e"}, 4},
                      SplitCase{"EmptyFirstParameter", u"a**c*", {u"a"}, 0}, SplitCase{"EmptySecondParameter", u"a*b**d*", {u"a", u"b"}, 1},
                      SplitCase{"EmptyAbbreviation", u"*b*", {}, 0}, SplitCase{"EmptyWord", u"", {}, 0}),
    testing::CaseName{});

}  // namespace
}  // namespace calmirande
