#include "engine/expansion_worker.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
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

// A target on a virtual clock: records what reaches it and when, every round
// trip and when it was sent, and what the gate said while typing.
// `tripMicroseconds` is how long the target takes to come back to its loop
// (its lag); `tripFailsAt` makes that round trip (0-based, counted over the
// delivery) time out, like a target that hangs.
class RecordingPoster final : public MessagePoster {
public:
    explicit RecordingPoster(Window focus, ExpansionGate* gate = nullptr) : focus_(focus), gate_(gate) {}

    Window focusedWindow() override { return focus_; }
    bool awaitPendingInput(Window window) override {
        const std::lock_guard lock(mutex_);
        awaited.push_back({window, posted.size()});
        clock += pendingInputMicroseconds;
        return pendingInputAnswers;
    }
    void post(Window window, const PlannedMessage& message) override {
        const std::lock_guard lock(mutex_);
        posted.push_back(message);
        postedAt.push_back(clock);
        windows.push_back(window);
        if (gate_ && gate_->captureAllowed()) captureAllowedWhileTyping = true;
        if (onPost) onPost();
    }
    bool roundTrip(Window) override {
        const std::lock_guard lock(mutex_);
        trips.push_back({posted.size() - 1, clock});
        if (tripFailsAt && *tripFailsAt == trips.size() - 1) {
            clock += 250'000;
            return false;
        }
        clock += tripMicroseconds;
        return true;
    }
    std::int64_t nowMicroseconds() override {
        const std::lock_guard lock(mutex_);
        return clock;
    }
    void waitMicroseconds(std::int64_t microseconds) override {
        const std::lock_guard lock(mutex_);
        EXPECT_GT(microseconds, 0);
        waited += microseconds;
        clock += microseconds;
    }
    // With `showsCaret`, the target shows a caret that moves as it takes
    // each message (an edit control), at once or, for message `lateMessage`,
    // `lateMicroseconds` after its post; `caretNeverMoves` keeps it still.
    std::optional<CaretPosition> caret(Window) override {
        const std::lock_guard lock(mutex_);
        if (!showsCaret) return std::nullopt;
        ++caretReads;
        if (caretNeverMoves) return CaretPosition{0, 0};
        std::int32_t moves = 0;
        for (std::size_t i = 0; i < postedAt.size(); ++i) {
            moves += clock >= postedAt[i] + (i == lateMessage ? lateMicroseconds : 0) ? 1 : 0;
        }
        return CaretPosition{moves, 0};
    }

    struct Trip {
        std::size_t after;      // index of the last message posted before it
        std::int64_t sentAt;
    };

    std::vector<std::pair<Window, std::size_t>> awaited;  // window, messages posted before
    std::vector<PlannedMessage> posted;
    std::vector<std::int64_t> postedAt;
    std::vector<Trip> trips;
    std::vector<Window> windows;
    std::int64_t clock = 0;
    std::int64_t waited = 0;
    std::int64_t tripMicroseconds = 200;
    std::int64_t pendingInputMicroseconds = 15'000;
    bool pendingInputAnswers = true;
    std::optional<std::size_t> tripFailsAt;
    bool showsCaret = false;
    std::size_t lateMessage = SIZE_MAX;
    std::int64_t lateMicroseconds = 0;
    bool caretNeverMoves = false;
    int caretReads = 0;
    bool captureAllowedWhileTyping = false;
    std::function<void()> onPost;

private:
    std::mutex mutex_;
    Window focus_;
    ExpansionGate* gate_;
};

std::int64_t waitOf(const PlannedMessage& message) { return std::int64_t{message.waitMs} * 1000; }

// The pause the barrier gives message i after its first answer.
std::int64_t pauseAfter(const std::vector<PlannedMessage>& messages, std::size_t i) {
    const bool transition =
        messages[i].kind == MessageKind::KeyDown && i + 1 < messages.size() && !(messages[i + 1] == messages[i]);
    return transition ? BarrierTransitionPauseMicroseconds : BarrierPauseMicroseconds;
}

