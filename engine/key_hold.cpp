#include "engine/key_hold.h"

#include "engine/virtual_keys.h"
#include "engine/word_capture.h"

namespace calmirande {

bool endsWord(const HeldKey& key) {
    const bool keyDown = key.message == WmKeyDown || key.message == WmSysKeyDown;
    return keyDown && (key.vkCode == VkSpace || key.vkCode == VkTab || key.vkCode == VkReturn);
}

bool KeyHold::hold(const HeldKey& key) {
    if (!holding() || count_ == MaxHeldKeys) return false;
    keys_[(first_ + count_) % MaxHeldKeys] = key;
    ++count_;
    return true;
}

void KeyHold::expansionEnded() {
    if (expansions_ > 0) --expansions_;
}

HeldKey KeyHold::pop() {
    const HeldKey key = keys_[first_];
    first_ = (first_ + 1) % MaxHeldKeys;
    --count_;
    return key;
}

std::vector<HeldKey> KeyHold::takeBatch() {
    std::vector<HeldKey> batch;
    if (!batchDue()) return batch;
    while (count_ > 0) {
        batch.push_back(pop());
        if (endsWord(batch.back())) break;
    }
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

std::vector<HeldKey> KeyHold::takeAll() {
    std::vector<HeldKey> all;
    all.reserve(count_);
    while (count_ > 0) all.push_back(pop());
    return all;
}

}  // namespace calmirande
