#include "engine/keyboard_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/virtual_keys.h"
#include "test_support.h"

namespace calmirande {
namespace {

constexpr std::uint32_t VkEscape = 0x1B;
constexpr std::uintptr_t kNotepad = 0x100, kWordPad = 0x200;

// A US keyboard as the hook's ToUnicode sees it: the Shift state is the one
// the target has been given, as the hook thread's key state follows it.
class UsKeyboard final : public KeyTranslator {
public:
    explicit UsKeyboard(const KeyboardEngine& engine) : engine_(engine) {}
    KeyboardState readKeyboardState() override {
        KeyboardState state{};
        const ModifierKeys held = engine_.modifiers();
        if (held.leftShift || held.rightShift) state[VkShift] = 0x80;
        return state;
    }
    Translation translate(std::uint32_t vk, std::uint32_t, const KeyboardState& state) override {
        if (vk >= 'A' && vk <= 'Z') return {1, {char16_t((state[VkShift] & 0x80) ? vk : vk - 'A' + 'a')}};
        if (vk == VkSpace) return {1, {u' '}};
        if (vk == '8' && (state[VkShift] & 0x80)) return {1, {u'*'}};
        if (vk >= '0' && vk <= '9') return {1, {char16_t(vk)}};
        return {0, {}};
    }

private:
    const KeyboardEngine& engine_;
};

class FakeEnvironment final : public HookEnvironment {
public:
    explicit FakeEnvironment(const KeyboardEngine& engine) : keyboard(engine) {}
    std::uintptr_t foreground() override { return foregroundNow; }
    FocusTarget focus() override { return {foregroundNow, foregroundNow + 1}; }
    std::int64_t nowMicroseconds() override { return 0; }
    KeyTranslator& translator() override { return keyboard; }

    std::uintptr_t foregroundNow = kNotepad;
    UsKeyboard keyboard;
};

// One event as the target got it.
struct Received {
    std::uint32_t message;
    std::uint32_t vkCode;
    KeyOrigin origin;
    friend bool operator==(const Received&, const Received&) = default;
};

// The engine between a scripted user, a worker that types a block when told
// to, a sender of held keys whose keys come back through the hook, and a
// target that records what it gets, in order.
class Engine : public ::testing::Test {
protected:
    Engine() {
        ExpansionTable::Builder builder;
        builder.set(u"slt", u"Salut");
        builder.set(u"cher", u"Cher (*1), à bientôt");
        builder.set(u"cdl", u"Cordialement, ");
        engine.setTable(std::move(builder).build());
    }

    void event(std::uint32_t message, std::uint32_t vk, KeyOrigin origin = KeyOrigin::User, std::uint32_t scan = 0,
               std::uint32_t flags = 0) {
        const HookEvent e{message, vk, scan, flags, tick, origin};
        if (!engine.onKey(e, true, environment, nullptr).swallow) target.push_back({message, vk, origin});
        tick += 5;
        if (runsAfterEachKey) runLoop();
    }
    void down(std::uint32_t vk, KeyOrigin origin = KeyOrigin::User) { event(WmKeyDown, vk, origin); }
    void up(std::uint32_t vk, KeyOrigin origin = KeyOrigin::User) { event(WmKeyUp, vk, origin); }
    // Letters, digits and spaces pressed and released; a capital with one
    // Shift press, let go before the letter as xdotool and many people do.
    static std::vector<std::pair<std::uint32_t, std::uint32_t>> keysOf(std::string_view text) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
        for (const char c : text) {
            const std::uint32_t vk = c == ' ' ? VkSpace : c >= 'a' ? std::uint32_t(c - 'a' + 'A') : std::uint32_t(c);
            const bool capital = c >= 'A' && c <= 'Z';
            if (capital) keys.emplace_back(WmKeyDown, VkLShift);
            keys.emplace_back(WmKeyDown, vk);
            if (capital) keys.emplace_back(WmKeyUp, VkLShift);
            keys.emplace_back(WmKeyUp, vk);
        }
        return keys;
    }
    void type(std::string_view text) {
        for (const auto& [message, vk] : keysOf(text)) event(message, vk);
    }

