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
    EXPECT_TRUE(followUp.updateAid(u"bj"));
    EXPECT_FALSE(followUp.updateAid(u"bjr"));
    EXPECT_FALSE(followUp.addWord({u"bjr", 0x20}));
    EXPECT_FALSE(followUp.hideAid());
    runAll(followUp);
    EXPECT_TRUE(followUp.addWord({u"am", 0x09}));
}

TEST(HookFollowUp, StartsWordsInOrderAndAppliesOnlyTheLatestStripChange) {
    HookFollowUp followUp;
    followUp.updateAid(u"bj");
    followUp.addWord({u"bjr", 0x20});
    followUp.updateAid(u"");
    followUp.addWord({u"am", 0x0D});
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
            followUp.addWord({std::u16string(1, char16_t(u'a' + i)), 0x20});
        }
        const Done done = runAll(followUp);
        ASSERT_EQ(done.started.size(), HookFollowUp::MaxPendingWords);
        EXPECT_EQ(done.started.front().word, u"a");
        EXPECT_EQ(done.started.back().word, std::u16string(1, char16_t(u'a' + HookFollowUp::MaxPendingWords - 1)));
        followUp.addWord({u"x", 0x20});  // leaves the ring's start elsewhere for the next round
        EXPECT_EQ(runAll(followUp).started.size(), 1u);
    }
}

}  // namespace
}  // namespace calmirande
