#include "engine/hook_follow_up.h"

#include <utility>

namespace calmirande {

HookFollowUp::HookFollowUp() { aidWord_.reserve(MaxTypedWordLength); }

bool HookFollowUp::markPending() { return !std::exchange(pending_, true); }

bool HookFollowUp::addWord(CompletedWord word) {
    if (wordCount_ < MaxPendingWords) {
        words_[(firstWord_ + wordCount_) % MaxPendingWords] = std::move(word);
        ++wordCount_;
    }
    return markPending();
}

bool HookFollowUp::updateAid(std::u16string_view aidWord) {
    aidWord_.assign(aidWord.substr(0, MaxTypedWordLength));
    aidAction_ = AidAction::Update;
    return markPending();
}

bool HookFollowUp::hideAid() {
    aidAction_ = AidAction::Hide;
    return markPending();
}

}  // namespace calmirande