    void runLoop() {
        engine.run(
            tick, environment.foregroundNow, [this](CompletedWord word) { words.push_back(std::move(word)); },
            [this](std::vector<HeldKey> batch) {
                replays.push_back(std::move(batch));
                return true;
            },
            [](std::u16string_view) {}, [] {},
            [this](std::vector<HeldKey> keys) { releases.insert(releases.end(), keys.begin(), keys.end()); });
    }
    // The worker of the oldest word typed its block (a marker event for the
    // target), or stopped, and reports its end.
    void blockGoesIn(bool typed = true) {
        if (typed) down(VkLeft, KeyOrigin::OwnBlock);
        gate.endTyping();
        counters.expansionsOver.fetch_add(1);
        runLoop();
    }
    // The newest batch comes back through the hook, then its sender reports.
    void replayComesBack() {
        const std::vector<HeldKey> batch = replays.back();
        for (const HeldKey& key : batch) event(key.message, key.vkCode, KeyOrigin::Replay, key.scanCode, key.flags);
        counters.replayInserted.store(static_cast<std::int32_t>(batch.size()));
        runLoop();
    }
    // Only the first `inserted` keys of the newest batch went in (another
    // desktop, a window of higher privilege took the rest).
    void replayComesBackShort(std::size_t inserted) {
        const std::vector<HeldKey> batch = replays.back();
        for (std::size_t i = 0; i < inserted; ++i) {
            event(batch[i].message, batch[i].vkCode, KeyOrigin::Replay, batch[i].scanCode, batch[i].flags);
        }
        counters.replayInserted.store(static_cast<std::int32_t>(inserted));
        runLoop();
    }
    // Until nothing is held: every block typed, every batch back.
    void settle() {
        for (int guard = 0; guard < 100 && (gate.typing() || engine.hold().holding()); ++guard) {
            if (gate.typing()) blockGoesIn();
            else if (!replays.empty() && engine.hold().holding()) replayComesBack();
            else runLoop();
        }
    }
    // The keys the target got from the user, held or not, as text.
    std::string typedText() const {
        std::string text;
        bool shift = false;
        for (const Received& r : target) {
            if (r.origin == KeyOrigin::OwnBlock) {
                text += '|';  // where a block went in
                continue;
            }
            if (r.vkCode == VkLShift) shift = r.message == WmKeyDown;
            if (r.message != WmKeyDown) continue;
            if (r.vkCode == VkSpace) text += ' ';
            if (r.vkCode >= 'A' && r.vkCode <= 'Z') text += char(shift ? r.vkCode : r.vkCode - 'A' + 'a');
        }
        return text;
    }
    std::size_t replayedKeys() const {
        std::size_t n = 0;
        for (const auto& batch : replays) n += batch.size();
        return n;
    }

    ExpansionGate gate;
    EngineCounters counters;
    KeyboardEngine engine{gate, counters};
    FakeEnvironment environment{engine};
    std::vector<Received> target;
    std::vector<CompletedWord> words;
    std::vector<std::vector<HeldKey>> replays;
    std::vector<HeldKey> releases;  // modifiers the engine let go of
    std::uint32_t tick = 1000;
    bool runsAfterEachKey = true;
};

// The lookup at the ending key: the part before the first star, in any case.
TEST(IsAbbreviation, LooksUpTheKeyCutAtItsStarInLowerCase) {
    ExpansionTable::Builder builder;
    builder.set(u"fpol", u"x");
    const auto table = std::move(builder).build();
    std::u16string scratch;
    for (const auto& [word, expected] : std::vector<std::pair<std::u16string, bool>>{
             {u"fpol", true}, {u"FPOL", true}, {u"fpol*Madame*", true}, {u"fpo", false}, {u"", false}, {u"*fpol", false}}) {
        EXPECT_EQ(isAbbreviation(word, *table, scratch), expected);
    }
}

// Words that are no abbreviation are never held nor sent again: in most
// applications, nearly everything the user types.
TEST_F(Engine, PlainTypingPassesUntouched) {
    type("le chat dort sur le Mur  ");
    EXPECT_TRUE(words.empty());
    EXPECT_EQ(replayedKeys(), 0u);
    EXPECT_EQ(typedText(), "le chat dort sur le Mur  ");
    EXPECT_FALSE(gate.typing());
}

// What the user types after an abbreviation comes after its block, in
// order, capitals included, whenever the block goes in: before the next key,
// between its Shift and its letter, or after the whole word.
struct TypedOnCase {
    const char* name;
    std::string before, after;
    std::size_t blockAfterKeys;  // events typed after the ending key before the block is in
    std::string expected;
    friend void PrintTo(const TypedOnCase& c, std::ostream* os) { *os << c.name; }
};
class EngineTypedOn : public Engine, public ::testing::WithParamInterface<TypedOnCase> {};
TEST_P(EngineTypedOn, KeysComeAfterTheBlockInOrder) {
    runsAfterEachKey = true;
    type(GetParam().before);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].word, u"cher");
    // Event by event, so that the block can go in between any two of them.
    std::size_t typed = 0;
    for (const auto& [message, vk] : keysOf(GetParam().after)) {
        if (typed++ == GetParam().blockAfterKeys && gate.typing()) blockGoesIn();
        event(message, vk);
    }
    settle();
    EXPECT_EQ(typedText(), GetParam().expected);
    EXPECT_FALSE(engine.hold().holding());
}
INSTANTIATE_TEST_SUITE_P(
    Sentences, EngineTypedOn,
    ::testing::Values(TypedOnCase{"BlockBeforeTheCapital", "cher ", "Paul", 0, "cher |Paul"},
                      TypedOnCase{"BlockAfterTheShift", "cher ", "Paul", 1, "cher |Paul"},
                      TypedOnCase{"BlockAfterTheCapital", "cher ", "Paul", 4, "cher |Paul"},
                      TypedOnCase{"BlockAfterTheWord", "cher ", "Paul slt ", 100, "cher |Paul slt |"}),
    testing::CaseName{});