TEST(ExpansionWorker, PostsThePlanToTheFocusedWindowWithItsWaits) {
    ExpansionGate gate;
    RecordingPoster poster(0x1234, &gate);
    const auto table = tableOf(u"am", u"à mon avis");
    EXPECT_TRUE(runExpansion(u"am", VkSpace, *table, gate, poster));
    EXPECT_EQ(poster.posted, planExpansion(u"am", VkSpace, *table)->messages);
    EXPECT_EQ(poster.windows, std::vector<MessagePoster::Window>(poster.posted.size(), 0x1234));
    // The target's pending keys are awaited once, before anything is posted.
    EXPECT_EQ(poster.awaited, (std::vector<std::pair<MessagePoster::Window, std::size_t>>{{0x1234, 0}}));
    EXPECT_FALSE(poster.captureAllowedWhileTyping);
    EXPECT_TRUE(gate.captureAllowed());
}

// Each message is followed by a round trip at once, and by a second one only
// once its wait has passed: between the two the target has the whole pace to
// take the message, so both cannot be answered before it does.
TEST(ExpansionWorker, EveryMessageIsFollowedByTwoRoundTripsThePaceBetweenThem) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    const auto plan = runExpansion(u"am", VkSpace, *tableOf(u"am", u"a\r\nb"), gate, poster);
    ASSERT_TRUE(plan);
    const auto& messages = plan->messages;
    ASSERT_EQ(poster.trips.size(), 2 * messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const RecordingPoster::Trip& first = poster.trips[2 * i];
        const RecordingPoster::Trip& second = poster.trips[2 * i + 1];
        EXPECT_EQ(first.after, i);
        EXPECT_EQ(first.sentAt, poster.postedAt[i]);
        EXPECT_EQ(second.after, i);
        // A key-down followed by a message of another kind (the last
        // Backspace, the line break) waits the longer pause; the ending
        // key's 1 ms is shorter than the plain one.
        EXPECT_EQ(second.sentAt, poster.postedAt[i] + std::max(waitOf(messages[i]), 200 + pauseAfter(messages, i)))
            << "message " << i;
    }
}

// A target slower than the pace answers the first round trip after the
// message's wait: the second still waits for the pause, or both could be
// answered by the same retrieval. Left arrows make no character: no pause.
TEST(ExpansionWorker, SecondRoundTripAlwaysWaitsThePauseAfterTheFirstAnswer) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.tripMicroseconds = 12'000;
    const auto plan = runExpansion(u"c", VkSpace, *tableOf(u"c", u"a(*1)b"), gate, poster);
    ASSERT_TRUE(plan);
    const auto& messages = plan->messages;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::int64_t firstAnswered = poster.trips[2 * i].sentAt + 12'000;
        const bool leftArrow = messages[i] == PlannedMessage{MessageKind::KeyDown, VkLeft, CaretWaitMs};
        // The last Backspace, followed by the text's first character.
        const bool lastBackspace = i == 1;
        const std::int64_t pause =
            leftArrow ? 0 : lastBackspace ? BarrierTransitionPauseMicroseconds : BarrierPauseMicroseconds;
        EXPECT_EQ(poster.trips[2 * i + 1].sentAt, firstAnswered + pause) << "message " << i;
    }
}

