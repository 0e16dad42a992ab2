#pragma once
// What the hooks leave for the main loop: starting expansion workers and
// updating the writing-aid strip. Both cost far more than the hooks' own
// decisions (a thread's creation, window moves and repaints), so the hooks
// only record them here and wake the loop, which carries them out right after
// the hook has returned. Main thread only: the hooks run there, between two
// messages of the loop.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/word_capture.h"

namespace calmirande {

class HookFollowUp {
public:
    // Words completed faster than the loop runs are rare; past this many the
    // newest are dropped, like a word whose worker cannot be started.
    static constexpr std::size_t MaxPendingWords = 16;

    HookFollowUp();

    // Each returns true when the loop must be woken: nothing was pending.
    bool addWord(CompletedWord word);
    bool updateAid(std::u16string_view aidWord);
    bool hideAid();

    // Carries out everything pending: the words in the order they were
    // completed, then the latest of the strip's updates and hides.
    template <typename StartWorker, typename UpdateAid, typename HideAid>
    void run(StartWorker&& startWorker, UpdateAid&& updateAid, HideAid&& hideAid) {
        for (; wordCount_ > 0; --wordCount_) {
            startWorker(std::move(words_[firstWord_]));
            firstWord_ = (firstWord_ + 1) % MaxPendingWords;
        }
        const AidAction action = aidAction_;
        aidAction_ = AidAction::None;
        pending_ = false;
        if (action == AidAction::Update) updateAid(std::u16string_view(aidWord_));
        if (action == AidAction::Hide) hideAid();
    }

private:
    enum class AidAction { None, Update, Hide };
    bool markPending();

    std::array<CompletedWord, MaxPendingWords> words_;
    std::size_t firstWord_ = 0;
    std::size_t wordCount_ = 0;
    AidAction aidAction_ = AidAction::None;
    std::u16string aidWord_;  // room reserved once: assigning never allocates
    bool pending_ = false;
};

}  // namespace calmirande