// The sequence that went wrong ("Cher paul"): Shift, P, the Shift's release,
// then P's, all held while the block goes in. The batch gives Shift back
// only after P's release, so that no target translates P without it.
TEST_F(Engine, AShiftLetGoBeforeItsLetterGoesBackAfterIt) {
    type("cher ");
    type("Pa");
    blockGoesIn();
    ASSERT_EQ(replays.size(), 1u);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;
    for (const HeldKey& key : replays[0]) order.emplace_back(key.message, key.vkCode);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {WmKeyUp, VkSpace}, {WmKeyDown, VkLShift}, {WmKeyDown, 'P'}, {WmKeyUp, 'P'},
        {WmKeyUp, VkLShift}, {WmKeyDown, 'A'},     {WmKeyUp, 'A'}};
    EXPECT_EQ(order, expected);
}

// The block's Shift goes by what the target had at the ending key: down for
// "CDL " typed with Shift held through the Space; up when the Shift of the
// next capital is pressed after the Space, whatever the system says later.
TEST_F(Engine, TheWordEndKeepsTheShiftTheTargetHad) {
    down(VkLShift);
    for (const std::uint32_t vk : {std::uint32_t('C'), std::uint32_t('D'), std::uint32_t('L'), VkSpace}) {
        down(vk);
        up(vk);
    }
    up(VkLShift);  // after the Space: held
    ASSERT_EQ(words.size(), 1u);
    EXPECT_TRUE(words[0].end.modifiers.leftShift);
    blockGoesIn();
    replayComesBack();
    EXPECT_FALSE(engine.modifiers().leftShift);

    type("cher ");
    down(VkLShift);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_FALSE(words[1].end.modifiers.leftShift);
}

// A shortcut is no word's end: Ctrl, Alt or Windows down at the Space
// expands nothing and holds nothing.
TEST_F(Engine, AShortcutAtTheEndingKeyExpandsNothing) {
    for (const std::uint32_t modifier : {VkLControl, VkLMenu, VkLWin}) {
        type("slt");
        down(modifier);
        down(VkSpace);
        up(VkSpace);
        up(modifier);
        EXPECT_TRUE(words.empty()) << modifier;
        EXPECT_FALSE(engine.hold().holding());
    }
}

// AltGr on a French keyboard: Windows' own left Ctrl (scan bit 0x200) is
// never given back, the Right Alt is, and the layout makes its own Ctrl.
TEST_F(Engine, AltGrGoesBackWithoutItsFakeControl) {
    type("slt ");
    event(WmKeyDown, VkLControl, KeyOrigin::User, 0x21D);
    event(WmKeyDown, VkRMenu, KeyOrigin::User, 0x38, 0x01);
    type("0");
    event(WmKeyUp, VkLControl, KeyOrigin::User, 0x21D);
    event(WmKeyUp, VkRMenu, KeyOrigin::User, 0x38, 0x01);
    type("5");
    blockGoesIn();
    ASSERT_EQ(replays.size(), 1u);
    for (const HeldKey& key : replays[0]) EXPECT_NE(key.vkCode, VkLControl);
    EXPECT_EQ(replays[0].size(), 1u + 2 + 2 + 2);  // Space's release, RAlt's press and release, 0, 5
}

