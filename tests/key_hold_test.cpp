#include "engine/key_hold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/virtual_keys.h"
#include "engine/word_capture.h"

namespace calmirande {
namespace {


HeldKey press(std::uint32_t vk) { return {WmKeyDown, vk, 0, 0}; }
HeldKey release(std::uint32_t vk) { return {WmKeyUp, vk, 0, 0}; }

// The keys of `text` as a person types them: each letter pressed and
// released, a space as Space.
std::vector<HeldKey> typed(const std::string& text) {
    std::vector<HeldKey> keys;
    for (const char c : text) {
        const std::uint32_t vk = c == ' ' ? VkSpace : static_cast<std::uint32_t>(c - 'a' + 'A');
        keys.push_back(press(vk));
        keys.push_back(release(vk));
    }
    return keys;
}

// What the hook does when a batch comes back: each key is seen, and an
// ending key hands its word to a worker.
void comeBack(KeyHold& hold, const std::vector<HeldKey>& batch) {
    for (const HeldKey& key : batch) {
        if (endsWord(key)) hold.expansionBegun();
        hold.replayedKeySeen();
    }
}

TEST(KeyHold, HoldsNothingWhileNothingIsUnderWay) {
    KeyHold hold;
    EXPECT_FALSE(hold.holding());
    EXPECT_FALSE(hold.hold(press('A')));
    EXPECT_FALSE(hold.batchDue());
    EXPECT_TRUE(hold.takeBatch().empty());
}

// "slt bien " typed on: what comes after the Space of "slt" waits for its
// block, then goes back in order, a word at a time.
TEST(KeyHold, GivesTheKeysBackInOrderAWordAtATime) {
    KeyHold hold;
    hold.expansionBegun();  // the Space of "slt"
    std::vector<HeldKey> after = {release(VkSpace)};
    for (const HeldKey& key : typed("bien ok")) after.push_back(key);
    for (const HeldKey& key : after) EXPECT_TRUE(hold.hold(key));
    EXPECT_FALSE(hold.batchDue());  // the block is not in yet
    EXPECT_TRUE(hold.takeBatch().empty());

    hold.expansionEnded();
    ASSERT_TRUE(hold.batchDue());
    const std::vector<HeldKey> first = hold.takeBatch();
    // Up to and including the Space that ends "bien".
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first.front(), release(VkSpace));
    EXPECT_EQ(first.back(), press(VkSpace));
    EXPECT_TRUE(hold.holding());
    EXPECT_FALSE(hold.batchDue());  // not before the batch is back

