#include "engine/hook_follow_up.h"

#include <gtest/gtest.h>

#include <vector>

namespace calmirande {
namespace {

struct Done {
    std::vector<CompletedWord> started;
    std::vector<std::u16string> actions;  // "update:<word>" or "hide"
};

Done runAll(HookFollowUp& followUp) {
    Done done;
    followUp.run([&](CompletedWord word) { done.started.push_back(std::move(word)); },
                 [&](std::u16string_view word) { done.actions.push_back(u"update:" + std::u16string(word)); },
                 [&] { done.actions.push_back(u"hide"); });
    return done;
}

TEST(HookFollowUp, WakesTheLoopOnceUntilItRuns) {
    HookFollowUp followUp;
    EXPECT_FALSE(followUp.takeWake(100));  // nothing to do
    followUp.updateAid(u"bj");
    EXPECT_TRUE(followUp.takeWake(100));
    followUp.updateAid(u"bjr");
    EXPECT_FALSE(followUp.takeWake(105));
    followUp.addWord({u"bjr", 0x20, {}});
    followUp.hideAid();
    EXPECT_FALSE(followUp.takeWake(110));
    EXPECT_TRUE(followUp.pending());
    runAll(followUp);
    EXPECT_FALSE(followUp.pending());
    followUp.addWord({u"am", 0x09, {}});
    EXPECT_TRUE(followUp.takeWake(111));
}

// The wake-up message never reaches the loop (a loop that drops what is not
// its own): a later event wakes it again, and the words wait for it in order.
TEST(HookFollowUp, DroppedWakeUpIsPostedAgainByALaterEvent) {
    HookFollowUp followUp;
    followUp.addWord({u"slt", 0x20, {}});
    ASSERT_TRUE(followUp.takeWake(1000));  // ...and this one is lost
    followUp.updateAid(u"a");
    EXPECT_FALSE(followUp.takeWake(1000 + HookFollowUp::WakeRetryMs - 1));  // may still be on its way
    followUp.addWord({u"bjr", 0x0D, {}});
    EXPECT_TRUE(followUp.takeWake(1000 + HookFollowUp::WakeRetryMs));
    const Done done = runAll(followUp);
    ASSERT_EQ(done.started.size(), 2u);
    EXPECT_EQ(done.started[0].word, u"slt");
    EXPECT_EQ(done.started[1].word, u"bjr");
    // Nothing stays latched: the next event wakes the loop at once.
    followUp.updateAid(u"b");
    EXPECT_TRUE(followUp.takeWake(1000 + HookFollowUp::WakeRetryMs + 1));
}

// Keys of words that select no row, and clicks, only hide the strip: once a
// hide is on its way or done, more of them are no work for the loop.
TEST(HookFollowUp, HidesOfAHiddenStripAreNoWork) {
    HookFollowUp followUp;
    followUp.hideAid();
    EXPECT_TRUE(followUp.takeWake(0));
    followUp.hideAid();
    EXPECT_EQ(runAll(followUp).actions, (std::vector<std::u16string>{u"hide"}));
    followUp.hideAid();
    followUp.hideAid();
    EXPECT_FALSE(followUp.pending());
    EXPECT_FALSE(followUp.takeWake(100));
    followUp.updateAid(u"bj");
    followUp.hideAid();  // after an update the strip may be shown: hide it
    EXPECT_EQ(runAll(followUp).actions, (std::vector<std::u16string>{u"hide"}));
    followUp.updateAid(u"bj");
    runAll(followUp);
    followUp.hideAid();
    EXPECT_TRUE(followUp.pending());
}

TEST(HookFollowUp, FailedPostIsRetriedByTheNextEvent) {
    HookFollowUp followUp;
    followUp.updateAid(u"bj");
    ASSERT_TRUE(followUp.takeWake(50));
    followUp.wakeFailed();
    followUp.updateAid(u"bjr");
    EXPECT_TRUE(followUp.takeWake(51));
}

TEST(HookFollowUp, OverdueWakeUpAcrossTheTickCountWrap) {
    HookFollowUp followUp;
    followUp.hideAid();
    ASSERT_TRUE(followUp.takeWake(0xFFFFFFF0u));
    EXPECT_FALSE(followUp.takeWake(0x00000002u));  // 18 ms later
    EXPECT_TRUE(followUp.takeWake(0x00000004u));   // 20 ms later
}

TEST(HookFollowUp, StartsWordsInOrderAndAppliesOnlyTheLatestStripChange) {
    HookFollowUp followUp;
    followUp.updateAid(u"bj");
    followUp.addWord({u"bjr", 0x20, {}});
    followUp.updateAid(u"");
    followUp.addWord({u"am", 0x0D, {}});
    followUp.hideAid();
    followUp.updateAid(u"fp");
    const Done done = runAll(followUp);
    ASSERT_EQ(done.started.size(), 2u);
    EXPECT_EQ(done.started[0].word, u"bjr");
    EXPECT_EQ(done.started[0].trigger, 0x20u);
    EXPECT_EQ(done.started[1].word, u"am");
    EXPECT_EQ(done.started[1].trigger, 0x0Du);
    EXPECT_EQ(done.actions, (std::vector<std::u16string>{u"update:fp"}));

    followUp.updateAid(u"fpo");
    followUp.hideAid();  // a click after the key: the strip ends hidden
    EXPECT_EQ(runAll(followUp).actions, (std::vector<std::u16string>{u"hide"}));
    EXPECT_TRUE(runAll(followUp).actions.empty());
}

TEST(HookFollowUp, WordsBeyondTheRoomAreDroppedAndTheRingWraps) {
    HookFollowUp followUp;
    for (std::size_t round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < HookFollowUp::MaxPendingWords + 3; ++i) {
            // The hook ends the gate's expansion of a dropped word itself.
            EXPECT_EQ(followUp.addWord({std::u16string(1, char16_t(u'a' + i)), 0x20, {}}),
                      i < HookFollowUp::MaxPendingWords);
        }
        const Done done = runAll(followUp);
        ASSERT_EQ(done.started.size(), HookFollowUp::MaxPendingWords);
        EXPECT_EQ(done.started.front().word, u"a");
        EXPECT_EQ(done.started.back().word, std::u16string(1, char16_t(u'a' + HookFollowUp::MaxPendingWords - 1)));
        followUp.addWord({u"x", 0x20, {}});  // leaves the ring's start elsewhere for the next round
        EXPECT_EQ(runAll(followUp).started.size(), 1u);
    }
}

}  // namespace
}  // namespace calmirande
