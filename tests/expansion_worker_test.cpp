#include "engine/expansion_worker.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace calmirande {
namespace {

std::shared_ptr<const ExpansionTable> tableOf(std::u16string key, std::u16string text) {
    ExpansionTable::Builder builder;
    builder.set(std::move(key), std::move(text));
    return std::move(builder).build();
}

// Records what would reach the target, and what the gate said while typing.
class RecordingPoster final : public MessagePoster {
public:
    explicit RecordingPoster(Window focus, ExpansionGate* gate = nullptr) : focus_(focus), gate_(gate) {}

    Window focusedWindow() override { return focus_; }
    void awaitPendingInput(Window window) override {
        const std::lock_guard lock(mutex_);
        awaited.push_back({window, posted.size()});
    }
    void post(Window window, const PlannedMessage& message) override {
        const std::lock_guard lock(mutex_);
        posted.push_back(message);
        windows.push_back(window);
        if (gate_ && gate_->captureAllowed()) captureAllowedWhileTyping = true;
        if (onPost) onPost();
    }
    void wait(std::uint32_t milliseconds) override {
        const std::lock_guard lock(mutex_);
        waited += milliseconds;
    }

    std::vector<std::pair<Window, std::size_t>> awaited;  // window, messages posted before
    std::vector<PlannedMessage> posted;
    std::vector<Window> windows;
    std::uint32_t waited = 0;
    bool captureAllowedWhileTyping = false;
    std::function<void()> onPost;

private:
    std::mutex mutex_;
    Window focus_;
    ExpansionGate* gate_;
};

TEST(ExpansionWorker, PostsThePlanToTheFocusedWindowWithItsWaits) {
    ExpansionGate gate;
    RecordingPoster poster(0x1234, &gate);
    const auto table = tableOf(u"am", u"à mon avis");
    EXPECT_TRUE(runExpansion(u"am", VkSpace, *table, gate, poster));
    EXPECT_EQ(poster.posted, planExpansion(u"am", VkSpace, *table)->messages);
    EXPECT_EQ(poster.windows, std::vector<MessagePoster::Window>(poster.posted.size(), 0x1234));
    EXPECT_EQ(poster.waited, 5u * (2 + 1 + 10) + 1);
    // The target's pending keys are awaited once, before anything is posted.
    EXPECT_EQ(poster.awaited, (std::vector<std::pair<MessagePoster::Window, std::size_t>>{{0x1234, 0}}));
    EXPECT_FALSE(poster.captureAllowedWhileTyping);
    EXPECT_TRUE(gate.captureAllowed());
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
