#include "engine/word_capture.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "engine/virtual_keys.h"
#include "test_support.h"

namespace calmirande {
namespace {

constexpr std::uint32_t VkEscape = 0x1B, VkHome = 0x24, VkDelete = 0x2E, VkLWin = 0x5B, VkF5 = 0x74,
                        VkPeriod = 0xBE, VkStar = 0xDC, VkCircumflex = 0xDD, VkDiaeresis = 0xDE;
// Scan codes of the left Ctrl: the key itself, and the one Windows sends
// along with AltGr.
constexpr std::uint32_t ScanLeftControl = 0x1D, ScanAltGrControl = 0x21D;
constexpr std::uint32_t ControlHeld = 0x1000;  // our own marker: the key with Ctrl down

// A French AZERTY keyboard as ToUnicode sees it, with the one dead-key state
// that the hook and the application share. `typeInApplication` replays what
// the application's own TranslateMessage makes of each key afterwards, so a
// test sees both what the hook captured and what the user got.
class FrenchKeyboard final : public KeyTranslator {
public:
    KeyboardState readKeyboardState() override {
        ++stateReads;
        KeyboardState state{};
        if (shift) state[VkShift] = 0x80;
        if (altGr) state[VkControl] = state[VkMenu] = 0x80;
        return state;
    }

    Translation translate(std::uint32_t vk, std::uint32_t, const KeyboardState& state) override {
        ++translations;
        const bool shifted = state[VkShift] & 0x80;
        const bool altGrDown = (state[VkControl] & 0x80) && (state[VkMenu] & 0x80);
        if (altGrDown) {
            if (vk == '0') return {1, {u'@'}};
            if (vk == 'E') return {1, {u'€'}};
            return {0, {}};
        }
        if (vk == VkCircumflex || vk == VkDiaeresis) {
            if (deadKeysAlwaysPending) return {-1, {}};
            const char16_t accent = vk == VkCircumflex ? u'^' : u'\u00A8';
            if (!pending) {
                pending = accent;
                return {-1, {}};
            }
            const char16_t previous = *std::exchange(pending, std::nullopt);
            if (previous == accent) return {1, {accent}};
            return {2, {previous, accent}};
        }
        if (vk & ControlHeld) return {1, {char16_t((vk & 0xFF) - 'A' + 1)}};
        if (vk == VkBack || vk == VkTab || vk == VkReturn || vk == VkEscape) return {1, {char16_t(vk)}};
        char16_t c = 0;
        if (vk >= 'A' && vk <= 'Z') c = shifted ? char16_t(vk) : char16_t(vk - 'A' + 'a');
        if (vk == VkSpace) c = u' ';
        if (vk == VkPeriod) c = shifted ? u'/' : u';';
        if (vk == VkStar) c = u'*';
        if (vk == '1') c = shifted ? u'1' : u'&';
        if (vk == '8') c = shifted ? u'*' : u'8';  // the "*" of a US layout
        if (c == 0) return {0, {}};
        if (pending) {
            const char16_t accent = *std::exchange(pending, std::nullopt);
            if (c == u' ') return {1, {accent}};
            const auto composed = kCompositions.find({accent, c});
            if (composed != kCompositions.end()) return {1, {composed->second}};
            return {2, {accent, c}};
        }
        return {1, {c}};
    }

    void typeInApplication(std::uint32_t vk) {
        const Translation t = translate(vk, 0, readKeyboardState());
        if (t.result > 0 && t.units[0] > 0x1F) application.append(t.units.data(), std::size_t(t.result));
    }

