#include "engine/expansion_worker.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace calmirande {
namespace {

std::shared_ptr<const ExpansionTable> tableOf(std::u16string key, std::u16string text) {
    ExpansionTable::Builder builder;
    builder.set(std::move(key), std::move(text));
    return std::move(builder).build();
}

constexpr FocusTarget kNotepad{0x100, 0x200};

// The input stream on a virtual clock: what the user does meanwhile is
// scripted by `onWait` (called at each wait) and the fields below; records
// every block sent and what the gate said then.
class FakeSink final : public InputSink {
public:
    explicit FakeSink(FocusTarget focus = kNotepad, ExpansionGate* gate = nullptr) : focusNow(focus), gate_(gate) {}

    FocusTarget focus() override { return focusNow; }
    std::uint32_t userKeyPresses() override { return keyPresses; }
    ModifierKeys modifiers() override { return modifiersNow; }
    PacketSupport packetSupport() override { return packets; }
    std::optional<LayoutKey> keyFor(char16_t unit) override {
        if (unit >= u'a' && unit <= u'z') return LayoutKey{static_cast<std::uint16_t>(unit - u'a' + 'A'), false, false};
        return std::nullopt;
    }
    std::size_t send(const std::vector<InputEvent>& events) override {
        sent.push_back(events);
        if (gate_) captureAllowedWhileSending = gate_->captureAllowed();
        return acceptAtMost ? std::min(*acceptAtMost, events.size()) : events.size();
    }
    std::int64_t nowMicroseconds() override { return now; }
    void waitMicroseconds(std::int64_t microseconds) override {
        now += microseconds;
        if (onWait) onWait();
    }

    FocusTarget focusNow;
    std::uint32_t keyPresses = 7;
    ModifierKeys modifiersNow;
    PacketSupport packets = PacketSupport::All;
    std::optional<std::size_t> acceptAtMost;
    std::function<void()> onWait;
    std::int64_t now = 1'000'000;
    std::vector<std::vector<InputEvent>> sent;
    bool captureAllowedWhileSending = true;

private:
    ExpansionGate* gate_;
};

CompletedWord wordOf(std::u16string word, std::uint32_t trigger = VkSpace) {
    CompletedWord completed{std::move(word), trigger, {}};
    completed.end = WordEnd{kNotepad, 7, 0, {}};
    return completed;
}

// The hook began the expansion at the ending key; runExpansion ends it.
std::optional<ExpansionPlan> expand(const CompletedWord& word, const ExpansionTable& table, ExpansionGate& gate,
                                    InputSink& sink, DeliveryResult* result = nullptr) {
    gate.beginTyping();
    return runExpansion(word, table, gate, sink, result);
}

// ---- the decision, one look at a time

struct VerdictCase {
    const char* name;
    FocusTarget focusNow;
    std::uint32_t keyPressesNow;
    ModifierKeys modifiers;
    bool waitOver;
    DeliveryVerdict expected;
    friend void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }
};

class JudgeDelivery : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(JudgeDelivery, SendsOnlyWhenNothingChanged) {
    const VerdictCase& c = GetParam();
    const WordEnd end{kNotepad, 7, 0, {}};
    EXPECT_EQ(judgeDelivery(end, c.focusNow, c.keyPressesNow, c.modifiers, c.waitOver), c.expected);
}

ModifierKeys only(bool ModifierKeys::*key) {
    ModifierKeys keys;
    keys.*key = true;
    return keys;
}