// A batch cut short leaves the target with a modifier down that nobody
// holds: it is released once nothing is held, and only then. A key the
// user or another program still holds is never released.
struct StrayCase {
    const char* name;
    std::size_t inserted;        // of the batch: Space's release, Shift's press, P, Shift's release
    bool otherProgramHoldsShift;  // a remapper's Shift, typed before and not let go
    bool userHoldsShift;          // the user's Shift, not let go yet
    std::vector<std::uint32_t> released;
    friend void PrintTo(const StrayCase& c, std::ostream* os) { *os << c.name; }
};
class EngineStray : public Engine, public ::testing::WithParamInterface<StrayCase> {};
TEST_P(EngineStray, ReleasesOnlyWhatNobodyHolds) {
    const StrayCase& c = GetParam();
    if (c.otherProgramHoldsShift) down(VkRShift, KeyOrigin::OtherProgram);
    type("slt ");
    down(VkLShift);
    down('P');
    up('P');
    if (!c.userHoldsShift) up(VkLShift);
    blockGoesIn();
    ASSERT_EQ(replays.size(), 1u);
    replayComesBackShort(c.inserted);
    std::vector<std::uint32_t> released;
    for (const HeldKey& key : releases) {
        EXPECT_EQ(key.message, WmKeyUp);
        released.push_back(key.vkCode);
    }
    EXPECT_EQ(released, c.released);
}
INSTANTIATE_TEST_SUITE_P(
    Engine, EngineStray,
    ::testing::Values(StrayCase{"WholeBatch", 5, false, false, {}},
                      StrayCase{"CutAfterShiftsPress", 2, false, false, {VkLShift}},
                      StrayCase{"CutAfterTheLetter", 3, false, false, {VkLShift}},
                      StrayCase{"NothingInserted", 0, false, false, {}},
                      StrayCase{"UserStillHoldsIt", 2, false, true, {}},
                      StrayCase{"AnotherProgramsShiftStays", 2, true, false, {VkLShift}}),
    ::testing::PrintToStringParamName{});

// Escape while a block goes in stops it at its next call, and is spent on
// that: neither the target nor the replay gets it.
TEST_F(Engine, EscapeStopsTheBlockAndIsNotReplayed) {
    type("cdl ");
    down(VkEscape);
    up(VkEscape);
    type("ok");
    EXPECT_TRUE(gate.stopRequested());
    blockGoesIn(false);
    settle();
    for (const Received& r : target) EXPECT_NE(r.vkCode, VkEscape);
    for (const auto& batch : replays)
        for (const HeldKey& key : batch) EXPECT_NE(key.vkCode, VkEscape);
    EXPECT_EQ(typedText(), "cdl ok");
    // Escape with nothing under way is the application's.
    down(VkEscape);
    EXPECT_EQ(target.back().vkCode, VkEscape);
}

// Keys typed for one window are never given back into another: Ctrl+A and
// Backspace for notepad, then a click into WordPad, erase nothing there; the
// Ctrl's release still goes back, so that nothing stays down.
TEST_F(Engine, KeysTypedForAnotherWindowAreDropped) {
    type("cdl ");
    type("xyz");
    down(VkLControl);
    down('A');
    up('A');
    up(VkLControl);
    down(0x08);
    up(0x08);
    environment.foregroundNow = kWordPad;
    blockGoesIn();
    ASSERT_EQ(replays.size(), 1u);
    ASSERT_EQ(replays[0].size(), 1u);
    EXPECT_EQ(replays[0][0].vkCode, VkLControl);
    EXPECT_EQ(replays[0][0].message, WmKeyUp);
    // Typed after the click: WordPad's own.
    replayComesBack();
    EXPECT_FALSE(engine.hold().holding());
}

// A block that would keep keys longer than the bound, or fill the room, is
// asked to stop; the keys go back once it has.
TEST_F(Engine, ABlockHoldingKeysTooLongOrTooManyIsStopped) {
    type("cdl ");
    type("a");
    engine.tick(tick + KeyboardEngine::MaxHoldMs - 100);
    EXPECT_FALSE(gate.stopRequested());
    engine.tick(tick + KeyboardEngine::MaxHoldMs);
    EXPECT_TRUE(gate.stopRequested());
    blockGoesIn(false);
    settle();

    runsAfterEachKey = false;
    type(" cdl ");
    EXPECT_FALSE(gate.stopRequested());
    for (std::size_t i = 0; engine.hold().heldCount() < KeyHold::StopBlockAtKeys; ++i) {
        type(i % 2 ? "a" : "b");
    }
    EXPECT_TRUE(gate.stopRequested());
}

// Another program's keys during a hold are its own to order: they go on,
// and count for the guard that drops the block they would garble.
TEST_F(Engine, AnotherProgramsKeysAreNotHeld) {
    type("slt ");
    const std::uint32_t before = counters.userKeyPresses.load();
    down('K', KeyOrigin::OtherProgram);
    EXPECT_EQ(target.back(), (Received{WmKeyDown, 'K', KeyOrigin::OtherProgram}));
    EXPECT_EQ(counters.userKeyPresses.load(), before + 1);
}

// A key held down during a block repeats; only a bounded count of its
// presses is kept, so that autorepeat cannot fill the room.
TEST_F(Engine, AutorepeatIsBounded) {
    type("slt ");
    for (int i = 0; i < 200; ++i) down('A');
    up('A');
    blockGoesIn();
    ASSERT_EQ(replays.size(), 1u);
    EXPECT_EQ(replays[0].size(), 1u + KeyHold::MaxRepeats + 1);
}

}  // namespace
}  // namespace calmirande