// An idle target answers at once: each message comes its wait plus one round
// trip after the one before, except after the last Backspace and the line
// break, which wait the longer pause.
TEST(ExpansionWorker, IdleTargetGetsThePlansPacePlusOneRoundTrip) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    const auto plan = runExpansion(u"am", VkReturn, *tableOf(u"am", u"xy\r\nz"), gate, poster);
    ASSERT_TRUE(plan);
    const auto& messages = plan->messages;
    std::size_t longer = 0;
    for (std::size_t i = 1; i < poster.postedAt.size(); ++i) {
        const std::int64_t pause = pauseAfter(messages, i - 1);
        if (pause == BarrierTransitionPauseMicroseconds) ++longer;
        EXPECT_EQ(poster.postedAt[i] - poster.postedAt[i - 1], std::max(waitOf(messages[i - 1]), 200 + pause) + 200)
            << "message " << i;
    }
    EXPECT_EQ(longer, 2u);
}

// A target slower than the pace sets its own: its lag twice and the pause.
TEST(ExpansionWorker, SlowTargetSetsThePace) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.tripMicroseconds = 12'000;
    const auto plan = runExpansion(u"am", VkReturn, *tableOf(u"am", u"xyz"), gate, poster);
    ASSERT_TRUE(plan);
    for (std::size_t i = 1; i < poster.postedAt.size(); ++i) {
        EXPECT_EQ(poster.postedAt[i] - poster.postedAt[i - 1], 24'000 + pauseAfter(plan->messages, i - 1));
    }
}

// A target that stops answering costs one timed-out round trip; the rest of
// the plan goes at the plain pace, so the capture is not held closed.
TEST(ExpansionWorker, TargetThatStopsAnsweringGetsTheRestAtThePlainPace) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.tripFailsAt = 4;  // the first round trip after the third message
    const auto plan = runExpansion(u"am", VkSpace, *tableOf(u"am", u"abcdef"), gate, poster);
    ASSERT_TRUE(plan);
    EXPECT_EQ(poster.trips.size(), 5u);
    EXPECT_EQ(poster.posted, plan->messages);
    for (std::size_t i = 4; i < poster.postedAt.size(); ++i) {
        EXPECT_EQ(poster.postedAt[i] - poster.postedAt[i - 1], waitOf(plan->messages[i - 1]));
    }
    std::int64_t floor = 0;
    for (const PlannedMessage& message : plan->messages) floor += waitOf(message);
    // One timed-out round trip over the pace (it outlasts the third message's
    // wait), and the two answered ones after each of the first two messages.
    EXPECT_EQ(poster.clock, poster.pendingInputMicroseconds + floor + 250'000 - 5'000 + 2 * 200);
}