    // A key typed now waits behind the others.
    EXPECT_TRUE(hold.hold(press('X')));
    comeBack(hold, first);
    hold.batchSent(first.size(), 100);
    EXPECT_FALSE(hold.batchDue());  // "bien" went to a worker
    hold.expansionEnded();
    const std::vector<HeldKey> second = hold.takeBatch();
    std::vector<HeldKey> rest(after.begin() + 10, after.end());
    rest.push_back(press('X'));
    EXPECT_EQ(second, rest);
    comeBack(hold, second);
    EXPECT_FALSE(hold.holding());
    EXPECT_FALSE(hold.hold(press('Y')));  // typed as usual again
}

TEST(KeyHold, EndsWordOnPressesOfSpaceTabAndEnterOnly) {
    struct Case {
        HeldKey key;
        bool ends;
    };
    const std::vector<Case> cases = {
        {press(VkSpace), true},
        {press(VkTab), true},
        {press(VkReturn), true},
        {{WmSysKeyDown, VkReturn, 0, 0}, true},  // Alt held
        {release(VkSpace), false},
        {release(VkReturn), false},
        {press('A'), false},
        {press(VkBack), false},
        {press(VkShift), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(endsWord(c.key), c.ends) << "vk " << c.key.vkCode << " message " << c.key.message;
    }
}

// The sender reports fewer keys in than given (another desktop): those never
// come back, and nothing waits for them.
TEST(KeyHold, KeysThatNeverWentInAreNotWaitedFor) {
    KeyHold hold;
    hold.expansionBegun();
    for (const HeldKey& key : typed("ab")) hold.hold(key);
    hold.expansionEnded();
    const std::vector<HeldKey> batch = hold.takeBatch();
    ASSERT_EQ(batch.size(), 4u);
    hold.replayedKeySeen();
    hold.batchSent(2, 100);
    EXPECT_TRUE(hold.holding());
    hold.replayedKeySeen();
    EXPECT_FALSE(hold.holding());
}

// The keys went in but the hook never saw them come back (removed by the
// system meanwhile): after ReplayLostMs from the send, not before and never
// before the sender has reported, the hold lets go; ticks may wrap.
TEST(KeyHold, StopsWaitingForKeysThatDoNotComeBack) {
    struct Case {
        std::uint32_t sentTick;
        std::uint32_t nowTick;
        bool reported;
        bool stillHolding;
    };
    const std::vector<Case> cases = {
        {1000, 1000 + KeyHold::ReplayLostMs - 1, true, true},
        {1000, 1000 + KeyHold::ReplayLostMs, true, false},
        {0xFFFFFF00u, 0xFFFFFF00u + KeyHold::ReplayLostMs, true, false},  // across the wrap
        {0xFFFFFF00u, 10, true, true},
        {1000, 900000, false, true},  // still being sent
    };
    for (const Case& c : cases) {
        KeyHold hold;
        hold.expansionBegun();
        hold.hold(press('A'));
        hold.expansionEnded();
        const std::vector<HeldKey> batch = hold.takeBatch();
        if (c.reported) hold.batchSent(batch.size(), c.sentTick);
        hold.expire(c.nowTick);
        EXPECT_EQ(hold.holding(), c.stillHolding) << c.sentTick << " -> " << c.nowTick;
    }
}

// An expansion under way is never cut short by the expiry: only keys that
// went in and did not come back are.
TEST(KeyHold, ExpiryLeavesAnExpansionUnderWay) {
    KeyHold hold;
    hold.expansionBegun();
    hold.hold(press('A'));
    hold.expire(0xFFFFFFFFu);
    EXPECT_FALSE(hold.batchDue());
    EXPECT_EQ(hold.heldCount(), 1u);
}

// The hook sees a batch's keys come back while SendInput is still running;
// its sender reports only once the call returns. The next batch waits for
// that report, so that it is never taken for the next batch's: a report of
// one key for a batch of three would let the keys typed next overtake two of
// them, and an old send time would expire the new batch before it is sent.
TEST(KeyHold, TheNextBatchWaitsForThePreviousOnesReport) {
    KeyHold hold;
    hold.expansionBegun();
    hold.hold(press('O'));
    hold.expansionEnded();
    const std::vector<HeldKey> first = hold.takeBatch();
    ASSERT_EQ(first.size(), 1u);
    // Typed while the first batch goes in: "l" and a Shift press.
    for (const HeldKey& key : {press('L'), release('L'), press(VkShift)}) EXPECT_TRUE(hold.hold(key));
    comeBack(hold, first);
    EXPECT_TRUE(hold.holding());
    EXPECT_FALSE(hold.batchDue());
    EXPECT_TRUE(hold.takeBatch().empty());

    hold.batchSent(first.size(), 1000);
    const std::vector<HeldKey> second = hold.takeBatch();
    ASSERT_EQ(second.size(), 3u);
    // The first batch's send time does not expire the second, still being
    // sent: the keys typed meanwhile wait behind it.
    hold.replayedKeySeen();
    hold.expire(1000 + KeyHold::ReplayLostMs * 4);
    EXPECT_TRUE(hold.holding());
    EXPECT_TRUE(hold.hold(press('8')));
    hold.replayedKeySeen();
    hold.replayedKeySeen();
    EXPECT_FALSE(hold.batchDue());
    hold.batchSent(second.size(), 1200);
    EXPECT_EQ(hold.takeBatch(), std::vector<HeldKey>{press('8')});
}

// A report that comes when no batch is under way is not one to act on.
TEST(KeyHold, AReportWithNoBatchIsIgnored) {
    KeyHold hold;
    hold.batchSent(0, 100);
    hold.expansionBegun();
    hold.hold(press('A'));
    hold.expansionEnded();
    const std::vector<HeldKey> batch = hold.takeBatch();
    ASSERT_EQ(batch.size(), 1u);
    EXPECT_TRUE(hold.holding());
    hold.replayedKeySeen();
    EXPECT_FALSE(hold.holding());
}

// Past its room the hold lets keys go on as typed rather than lose them; the
// ones it has keep their order.
TEST(KeyHold, AFullHoldLetsKeysThroughAndKeepsTheRest) {
    KeyHold hold;
    hold.expansionBegun();
    for (std::size_t i = 0; i < KeyHold::MaxHeldKeys; ++i) {
        ASSERT_TRUE(hold.hold({WmKeyDown, static_cast<std::uint32_t>('A' + i % 26), static_cast<std::uint32_t>(i), 0}));
    }
    EXPECT_FALSE(hold.hold(press('Z')));
    const std::vector<HeldKey> all = hold.takeAll();
    ASSERT_EQ(all.size(), KeyHold::MaxHeldKeys);
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].scanCode, i);
    EXPECT_EQ(hold.heldCount(), 0u);
}

