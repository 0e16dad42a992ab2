#include "engine/hook_follow_up.h"

#include <utility>

namespace calmirande {

HookFollowUp::HookFollowUp() { aidWord_.reserve(MaxTypedWordLength); }

bool HookFollowUp::addWord(CompletedWord word) {
    if (wordCount_ == MaxPendingWords) return false;
    words_[(firstWord_ + wordCount_) % MaxPendingWords] = std::move(word);
    ++wordCount_;
    pending_ = true;
    return true;
}

void HookFollowUp::updateAid(std::u16string_view aidWord) {
    aidWord_.assign(aidWord.substr(0, MaxTypedWordLength));
    aidAction_ = AidAction::Update;
    pending_ = true;
}

void HookFollowUp::hideAid() {
    const AidAction latest = aidAction_ != AidAction::None ? aidAction_ : lastAidAction_;
    if (latest == AidAction::Hide) return;
    aidAction_ = AidAction::Hide;
    pending_ = true;
}

bool HookFollowUp::takeWake(std::uint32_t eventTime) {
    if (!pending_) return false;
    // Unsigned difference: right across the tick count's wrap.
    if (wakeOutstanding_ && eventTime - wakeTime_ < WakeRetryMs) return false;
    wakeOutstanding_ = true;
    wakeTime_ = eventTime;
    return true;
}

}  // namespace calmirande
