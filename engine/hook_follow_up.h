#pragma once
// What the hooks leave for the main loop: starting expansion workers and
// updating the writing-aid strip. Both cost far more than the hooks' own
// decisions (a thread's creation, window moves and repaints), so the hooks
// only record them here and wake the loop, which carries them out right after
// the hook has returned. Main thread only: the hooks run there, between two
// messages of the loop.
//
// Nothing here may latch: a wake-up that is lost (a failed post, a loop that
// drops messages not its own) is posted again by a later event, and every
// loop of the program runs what is pending after each message it retrieves.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/word_capture.h"

namespace calmirande {

class HookFollowUp {
public:
    // Each word closes capture until its expansion is over, so more than one
    // waiting is rare; past this many the newest are dropped, like a word
    // whose worker cannot be started.
    static constexpr std::size_t MaxPendingWords = 16;
    // A wake-up not carried out after this long is taken as lost.
    static constexpr std::uint32_t WakeRetryMs = 20;

    HookFollowUp();

    // False when the word was dropped.
    bool addWord(CompletedWord word);
    void updateAid(std::u16string_view aidWord);
    // Nothing to do when the last change recorded for the strip was a hide:
    // it is hidden already, or about to be.
    void hideAid();

    // Work the loop finds elsewhere (held keys to give back): only the wake-up.
    void requestRun() { pending_ = true; }

    bool pending() const { return pending_; }

    // After recording: whether the hook must wake the loop now. `eventTime`
    // is the event's tick count in milliseconds (it may wrap). True when work
    // is pending and no wake-up is on its way, or the last one is overdue.
    bool takeWake(std::uint32_t eventTime);
    // The wake-up just taken could not be posted: nothing is on its way.
    void wakeFailed() { wakeOutstanding_ = false; }

    // Carries out everything pending: the words in the order they were
    // completed, then the latest of the strip's updates and hides.
    template <typename StartWorker, typename UpdateAid, typename HideAid>
    void run(StartWorker&& startWorker, UpdateAid&& updateAid, HideAid&& hideAid) {
        pending_ = false;
        wakeOutstanding_ = false;
        for (; wordCount_ > 0; --wordCount_) {
            startWorker(std::move(words_[firstWord_]));
            firstWord_ = (firstWord_ + 1) % MaxPendingWords;
        }
        const AidAction action = aidAction_;
        aidAction_ = AidAction::None;
        if (action != AidAction::None) lastAidAction_ = action;
        if (action == AidAction::Update) updateAid(std::u16string_view(aidWord_));
        if (action == AidAction::Hide) hideAid();
    }

private:
    enum class AidAction { None, Update, Hide };

    std::array<CompletedWord, MaxPendingWords> words_;
    std::size_t firstWord_ = 0;
    std::size_t wordCount_ = 0;
    AidAction aidAction_ = AidAction::None;      // to carry out at the next run
    AidAction lastAidAction_ = AidAction::None;  // the last one carried out
    std::u16string aidWord_;  // room reserved once: assigning never allocates
    bool pending_ = false;
    bool wakeOutstanding_ = false;
    std::uint32_t wakeTime_ = 0;
};

}  // namespace calmirande