INSTANTIATE_TEST_SUITE_P(
    Engine, JudgeDelivery,
    ::testing::Values(
        VerdictCase{"Unchanged", kNotepad, 7, {}, false, DeliveryVerdict::Send},
        VerdictCase{"LeftShiftHeld", kNotepad, 7, only(&ModifierKeys::leftShift), false, DeliveryVerdict::Send},
        VerdictCase{"RightShiftHeld", kNotepad, 7, only(&ModifierKeys::rightShift), false, DeliveryVerdict::Send},
        VerdictCase{"TypedOn", kNotepad, 8, {}, false, DeliveryVerdict::DropTypedOn},
        VerdictCase{"OtherForeground", {0x101, 0x200}, 7, {}, false, DeliveryVerdict::DropFocusChanged},
        VerdictCase{"OtherControl", {0x100, 0x201}, 7, {}, false, DeliveryVerdict::DropFocusChanged},
        VerdictCase{"NoFocus", {0x100, 0}, 7, {}, false, DeliveryVerdict::DropNoFocus},
        VerdictCase{"NoForeground", {0, 0}, 7, {}, false, DeliveryVerdict::DropNoFocus},
        VerdictCase{"ControlHeldWaits", kNotepad, 7, only(&ModifierKeys::control), false, DeliveryVerdict::Wait},
        VerdictCase{"AltHeldWaits", kNotepad, 7, only(&ModifierKeys::alt), false, DeliveryVerdict::Wait},
        VerdictCase{"WindowsHeldWaits", kNotepad, 7, only(&ModifierKeys::windows), false, DeliveryVerdict::Wait},
        VerdictCase{"ControlHeldPastTheBound", kNotepad, 7, only(&ModifierKeys::control), true,
                    DeliveryVerdict::DropModifiersHeld},
        // A key typed on wins over a modifier: waiting would not help.
        VerdictCase{"TypedOnWithControl", kNotepad, 8, only(&ModifierKeys::control), false,
                    DeliveryVerdict::DropTypedOn}),
    testing::CaseName{});

// ---- the block as it goes in

TEST(BlockToSend, IsThePlanWhenNoShiftIsHeld) {
    const auto plan = planExpansion(u"am", VkSpace, *tableOf(u"am", u"x"));
    ASSERT_TRUE(plan);
    EXPECT_EQ(blockToSend(*plan, {}), plan->events);
}

struct ShiftCase {
    const char* name;
    ModifierKeys held;
    std::vector<std::uint16_t> shifts;  // released first, pressed again last
    friend void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.name; }
};
class BlockWithShift : public ::testing::TestWithParam<ShiftCase> {};
TEST_P(BlockWithShift, ReleasesItFirstAndPressesItAgainLast) {
    const auto plan = planExpansion(u"CDL", VkSpace, *tableOf(u"cdl", u"(*1)ab"));
    ASSERT_TRUE(plan);
    const std::vector<InputEvent> block = blockToSend(*plan, GetParam().held);
    const std::size_t n = GetParam().shifts.size();
    ASSERT_EQ(block.size(), plan->events.size() + 2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(block[i], (InputEvent{InputKind::VirtualKey, GetParam().shifts[i], true}));
        EXPECT_EQ(block[block.size() - n + i], (InputEvent{InputKind::VirtualKey, GetParam().shifts[i], false}));
    }
    EXPECT_TRUE(std::equal(plan->events.begin(), plan->events.end(), block.begin() + static_cast<std::ptrdiff_t>(n)));
}
INSTANTIATE_TEST_SUITE_P(
    Engine, BlockWithShift,
    ::testing::Values(ShiftCase{"Left", only(&ModifierKeys::leftShift), {0xA0}},
                      ShiftCase{"Right", only(&ModifierKeys::rightShift), {0xA1}},
                      ShiftCase{"Both", ModifierKeys{true, true, false, false, false}, {0xA0, 0xA1}}),
    testing::CaseName{});

// ---- the whole worker

TEST(ExpansionWorker, SendsThePlanAsOneBlockWithCaptureClosed) {
    ExpansionGate gate;
    FakeSink sink(kNotepad, &gate);
    DeliveryResult result = DeliveryResult::NoFocus;
    const auto plan = expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink, &result);
    ASSERT_TRUE(plan);
    EXPECT_EQ(result, DeliveryResult::Sent);
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], plan->events);
    EXPECT_FALSE(sink.captureAllowedWhileSending);
    EXPECT_TRUE(gate.captureAllowed());
}