    bool shift = false;
    bool altGr = false;
    bool deadKeysAlwaysPending = false;
    std::optional<char16_t> pending;
    std::u16string application;
    int stateReads = 0;
    int translations = 0;

private:
    inline static const std::map<std::pair<char16_t, char16_t>, char16_t> kCompositions = {
        {{u'^', u'e'}, u'ê'}, {{u'^', u'a'}, u'â'}, {{u'^', u'E'}, u'Ê'}, {{u'\u00A8', u'e'}, u'ë'},
        {{u'\u00A8', u'i'}, u'ï'}};
};

class Capture : public ::testing::Test {
protected:
    // Presses one key as the user would: the hook sees it first, then the
    // application (when the hook let it through, which it always does).
    CaptureEffects press(std::uint32_t vk, std::uint32_t flags = 0, std::uint32_t message = WmKeyDown,
                         std::uint32_t scanCode = 0) {
        KeyEvent event{HcAction, message, vk, scanCode, flags};
        CaptureEffects effects = capture.onKey(event, captureAllowed, listActive, keyboard);
        if (message == WmKeyDown || message == WmSysKeyDown) keyboard.typeInApplication(vk);
        if (effects.expansion) expansions.push_back(*effects.expansion);
        if (effects.processed) aidWords.emplace_back(effects.aidWord);
        return effects;
    }
    // One Shift press per capital, as people type them.
    void type(std::string_view keys) {
        for (char key : keys) {
            if (key == ' ') press(VkSpace);
            else if (key == '*') press(VkStar);
            else if (key == '.') press(VkPeriod);
            else if (key >= 'A' && key <= 'Z') shifted(std::uint32_t(key));
            else press(std::uint32_t(key - 'a' + 'A'));
        }
    }
    void shifted(std::uint32_t vk) {
        press(VkLShift);
        keyboard.shift = true;
        press(vk);
        keyboard.shift = false;
        press(VkLShift, 0, WmKeyUp);
    }
    void altGr(std::uint32_t vk) {
        press(VkLControl, 0, WmKeyDown, ScanAltGrControl);
        press(VkRMenu, 0, WmSysKeyDown);
        keyboard.altGr = true;
        press(vk);
        keyboard.altGr = false;
        press(VkRMenu, 0, WmKeyUp);
        press(VkLControl, 0, WmKeyUp, ScanAltGrControl);
    }