// A report of an end that was never begun (a worker that could not start
// and reported anyway) does not leave the count below zero, which would
// let the next block's keys through.
TEST(KeyHold, AnUnmatchedEndLeavesTheCountAtZero) {
    KeyHold hold;
    hold.expansionEnded();
    hold.expansionBegun();
    EXPECT_TRUE(hold.hold(press('A')));
    EXPECT_FALSE(hold.batchDue());
}

// Keys held across the ring's end come back whole and in order.
TEST(KeyHold, TheRingWrapsInOrder) {
    KeyHold hold;
    std::uint32_t next = 0;
    std::uint32_t expected = 0;
    for (int round = 0; round < 3; ++round) {
        hold.expansionBegun();
        for (std::size_t i = 0; i < KeyHold::MaxHeldKeys * 2 / 3; ++i) hold.hold({WmKeyDown, static_cast<std::uint32_t>('A' + i % 2), next++, 0});
        hold.expansionEnded();
        const std::vector<HeldKey> batch = hold.takeBatch();
        for (const HeldKey& key : batch) EXPECT_EQ(key.scanCode, expected++);
        comeBack(hold, batch);
        hold.batchSent(batch.size(), 100);
    }
    EXPECT_EQ(expected, next);
}

// A batch as it goes back: AltGr's own Ctrl left out, and a modifier let go
// just before the key it was for moved after that key's release.
TEST(KeyHold, PreparesTheReplay) {
    constexpr std::uint32_t AltGrScan = 0x21D;
    struct Case {
        const char* name;
        std::vector<HeldKey> held, replayed;
    };
    const std::vector<Case> cases = {
        {"ShiftLetGoBeforeItsLetter",
         {press(VkLShift), press('P'), release(VkLShift), release('P'), press('A')},
         {press(VkLShift), press('P'), release('P'), release(VkLShift), press('A')}},
        {"ShiftLetGoAfterItsLetter",
         {press(VkLShift), press('P'), release('P'), release(VkLShift)},
         {press(VkLShift), press('P'), release('P'), release(VkLShift)}},
        // Rolled over into the next key: the next press keeps its order.
        {"NextKeyPressedBeforeTheRelease",
         {press(VkLShift), press('P'), release(VkLShift), press('A'), release('P')},
         {press(VkLShift), press('P'), release(VkLShift), press('A'), release('P')}},
        {"TwoModifiersLetGoTogether",
         {press(VkLControl), press(VkLShift), press('K'), release(VkLShift), release(VkLControl), release('K')},
         {press(VkLControl), press(VkLShift), press('K'), release('K'), release(VkLShift), release(VkLControl)}},
        {"AltGrWithoutItsControl",
         {{WmKeyDown, VkLControl, AltGrScan, 0}, {WmKeyDown, VkRMenu, 0x38, 1}, press('0'),
          {WmKeyUp, VkLControl, AltGrScan, 0}, {WmKeyUp, VkRMenu, 0x38, 1}, release('0')},
         {{WmKeyDown, VkRMenu, 0x38, 1}, press('0'), release('0'), {WmKeyUp, VkRMenu, 0x38, 1}}},
        {"ARealControlStays", {{WmKeyDown, VkLControl, 0x1D, 0}, press('A')}, {{WmKeyDown, VkLControl, 0x1D, 0}, press('A')}},
    };
    for (const Case& c : cases) {
        std::vector<HeldKey> batch = c.held;
        prepareReplay(batch);
        EXPECT_EQ(batch, c.replayed) << c.name;
    }
}

}  // namespace
}  // namespace calmirande