// The block's Shift goes by the Shift the target had at the ending key (the
// hook's record), never by the system's state when the block goes in: the
// user's keys after the ending key are held, and a copy of the physical keys
// (Wine's X key state) may show a Shift the target has not been given.
struct WordEndShiftCase {
    const char* name;
    ModifierKeys atWordEnd;
    ModifierKeys systemNow;
    bool wrapped;
    friend void PrintTo(const WordEndShiftCase& c, std::ostream* os) { *os << c.name; }
};
class ExpansionWorkerShift : public ::testing::TestWithParam<WordEndShiftCase> {};
TEST_P(ExpansionWorkerShift, WrapsTheBlockInTheShiftOfTheWordEnd) {
    ExpansionGate gate;
    FakeSink sink;
    sink.modifiersNow = GetParam().systemNow;
    CompletedWord word = wordOf(u"CDL");
    word.end.modifiers = GetParam().atWordEnd;
    const auto plan = expand(word, *tableOf(u"cdl", u"Cordialement, "), gate, sink);
    ASSERT_TRUE(plan);
    ASSERT_EQ(sink.sent.size(), 1u);
    const std::vector<InputEvent>& block = sink.sent[0];
    if (GetParam().wrapped) {
        EXPECT_EQ(block.front(), (InputEvent{InputKind::VirtualKey, 0xA0, true}));
        EXPECT_EQ(block.back(), (InputEvent{InputKind::VirtualKey, 0xA0, false}));
    } else {
        EXPECT_EQ(block, plan->events);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Engine, ExpansionWorkerShift,
    ::testing::Values(
        WordEndShiftCase{"StillDown", only(&ModifierKeys::leftShift), only(&ModifierKeys::leftShift), true},
        // Let go after the Space: the release is held, the target still has it down.
        WordEndShiftCase{"ReleasedSinceAndHeld", only(&ModifierKeys::leftShift), {}, true},
        // Pressed after the Space for the next capital: held, not the block's.
        WordEndShiftCase{"PressedSinceAndHeld", {}, only(&ModifierKeys::leftShift), false}),
    testing::CaseName{});

struct DropCase {
    const char* name;
    std::function<void(FakeSink&)> meanwhile;  // what the user did since the ending key
    DeliveryResult expected;
    friend void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }
};
class ExpansionWorkerDrops : public ::testing::TestWithParam<DropCase> {};
TEST_P(ExpansionWorkerDrops, SendsNothingAndReopensCapture) {
    ExpansionGate gate;
    FakeSink sink;
    GetParam().meanwhile(sink);
    DeliveryResult result = DeliveryResult::Sent;
    EXPECT_TRUE(expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink, &result));
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_TRUE(gate.captureAllowed());
}
INSTANTIATE_TEST_SUITE_P(
    Engine, ExpansionWorkerDrops,
    ::testing::Values(
        DropCase{"KeyTypedOn", [](FakeSink& s) { s.keyPresses = 8; }, DeliveryResult::TypedOn},
        DropCase{"FocusMoved", [](FakeSink& s) { s.focusNow.focus = 0x300; }, DeliveryResult::FocusChanged},
        DropCase{"OtherWindow", [](FakeSink& s) { s.focusNow = {0x400, 0x401}; }, DeliveryResult::FocusChanged},
        DropCase{"NoFocus", [](FakeSink& s) { s.focusNow = {}; }, DeliveryResult::NoFocus},
        DropCase{"ControlNeverReleased", [](FakeSink& s) { s.modifiersNow.control = true; },
                 DeliveryResult::ModifiersHeld},
        // A key pressed while the delivery waits for Alt: the wait ends there.
        DropCase{"KeyTypedWhileWaitingForAlt",
                 [](FakeSink& s) {
                     s.modifiersNow.alt = true;
                     s.onWait = [&s] { s.keyPresses = 8; };
                 },
                 DeliveryResult::TypedOn},
        DropCase{"FocusMovedWhileWaitingForWindows",
                 [](FakeSink& s) {
                     s.modifiersNow.windows = true;
                     s.onWait = [&s] { s.focusNow = {0x500, 0x501}; };
                 },
                 DeliveryResult::FocusChanged}),
    testing::CaseName{});

// A console that drops packets gets keys, or nothing when a character has
// none: the word stays as typed rather than erased for a text that never comes.
TEST(ExpansionWorker, ATargetWithoutPacketsGetsKeysOrNothing) {
    ExpansionGate gate;
    FakeSink sink;
    sink.packets = PacketSupport::None;
    DeliveryResult result = DeliveryResult::NoFocus;
    expand(wordOf(u"am"), *tableOf(u"am", u"merci"), gate, sink, &result);
    EXPECT_EQ(result, DeliveryResult::Sent);
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(std::count_if(sink.sent[0].begin(), sink.sent[0].end(),
                            [](const InputEvent& e) { return e.kind == InputKind::Unicode; }),
              0);
    EXPECT_EQ(sink.sent[0].size(), 2u * (3 + 5 + 1));

    sink.sent.clear();
    expand(wordOf(u"am"), *tableOf(u"am", u"déjà"), gate, sink, &result);
    EXPECT_EQ(result, DeliveryResult::Untypable);
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_TRUE(gate.captureAllowed());
}