// A target that answers round trips from a wait nested inside its handling of
// another message: only its caret shows when it has taken the last
// Backspace's character. The text waits for it at that one place.
TEST(ExpansionWorker, TextWaitsForTheCaretToMoveAfterTheLastBackspace) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.showsCaret = true;
    poster.lateMessage = 2;  // messages: 3 Backspaces, x, y, Space
    poster.lateMicroseconds = 30'000;
    const auto plan = runExpansion(u"am", VkSpace, *tableOf(u"am", u"xy"), gate, poster);
    ASSERT_TRUE(plan);
    // The caret is looked at every millisecond.
    EXPECT_GE(poster.postedAt[3] - poster.postedAt[2], 30'000);
    EXPECT_LT(poster.postedAt[3] - poster.postedAt[2], 31'000);
    EXPECT_EQ(poster.postedAt[2] - poster.postedAt[1], 5'200);
    EXPECT_EQ(poster.postedAt[4] - poster.postedAt[3], 5'200);
}

TEST(ExpansionWorker, CaretThatNeverMovesHoldsTheTextForTheBoundOnly) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.showsCaret = true;
    poster.caretNeverMoves = true;
    const auto plan = runExpansion(u"am", VkSpace, *tableOf(u"am", u"xy"), gate, poster);
    ASSERT_TRUE(plan);
    const std::int64_t afterSecondTrip = poster.postedAt[2] + 200 + BarrierTransitionPauseMicroseconds + 200;
    EXPECT_EQ(poster.postedAt[3], afterSecondTrip + CaretMoveTimeoutMicroseconds);
}

TEST(ExpansionWorker, NoCaretMeansNoCaretWait) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    const auto plan = runExpansion(u"am", VkReturn, *tableOf(u"am", u"a\r\nb"), gate, poster);
    ASSERT_TRUE(plan);
    EXPECT_EQ(poster.caretReads, 0);
    EXPECT_EQ(poster.postedAt[3] - poster.postedAt[2], 200 + BarrierTransitionPauseMicroseconds + 200);
}

TEST(ExpansionWorker, NoAnswerBeforeTheFirstMessageMeansNoRoundTripAtAll) {
    ExpansionGate gate;
    RecordingPoster poster(1);
    poster.pendingInputAnswers = false;
    const auto plan = runExpansion(u"am", VkSpace, *tableOf(u"am", u"abc"), gate, poster);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(poster.trips.empty());
    EXPECT_EQ(poster.posted, plan->messages);
}

TEST(ExpansionWorker, OutcomeSaysWhetherTheOrderWasKeptToTheEnd) {
    const auto plan = planExpansion(u"am", VkSpace, *tableOf(u"am", u"abc"));
    ASSERT_TRUE(plan);
    RecordingPoster answering(1);
    const DeliveryOutcome kept = deliverPlan(*plan, answering);
    EXPECT_TRUE(kept.delivered);
    EXPECT_TRUE(kept.orderedThroughout);
    RecordingPoster hanging(1);
    hanging.tripFailsAt = 0;
    EXPECT_FALSE(deliverPlan(*plan, hanging).orderedThroughout);
    RecordingPoster nowhere(0);
    EXPECT_FALSE(deliverPlan(*plan, nowhere).delivered);
}

TEST(ExpansionWorker, NoFocusWindowPostsNothingAndReopensTheGate) {
    ExpansionGate gate;
    RecordingPoster poster(0);
    EXPECT_TRUE(runExpansion(u"am", VkSpace, *tableOf(u"am", u"x"), gate, poster));
    EXPECT_TRUE(poster.posted.empty());
    EXPECT_TRUE(poster.awaited.empty());
    EXPECT_TRUE(gate.captureAllowed());
}

TEST(ExpansionWorker, UnknownWordLeavesTheGateAlone) {
    ExpansionGate gate;
    RecordingPoster poster(0x1234);
    gate.beginTyping();  // another expansion is typing
    EXPECT_FALSE(runExpansion(u"zz", VkSpace, *tableOf(u"am", u"x"), gate, poster));
    EXPECT_TRUE(gate.typing());
    gate.endTyping();
    EXPECT_TRUE(poster.posted.empty());
}

TEST(ExpansionWorker, SwitchTurnedOffWhileTypingStaysOff) {
    ExpansionGate gate;
    RecordingPoster poster(0x1234, &gate);
    poster.onPost = [&] { gate.setExpansionActive(false); };  // the user unticks the tray item meanwhile
    runExpansion(u"am", VkSpace, *tableOf(u"am", u"x"), gate, poster);
    EXPECT_FALSE(gate.expansionActive());
    EXPECT_FALSE(gate.captureAllowed());
}

TEST(ExpansionWorker, CaptureStaysClosedUntilTheLastOfTwoExpansionsEnds) {
    ExpansionGate gate;
    gate.beginTyping();
    RecordingPoster poster(0x1234, &gate);
    runExpansion(u"am", VkSpace, *tableOf(u"am", u"x"), gate, poster);
    EXPECT_FALSE(poster.captureAllowedWhileTyping);
    EXPECT_FALSE(gate.captureAllowed());
    gate.endTyping();
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
                RecordingPoster poster(1, &gate);
                runExpansion(u"am", VkSpace, *table, gate, poster);
                const std::u16string* text = table->find(u"am");
                // A snapshot taken before the first publish is empty; after, it is whole.
                if (text && (table->size() != 201 || poster.posted.size() != 3 + text->size() + 1)) ++mismatches;
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
