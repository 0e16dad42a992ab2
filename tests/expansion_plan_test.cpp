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

// The plan read back as what it does to the target, checking its shape on
// the way: every key pressed and released before the next, Backspaces, then
// the text (Unicode units, Return for a line break, Tab for a tab), then
// Left arrows or the ending key.
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

// The virtual keys the plan may hold, read back as the character they make.
std::optional<char16_t> characterOfKey(std::uint16_t key) {
    switch (key) {
        case VkTab: return u'\t';
        case VkReturn: return u'\r';
        case VkSpace: return u' ';
        default: return std::nullopt;
    }
}

struct Press {
    InputKind kind;
    std::uint16_t code;
    bool operator==(const Press&) const = default;
};

std::vector<Press> pressesOf(const ExpansionPlan& plan) {
    std::vector<Press> presses;
    const auto& e = plan.events;
    EXPECT_EQ(e.size() % 2, 0u) << "a key left down";
    for (std::size_t i = 0; i + 1 < e.size(); i += 2) {
        EXPECT_FALSE(e[i].keyUp) << "event " << i << " should be a key-down";
        EXPECT_EQ(e[i + 1], (InputEvent{e[i].kind, e[i].code, true})) << "event " << i + 1 << " should release " << i;
        presses.push_back({e[i].kind, e[i].code});
    }
    return presses;
}

Delivery describe(const ExpansionPlan& plan) {
    Delivery d;
    const std::vector<Press> p = pressesOf(plan);
    const Press back{InputKind::VirtualKey, VkBack}, left{InputKind::VirtualKey, VkLeft};
    std::size_t i = 0;
    for (; i < p.size() && p[i] == back; ++i) ++d.backspaces;
    std::size_t textEnd = p.size();
    // The ending key, when there is one, is the last virtual key after the text.
    while (textEnd > i && p[textEnd - 1] == left) --textEnd;
    d.lefts = p.size() - textEnd;
    if (d.lefts == 0 && textEnd > i && p[textEnd - 1].kind == InputKind::VirtualKey &&
        p[textEnd - 1].code == VkSpace) {
        d.ending = u' ';
        --textEnd;
    }
    for (; i < textEnd; ++i) {
        if (p[i].kind == InputKind::Unicode) {
            EXPECT_NE(p[i].code, u'\r') << "a line break typed as a character at " << i;
            EXPECT_NE(p[i].code, u'\t') << "a tab typed as a character at " << i;
            d.typed += char16_t(p[i].code);
        } else if (const auto c = characterOfKey(p[i].code); c && *c != u' ') {
            d.typed += *c;
        } else {
            ADD_FAILURE() << "unexpected virtual key " << p[i].code << " in the text at " << i;
        }
    }
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
    Delivery d = describe(*plan);
    // A Tab or Return ending reads as the text's last unit: give it back.
    if (c.expected.ending && *c.expected.ending != u' ' && !d.typed.empty() && d.typed.back() == *c.expected.ending) {
        d.typed.pop_back();
        d.ending = *c.expected.ending;
    }
    EXPECT_EQ(d, c.expected);
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

TEST(PlanExpansion, ExactEvents) {
    const auto table = tableOf({{u"am", u"a\r\n\U0001F600\tb"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"am", VkReturn, *table);
    ASSERT_TRUE(plan);
    constexpr auto V = InputKind::VirtualKey;
    constexpr auto U = InputKind::Unicode;
    const std::vector<InputEvent> expected = {
        {V, 0x08, false}, {V, 0x08, true},  {V, 0x08, false}, {V, 0x08, true}, {V, 0x08, false}, {V, 0x08, true},
        {U, u'a', false}, {U, u'a', true},  {V, 0x0D, false}, {V, 0x0D, true}, {U, 0xD83D, false}, {U, 0xD83D, true},
        {U, 0xDE00, false}, {U, 0xDE00, true}, {V, 0x09, false}, {V, 0x09, true}, {U, u'b', false}, {U, u'b', true},
        {V, 0x0D, false}, {V, 0x0D, true}};
    EXPECT_EQ(plan->events, expected);
    EXPECT_EQ(pressCount(*plan), 10u);
}

struct EndingCase {
    const char* name;
    std::uint32_t trigger;
    friend void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }
};
class PlanEndingKey : public ::testing::TestWithParam<EndingCase> {};
TEST_P(PlanEndingKey, IsTheTriggersOwnKeyPress) {
    const auto table = tableOf({{u"am", u"x\ty"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"am", GetParam().trigger, *table);
    ASSERT_TRUE(plan);
    const auto key = static_cast<std::uint16_t>(GetParam().trigger);
    const auto& e = plan->events;
    ASSERT_EQ(e.size(), 2u * (3 + 3 + 1));
    EXPECT_EQ(e[e.size() - 2], (InputEvent{InputKind::VirtualKey, key, false}));
    EXPECT_EQ(e.back(), (InputEvent{InputKind::VirtualKey, key, true}));
    // A tab inside the text is the Tab key, as a person types it.
    EXPECT_EQ(e[8], (InputEvent{InputKind::VirtualKey, static_cast<std::uint16_t>(VkTab), false}));
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

TEST(PlanExpansion, CaretUsesLeftArrowPresses) {
    const auto table = tableOf({{u"c", u"(*1)ab"}});
    const std::optional<ExpansionPlan> plan = planExpansion(u"c", VkSpace, *table);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->events.size(), 2u * (2 + 2 + 2));
    EXPECT_EQ(plan->events[plan->events.size() - 2], (InputEvent{InputKind::VirtualKey, 0x25, false}));
    EXPECT_EQ(plan->events.back(), (InputEvent{InputKind::VirtualKey, 0x25, true}));
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