TEST(ExpansionWorker, ControlHeldWaitsForItsReleaseWithinTheBound) {
    ExpansionGate gate;
    FakeSink sink;
    sink.modifiersNow.control = true;
    const std::int64_t start = sink.now;
    sink.onWait = [&] {
        if (sink.now - start >= 60'000) sink.modifiersNow.control = false;
    };
    DeliveryResult result = DeliveryResult::NoFocus;
    expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink, &result);
    EXPECT_EQ(result, DeliveryResult::Sent);
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_GE(sink.now - start, 60'000);
    EXPECT_LT(sink.now - start, 60'000 + ModifierPollMicroseconds + 1);
}

TEST(ExpansionWorker, ControlHeldDropsAtTheBoundNotBefore) {
    ExpansionGate gate;
    FakeSink sink;
    sink.modifiersNow.control = true;
    const std::int64_t start = sink.now;
    DeliveryResult result = DeliveryResult::Sent;
    expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink, &result);
    EXPECT_EQ(result, DeliveryResult::ModifiersHeld);
    EXPECT_GE(sink.now - start, ModifierReleaseTimeoutMicroseconds);
    EXPECT_LT(sink.now - start, ModifierReleaseTimeoutMicroseconds + ModifierPollMicroseconds + 1);
}

TEST(ExpansionWorker, FewerEventsInsertedIsReportedAndNotRetried) {
    ExpansionGate gate;
    FakeSink sink;
    sink.acceptAtMost = 0;  // a window of higher privilege has the focus
    DeliveryResult result = DeliveryResult::Sent;
    expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink, &result);
    EXPECT_EQ(result, DeliveryResult::Incomplete);
    EXPECT_EQ(sink.sent.size(), 1u);
    EXPECT_TRUE(gate.captureAllowed());
}