    WordCapture capture;
    FrenchKeyboard keyboard;
    bool captureAllowed = true;
    bool listActive = true;
    std::vector<CompletedWord> expansions;
    std::vector<std::u16string> aidWords;
};

struct WordEndCase {
    const char* name;
    std::string typed;
    std::uint32_t endKey;
    std::optional<std::u16string> handedOver;  // nothing: no expansion starts
    std::u16string typedAfter;
    friend void PrintTo(const WordEndCase& c, std::ostream* os) { *os << c.name; }
};

class CaptureWordEnd : public Capture, public ::testing::WithParamInterface<WordEndCase> {};

TEST_P(CaptureWordEnd, HandsOverTheWordOrKeepsCapturing) {
    const WordEndCase& c = GetParam();
    type(c.typed);
    const CaptureEffects effects = press(c.endKey);
    if (c.handedOver) {
        ASSERT_TRUE(effects.expansion);
        EXPECT_EQ(effects.expansion->word, *c.handedOver);
        EXPECT_EQ(effects.expansion->trigger, c.endKey);
    } else {
        EXPECT_FALSE(effects.expansion);
    }
    EXPECT_EQ(capture.typedWord(), c.typedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, CaptureWordEnd,
    ::testing::Values(
        WordEndCase{"Space", "am", VkSpace, u"am", u""},
        WordEndCase{"Tab", "am", VkTab, u"am", u""},
        WordEndCase{"Enter", "am", VkReturn, u"am", u""},
        WordEndCase{"ParameterWithSpaces", "fpol*monsieur le directeur*", VkSpace, u"fpol*monsieur le directeur*", u""},
        WordEndCase{"SpaceRightAfterStar", "fpol*", VkSpace, u"fpol*", u""},
        WordEndCase{"TabInsideParameterAbandons", "fpol*mon", VkTab, std::nullopt, u""},
        WordEndCase{"EnterInsideParameterAbandons", "fpol*mon", VkReturn, std::nullopt, u""},
        WordEndCase{"SpaceInsideParameterStays", "fpol*mon", VkSpace, std::nullopt, u"fpol*mon "},
        WordEndCase{"PunctuationIsPartOfTheWord", "am.", VkSpace, u"am;", u""},
        WordEndCase{"NothingCaptured", "", VkSpace, u"", u""},
        WordEndCase{"CapitalAtStartStays", "Am", VkSpace, u"Am", u""},
        WordEndCase{"CapitalsWithAShiftPressEach", "CDL", VkSpace, u"CDL", u""},
        WordEndCase{"CapitalInsideTheWord", "aM", VkSpace, u"aM", u""},
        WordEndCase{"CapitalInsideParameter", "fpol*Monsieur*", VkSpace, u"fpol*Monsieur*", u""},
        WordEndCase{"CapitalsInsideParameterWithSpaces", "fpol*monsieur Dupont*", VkSpace, u"fpol*monsieur Dupont*",
                    u""}),
    testing::CaseName{});

TEST_F(Capture, HeldSpaceStartsOneExpansionPerRepeat) {
    type("am");
    press(VkSpace);
    press(VkSpace);
    press(VkSpace);
    ASSERT_EQ(expansions.size(), 3u);
    EXPECT_EQ(expansions[0].word, u"am");
    EXPECT_EQ(expansions[1].word, u"");
    EXPECT_EQ(expansions[2].word, u"");
}

TEST_F(Capture, BackspaceDropsOneCharacterPerRepeat) {
    type("abc");
    press(VkBack);
    EXPECT_EQ(capture.typedWord(), u"ab");
    press(VkBack);
    press(VkBack);
    press(VkBack);
    EXPECT_EQ(capture.typedWord(), u"");
    type("am");
    press(VkSpace);
    EXPECT_EQ(expansions.back().word, u"am");
}

struct KeyCase {
    const char* name;
    std::uint32_t vk;
    bool empties;
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

class CaptureOtherKeys : public Capture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(CaptureOtherKeys, KeysWithoutCharacterEmptyTheWordControlCharactersDoNot) {
    type("ab");
    const CaptureEffects effects = press(GetParam().vk);
    EXPECT_TRUE(effects.processed);
    EXPECT_FALSE(effects.expansion);
    EXPECT_EQ(capture.typedWord(), GetParam().empties ? u"" : u"ab");
}

INSTANTIATE_TEST_SUITE_P(Engine, CaptureOtherKeys,
                         ::testing::Values(KeyCase{"Left", VkLeft, true}, KeyCase{"Home", VkHome, true},
                                           KeyCase{"Delete", VkDelete, true}, KeyCase{"F5", VkF5, true},
                                           KeyCase{"LeftCtrl", VkLControl, true}, KeyCase{"RightCtrl", VkRControl, true},
                                           KeyCase{"LeftAlt", VkLMenu, true}, KeyCase{"WindowsKey", VkLWin, true},
                                           KeyCase{"Escape", VkEscape, false},
                                           KeyCase{"CtrlC", ControlHeld | 'C', false}),
                         testing::CaseName{});

// A word skipped (its first key came while a block went in) ends where any
// word ends: the next word is captured whole after such a key.
TEST_P(CaptureOtherKeys, EndASkippedWordWhenTheyEmptyTheWord) {
    capture.skipWord();
    type("xy");
    press(GetParam().vk);
    type("ab ");
    if (GetParam().empties) {
        ASSERT_EQ(expansions.size(), 1u);
        EXPECT_EQ(expansions.back().word, u"ab");
    } else {
        EXPECT_TRUE(expansions.empty());
    }
}

struct ModifierCase {
    const char* name;
    std::uint32_t vk;
    std::uint32_t scanCode;
    friend void PrintTo(const ModifierCase& c, std::ostream* os) { *os << c.name; }
};

class CaptureKeepingKeys : public Capture, public ::testing::WithParamInterface<ModifierCase> {};

// Shift, Caps Lock and AltGr come before characters of the word: neither the
// word nor a dead key waiting for its letter is touched, and the key is not
// even translated.
TEST_P(CaptureKeepingKeys, LeaveTheWordAndTheDeadKeysAlone) {
    type("ab");
    press(VkCircumflex);
    const int translations = keyboard.translations;
    for (int repeat = 0; repeat < 3; ++repeat) {  // a held key repeats its key-down
        const CaptureEffects effects = press(GetParam().vk, 0, WmKeyDown, GetParam().scanCode);
        EXPECT_FALSE(effects.processed);
        EXPECT_FALSE(effects.expansion);
    }
    EXPECT_EQ(keyboard.translations, translations + 3);  // the application's own, not the hook's
    EXPECT_EQ(capture.typedWord(), u"ab");
    EXPECT_TRUE(capture.deadKeys().deadKeyPending);
    EXPECT_EQ(capture.deadKeys().count, 1u);
}

INSTANTIATE_TEST_SUITE_P(Engine, CaptureKeepingKeys,
                         ::testing::Values(ModifierCase{"LeftShift", VkLShift, 0x2A},
                                           ModifierCase{"RightShift", VkRShift, 0x36},
                                           ModifierCase{"Shift", VkShift, 0x2A},
                                           ModifierCase{"CapsLock", VkCapital, 0x3A},
                                           ModifierCase{"AltGr", VkRMenu, 0x38},
                                           ModifierCase{"AltGrsOwnCtrl", VkLControl, ScanAltGrControl}),
                         testing::CaseName{});

TEST_F(Capture, RealLeftCtrlStillEmptiesTheWord) {
    type("ab");
    press(VkLControl, 0, WmKeyDown, ScanLeftControl);
    EXPECT_EQ(capture.typedWord(), u"");
}

TEST_F(Capture, StarTypedWithShiftStartsAParameter) {
    type("fpol");
    shifted('8');
    type("madame");
    shifted('8');
    press(VkSpace);
    ASSERT_EQ(expansions.size(), 1u);
    EXPECT_EQ(expansions[0].word, u"fpol*madame*");
}

TEST_F(Capture, AutoRepeatedShiftKeepsASlowlyTypedCapitalWord) {
    press(VkLShift);
    keyboard.shift = true;
    for (std::uint32_t vk : {'C', 'D', 'L'}) {
        press(vk);
        for (int repeat = 0; repeat < 5; ++repeat) press(VkLShift);
    }
    keyboard.shift = false;
    press(VkLShift, 0, WmKeyUp);
    press(VkSpace);
    ASSERT_EQ(expansions.size(), 1u);
    EXPECT_EQ(expansions[0].word, u"CDL");
}

TEST_F(Capture, AltGrCharacterInsideAParameter) {
    type("mail*jean");
    altGr('0');
    type("exemple.fr*");
    press(VkSpace);
    ASSERT_EQ(expansions.size(), 1u);
    EXPECT_EQ(expansions[0].word, u"mail*jean@exemple;fr*");
    EXPECT_EQ(keyboard.application, u"mail*jean@exemple;fr* ");
}

TEST_F(Capture, AltGrCharacterInTheAbbreviation) {
    altGr('E');
    type("ur");
    press(VkSpace);
    ASSERT_EQ(expansions.size(), 1u);
    EXPECT_EQ(expansions[0].word, u"€ur");
}

struct GateCase {
    const char* name;
    bool captureAllowed;
    bool listActive;
    int nCode;
    std::uint32_t message;
    std::uint32_t flags;
    bool processed;
    friend void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }
};

class CaptureGate : public Capture, public ::testing::WithParamInterface<GateCase> {};

TEST_P(CaptureGate, OnlyKeyPressesOfTheUserWhileOnAreCaptured) {
    const GateCase& c = GetParam();
    type("ab");
    captureAllowed = c.captureAllowed;
    listActive = c.listActive;
    const int reads = keyboard.stateReads;
    const CaptureEffects effects =
        capture.onKey({c.nCode, c.message, VkSpace, 0, c.flags}, captureAllowed, listActive, keyboard);
    EXPECT_EQ(effects.processed, c.processed);
    EXPECT_EQ(effects.expansion.has_value(), c.processed);
    EXPECT_EQ(keyboard.stateReads, reads + (c.processed ? 1 : 0));
    EXPECT_EQ(capture.typedWord(), c.processed ? u"" : u"ab");
}

INSTANTIATE_TEST_SUITE_P(
    Engine, CaptureGate,
    ::testing::Values(GateCase{"KeyDown", true, true, HcAction, WmKeyDown, 0, true},
                      GateCase{"SysKeyDown", true, true, HcAction, WmSysKeyDown, 0, true},
                      GateCase{"KeyUp", true, true, HcAction, 0x0101, 0, false},
                      GateCase{"SysKeyUp", true, true, HcAction, 0x0105, 0, false},
                      GateCase{"Injected", true, true, HcAction, WmKeyDown, LlkhfInjected, false},
                      GateCase{"InjectedWithOtherFlags", true, true, HcAction, WmKeyDown, LlkhfInjected | 0x01, false},
                      GateCase{"ExtendedKeyFlagIsFine", true, true, HcAction, WmKeyDown, 0x01, true},
                      GateCase{"EngineOff", false, true, HcAction, WmKeyDown, 0, false},
                      GateCase{"NoActiveList", true, false, HcAction, WmKeyDown, 0, false},
                      GateCase{"NotAnAction", true, true, 3, WmKeyDown, 0, false}),
    testing::CaseName{});

TEST_F(Capture, AidWordIsTheAbbreviationPart) {
    type("fpol*mon");
    EXPECT_EQ(aidWords.back(), u"fpol");
    press(VkSpace);
    EXPECT_EQ(aidWords.back(), u"fpol");
    type("a");
    EXPECT_EQ(aidWords.back(), u"fpol");
    press(VkStar);
    press(VkSpace);
    EXPECT_EQ(aidWords.back(), u"");
    type("b");
    EXPECT_EQ(aidWords.back(), u"b");
}

TEST_F(Capture, ClicksAndWheelEmptyTheWordMovesDoNot) {
    type("ab");
    EXPECT_FALSE(capture.onMouse(HcAction, WmMouseMove));
    EXPECT_FALSE(capture.onMouse(HcAction, WmNcMouseMove));
    EXPECT_FALSE(capture.onMouse(1, 0x0201));
    EXPECT_EQ(capture.typedWord(), u"ab");
    for (std::uint32_t message : {0x0201u, 0x0202u, 0x0204u, 0x0207u, 0x020Au, 0x020Bu, 0x020Eu}) {
        type("ab");
        EXPECT_TRUE(capture.onMouse(HcAction, message)) << message;
        EXPECT_EQ(capture.typedWord(), u"");
    }
    // Whether the engine is on or not.
    type("ab");
    captureAllowed = false;
    EXPECT_TRUE(capture.onMouse(HcAction, 0x0201));
    EXPECT_EQ(capture.typedWord(), u"");
}

TEST_F(Capture, VeryLongRunOfCharactersIsNoWord) {
    for (std::size_t i = 0; i < MaxTypedWordLength; ++i) press('A');
    EXPECT_EQ(capture.typedWord().size(), MaxTypedWordLength);
    press('A');
    EXPECT_EQ(capture.typedWord(), u"");
    type("am");
    press(VkSpace);
    EXPECT_EQ(expansions.back().word, u"am");
}

struct DeadKeyCase {
    const char* name;
    std::vector<std::uint32_t> keys;
    std::u16string captured;  // TypedWord afterwards
    friend void PrintTo(const DeadKeyCase& c, std::ostream* os) { *os << c.name; }
};

class CaptureDeadKeys : public Capture, public ::testing::WithParamInterface<DeadKeyCase> {};

// The hook's own translations must leave the accent to the application: what
// the hook captures and what the user sees in the application agree.
TEST_P(CaptureDeadKeys, CapturesWhatTheApplicationTypes) {
    for (std::uint32_t vk : GetParam().keys) {
        if (vk == VkShift) {
            keyboard.shift = !keyboard.shift;
            press(VkLShift, 0, keyboard.shift ? WmKeyDown : WmKeyUp);
            continue;
        }
        press(vk);
    }
    EXPECT_EQ(capture.typedWord(), GetParam().captured);
    EXPECT_EQ(keyboard.application, GetParam().captured);
    EXPECT_EQ(capture.deadKeys().count, 0u);
    EXPECT_FALSE(capture.deadKeys().deadKeyPending);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, CaptureDeadKeys,
    ::testing::Values(DeadKeyCase{"CircumflexE", {'F', VkCircumflex, 'E', 'T', 'E'}, u"fête"},
                      DeadKeyCase{"CapitalCircumflexE", {VkCircumflex, VkShift, 'E', VkShift}, u"Ê"},
                      DeadKeyCase{"DiaeresisI", {'N', 'A', VkDiaeresis, 'I', 'F'}, u"naïf"},
                      DeadKeyCase{"NoCombination", {VkCircumflex, 'Z'}, u"^z"},
                      DeadKeyCase{"TwoAccentsInOneWord", {VkCircumflex, 'A', VkCircumflex, 'E'}, u"âê"},
                      DeadKeyCase{"SameDeadKeyTwice", {VkCircumflex, VkCircumflex}, u"^"},
                      DeadKeyCase{"TwoDifferentDeadKeys", {VkCircumflex, VkDiaeresis}, u"^\u00A8"}),
    testing::CaseName{});

TEST_F(Capture, CircumflexThenSpaceTypesTheAccentAndEndsTheWord) {
    type("ab");
    press(VkCircumflex);
    const CaptureEffects effects = press(VkSpace);
    EXPECT_EQ(keyboard.application, u"ab^");
    // The accent took the place of the space's character: the word is what
    // stood before it.
    ASSERT_TRUE(effects.expansion);
    EXPECT_EQ(effects.expansion->word, u"ab");
}

TEST_F(Capture, DeadKeyAddsNothingAndControlKeysKeepItPending) {
    type("ab");
    press(VkCircumflex);
    EXPECT_EQ(capture.typedWord(), u"ab");
    EXPECT_TRUE(capture.deadKeys().deadKeyPending);
    EXPECT_EQ(capture.deadKeys().count, 1u);
    press(VkEscape);
    EXPECT_TRUE(capture.deadKeys().deadKeyPending);
    EXPECT_EQ(capture.deadKeys().count, 1u);
}

TEST_F(Capture, FifthDeadKeyIsNotRecorded) {
    keyboard.deadKeysAlwaysPending = true;
    for (int i = 0; i < 4; ++i) press(VkCircumflex);
    EXPECT_EQ(capture.deadKeys().count, 4u);
    const int before = keyboard.translations;
    press(VkCircumflex);
    EXPECT_EQ(capture.deadKeys().count, 4u);
    // The fifth is translated once by the hook (and once by the application):
    // no repeat and no replay.
    EXPECT_EQ(keyboard.translations, before + 2);
}

TEST_F(Capture, DeadKeyRepeatsUntilTranslatedAndReplaysEarlierRecords) {
    keyboard.deadKeysAlwaysPending = true;
    press(VkCircumflex);  // 1 + 4 repeats (all -1) + 0 replays
    EXPECT_EQ(keyboard.translations, 5 + 1);
    const int before = keyboard.translations;
    press(VkDiaeresis);  // 1 + 4 repeats + 1 replay of the first record
    EXPECT_EQ(keyboard.translations, before + 6 + 1);
    EXPECT_EQ(capture.deadKeys().slots[0].vkCode, VkCircumflex);
    EXPECT_EQ(capture.deadKeys().slots[1].vkCode, VkDiaeresis);
}

}  // namespace
}  // namespace calmirande
