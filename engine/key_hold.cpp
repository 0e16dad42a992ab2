#include "engine/key_hold.h"

#include <algorithm>

#include "engine/virtual_keys.h"
#include "engine/word_capture.h"

namespace calmirande {

bool endsWord(const HeldKey& key) {
    return !isKeyUp(key) && (key.vkCode == VkSpace || key.vkCode == VkTab || key.vkCode == VkReturn);
}

bool isKeyUp(const HeldKey& key) { return key.message != WmKeyDown && key.message != WmSysKeyDown; }

bool isAltGrControl(std::uint32_t vkCode, std::uint32_t scanCode) {
    return (vkCode == VkLControl || vkCode == VkControl) && (scanCode & AltGrControlScanBit) != 0;
}

void prepareReplay(std::vector<HeldKey>& batch) {
    std::erase_if(batch, [](const HeldKey& key) { return isAltGrControl(key.vkCode, key.scanCode); });
    // From the end, so that a release moved lands after every key-up it
    // passes, even when several modifiers are let go together.
    for (std::size_t i = batch.size(); i-- > 0;) {
        if (!isKeyUp(batch[i]) || !isModifierKey(batch[i].vkCode)) continue;
        std::size_t to = i;
        while (to + 1 < batch.size() && isKeyUp(batch[to + 1]) && !isModifierKey(batch[to + 1].vkCode)) ++to;
        std::rotate(batch.begin() + static_cast<std::ptrdiff_t>(i), batch.begin() + static_cast<std::ptrdiff_t>(i + 1),
                    batch.begin() + static_cast<std::ptrdiff_t>(to + 1));
    }
}

bool KeyHold::hold(const HeldKey& key) {
    if (!holding()) return false;
    const bool down = !isKeyUp(key);
    const bool repeat = down && lastHeldDown_ && key.vkCode == lastHeldVk_;
    if (repeat && repeats_ >= MaxRepeats) return true;  // swallowed: the key stays down, its count bounded
    if (count_ == MaxHeldKeys) return false;
    keys_[(first_ + count_) % MaxHeldKeys] = key;
    ++count_;
    repeats_ = repeat ? repeats_ + 1 : 1;
    lastHeldVk_ = key.vkCode;
    lastHeldDown_ = down;
    return true;
}

void KeyHold::expansionEnded() {
    if (expansions_ > 0) --expansions_;
}

HeldKey KeyHold::pop() {
    const HeldKey key = keys_[first_];
    first_ = (first_ + 1) % MaxHeldKeys;
    --count_;
    if (count_ == 0) lastHeldDown_ = false;  // a press held next is a new one
    return key;
}

void KeyHold::takeInto(std::vector<HeldKey>& out, std::uintptr_t foregroundNow, bool toWordEnd) {
    while (count_ > 0) {
        const HeldKey key = pop();
        const bool forAnotherWindow = foregroundNow != 0 && key.foreground != 0 && key.foreground != foregroundNow;
        // A release of a modifier goes back wherever the focus is: whatever
        // it was pressed for, nothing stays down.
        if (!forAnotherWindow || (isKeyUp(key) && isModifierKey(key.vkCode))) out.push_back(key);
        if (toWordEnd && endsWord(key)) break;
    }
    prepareReplay(out);
}

std::vector<HeldKey> KeyHold::takeBatch(std::uintptr_t foregroundNow) {
    std::vector<HeldKey> batch;
    if (!batchDue()) return batch;
    takeInto(batch, foregroundNow, true);
    if (batch.empty()) return batch;  // all of it was for another window: nothing under way
    batchSize_ = unseen_ = batch.size();
    awaitingReport_ = true;
    return batch;
}

void KeyHold::batchSent(std::size_t inserted, std::uint32_t nowTick) {
    if (!awaitingReport_) return;
    const std::size_t missing = inserted < batchSize_ ? batchSize_ - inserted : 0;
    unseen_ = unseen_ > missing ? unseen_ - missing : 0;
    awaitingReport_ = false;
    batchSentTick_ = nowTick;
}

void KeyHold::replayedKeySeen() {
    if (unseen_ > 0) --unseen_;
}

void KeyHold::expire(std::uint32_t nowTick) {
    if (unseen_ > 0 && !awaitingReport_ && nowTick - batchSentTick_ >= ReplayLostMs) unseen_ = 0;
}

std::vector<HeldKey> KeyHold::takeAll(std::uintptr_t foregroundNow) {
    std::vector<HeldKey> all;
    all.reserve(count_);
    takeInto(all, foregroundNow, false);
    return all;
}

}  // namespace calmirande