// A long text goes in a bounded number of events a call, in order, with the
// focus looked at between two calls.
TEST(ExpansionWorker, LongTextGoesInWholeInBoundedCalls) {
    ExpansionGate gate;
    FakeSink sink;
    const std::u16string text(20'000, u'x');
    const auto plan = expand(wordOf(u"long"), *tableOf(u"long", text), gate, sink);
    ASSERT_TRUE(plan);
    std::vector<InputEvent> joined;
    for (const std::vector<InputEvent>& call : sink.sent) {
        EXPECT_LE(call.size(), MaxEventsPerCall);
        joined.insert(joined.end(), call.begin(), call.end());
    }
    EXPECT_EQ(sink.sent.size(), (plan->events.size() + MaxEventsPerCall - 1) / MaxEventsPerCall);
    EXPECT_EQ(joined, plan->events);
}

// The user clicks into another window while a long text goes in: the rest
// is not typed there. A text that fits one call never looks again.
TEST(ExpansionWorker, FocusMovedDuringALongTextStopsTheRest) {
    struct Case {
        std::size_t textLength;
        std::size_t callsBeforeTheMove;
        DeliveryResult result;
        std::size_t calls;
        bool stopInstead = false;  // the hook asks the block to stop (Escape) rather than the focus moving
    };
    const std::vector<Case> cases = {
        {5'000, 1, DeliveryResult::FocusLost, 1},
        {5'000, 3, DeliveryResult::FocusLost, 3},
        {100, 1, DeliveryResult::Sent, 1},
        {5'000, 2, DeliveryResult::Stopped, 2, true},
        {100, 0, DeliveryResult::Sent, 1, true},  // one call: nothing left to stop
    };
    for (const Case& c : cases) {
        ExpansionGate gate;
        struct MovingSink final : InputSink {
            FocusTarget focus() override {
                return !stopInstead && sent >= movesAfter ? FocusTarget{0x900, 0x901} : kNotepad;
            }
            bool stopRequested() override { return stopInstead && sent >= movesAfter; }
            std::uint32_t userKeyPresses() override { return 7; }
            ModifierKeys modifiers() override { return {}; }
            std::size_t send(const std::vector<InputEvent>& events) override {
                ++sent;
                return events.size();
            }
            std::int64_t nowMicroseconds() override { return 0; }
            void waitMicroseconds(std::int64_t) override {}
            std::size_t movesAfter = 0;
            std::size_t sent = 0;
            bool stopInstead = false;
        } sink;
        sink.movesAfter = c.callsBeforeTheMove;
        sink.stopInstead = c.stopInstead;
        DeliveryResult result = DeliveryResult::Sent;
        expand(wordOf(u"long"), *tableOf(u"long", std::u16string(c.textLength, u'x')), gate, sink, &result);
        EXPECT_EQ(result, c.result) << c.textLength << " / " << c.callsBeforeTheMove;
        EXPECT_EQ(sink.sent, c.calls) << c.textLength << " / " << c.callsBeforeTheMove;
        EXPECT_TRUE(gate.captureAllowed());
    }
}

TEST(ExpansionWorker, UnknownWordSendsNothingAndReopensCapture) {
    ExpansionGate gate;
    FakeSink sink;
    EXPECT_FALSE(expand(wordOf(u"zz"), *tableOf(u"am", u"x"), gate, sink));
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_TRUE(gate.captureAllowed());
}

TEST(ExpansionWorker, SwitchTurnedOffWhileTypingStaysOff) {
    ExpansionGate gate;
    FakeSink sink(kNotepad, &gate);
    sink.modifiersNow.control = true;
    sink.onWait = [&] {
        gate.setExpansionActive(false);  // the user unticks the tray item meanwhile
        sink.modifiersNow.control = false;
    };
    expand(wordOf(u"am"), *tableOf(u"am", u"x"), gate, sink);
    EXPECT_FALSE(gate.expansionActive());
    EXPECT_FALSE(gate.captureAllowed());
}

TEST(ExpansionWorker, ExceptionFromThePlanStillReopensCapture) {
    ExpansionGate gate;
    FakeSink sink;
    gate.beginTyping();
    struct Throwing final : InputSink {
        FocusTarget focus() override { throw std::bad_alloc(); }
        std::uint32_t userKeyPresses() override { return 7; }
        ModifierKeys modifiers() override { return {}; }
        std::size_t send(const std::vector<InputEvent>&) override { return 0; }
        std::int64_t nowMicroseconds() override { return 0; }
        void waitMicroseconds(std::int64_t) override {}
    } throwing;
    EXPECT_THROW(runExpansion(wordOf(u"am"), *tableOf(u"am", u"x"), gate, throwing), std::bad_alloc);
    EXPECT_TRUE(gate.captureAllowed());
}

// Workers read snapshots while the main thread keeps publishing new tables:
// each worker sees one whole table (run under ThreadSanitizer in CI).
TEST(ExpansionWorker, SnapshotsStayWholeWhileTheMainThreadReloads) {
    ExpansionTableSlot slot;
    ExpansionGate gate;
    std::atomic<bool> stop{false};
    std::thread reloader([&] {
        for (int generation = 0; !stop.load(); ++generation) {
            ExpansionTable::Builder builder(200);
            const std::u16string text(static_cast<std::size_t>(generation % 7 + 1), u'x');
            for (int i = 0; i < 200; ++i) builder.set(u"k" + std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(i), text);
            builder.set(u"am", text);
            slot.publish(std::move(builder).build());
        }
    });
    std::vector<std::thread> workers;
    std::atomic<int> mismatches{0};
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                const auto table = slot.snapshot();
                FakeSink sink(kNotepad, &gate);
                expand(wordOf(u"am"), *table, gate, sink);
                const std::u16string* text = table->find(u"am");
                // A snapshot taken before the first publish is empty; after, it is whole.
                if (text && (table->size() != 201 || sink.sent.size() != 1 ||
                             sink.sent[0].size() != 2 * (3 + text->size() + 1))) {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& worker : workers) worker.join();
    stop = true;
    reloader.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_TRUE(gate.captureAllowed());
}

}  // namespace
}  // namespace calmirande
