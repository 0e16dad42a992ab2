#pragma once
// Every decision about a key event the low-level keyboard hook sees, apart
// from Windows: whether the hook swallows it, what the capture makes of it,
// whether a word is an abbreviation to expand, which keys are held while a
// block goes in and when they go back, and what the target has been given
// (its modifiers). The hook only turns the system's event into a HookEvent,
// carries out the verdict and leaves the follow-up to the loop beside it,
// which calls run(); both are on the hook thread.
//
// Shared with other threads, and only through atomics: the gate (capture
// open or closed, the stop asked of a block) and EngineCounters (the key
// presses the workers' guards compare, and the workers' and senders'
// reports, which the loop takes).

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/expansion_worker.h"
#include "engine/hook_follow_up.h"
#include "engine/key_hold.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// Where an event comes from, as the hook tells it from LLKHF_INJECTED and
// dwExtraInfo.
enum class KeyOrigin : std::uint8_t {
    User,          // a keyboard (or xdotool under Wine)
    OwnBlock,      // one of the program's blocks
    Replay,        // the user's held keys, given back
    OtherProgram,  // injected by anything else: AutoHotkey, a password manager, the touch keyboard
};

struct HookEvent {
    std::uint32_t message = WmKeyDown;
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;  // LLKHF_ flags as the system gave them
    std::uint32_t time = 0;   // the event's tick count
    KeyOrigin origin = KeyOrigin::User;
};

// What the engine asks of the system at a key. Hook thread.
class HookEnvironment {
public:
    virtual ~HookEnvironment() = default;
    // Cheap: asked for every key held.
    virtual std::uintptr_t foreground() = 0;
    // Asked at the ending key of an abbreviation only.
    virtual FocusTarget focus() = 0;
    virtual std::int64_t nowMicroseconds() = 0;
    virtual KeyTranslator& translator() = 0;
};

// What the hooks show of the writing aid. Implemented by the window layer.
class WritingAidView {
public:
    virtual ~WritingAidView() = default;
    virtual void update(std::u16string_view aidWord) = 0;
    virtual void hide() = 0;
    // Whether the word shows rows; when not, the key only hides the strip.
    // Cheap: called from the hook.
    virtual bool selectsRows(std::u16string_view aidWord) const = 0;
};

// What the hook and the threads it starts share; lives as long as the
// process.
struct EngineCounters {
    // The key presses that reached the target, the program's own blocks
    // aside: written by the hook, read by the workers' guards.
    std::atomic<std::uint32_t> userKeyPresses{0};
    // Reports to the loop: expansions over (their block in, dropped, or no
    // abbreviation), and how many keys of the batch of held keys went in
    // (-1: no report).
    std::atomic<std::uint32_t> expansionsOver{0};
    std::atomic<std::int32_t> replayInserted{-1};
    // For the figures: batches SendInput took fewer keys of than given.
    std::atomic<std::uint32_t> replaysShort{0};
};

struct KeyVerdict {
    bool swallow = false;  // the hook returns non-zero: the target never gets it (now)
    bool wake = false;     // the loop has work: wake it
};

// The word as the lookup sees it: the abbreviation cut at its first star and
// lower-cased into `scratch` (room reserved once, so that the hook does not
// allocate), then found in the table.
bool isAbbreviation(std::u16string_view word, const ExpansionTable& table, std::u16string& scratch);

// Shift, Ctrl, Alt and the Windows keys, each side apart, as a stream of
// events has left them: the target's (every event that reached it) or the
// user's and other programs' (every event they typed, held or not).
class ModifierTracker {
public:
    void onEvent(std::uint32_t vkCode, std::uint32_t scanCode, std::uint32_t flags, bool keyUp);
    ModifierKeys keys() const;
    bool shortcutHeld() const;  // Ctrl, Alt or a Windows key: not a word's end
    // The releases, as key-up events, of the keys down here and up in
    // `typed`: what the program's own input left down.
    std::vector<HeldKey> releasesOfKeysUpIn(const ModifierTracker& typed) const;

private:
    enum Side : std::size_t { LeftShift, RightShift, LeftControl, RightControl, LeftAlt, RightAlt, LeftWindows, RightWindows, Sides };
    std::array<bool, Sides> down_{};
};

class KeyboardEngine {
public:
    // Keys may be held this long at most: past it the block under way is
    // asked to stop, and the keys go back once it has. A block is in at
    // once on Windows; under Wine 20,000 characters take about 20 s.
    static constexpr std::uint32_t MaxHoldMs = 30'000;
    static constexpr std::uint32_t VkEscape = 0x1B;

    // `gate` and `counters` must outlive the engine.
    KeyboardEngine(ExpansionGate& gate, EngineCounters& counters);

    // The table the ending keys are looked up in; the workers take their own
    // snapshot. Hook thread.
    void setTable(std::shared_ptr<const ExpansionTable> table) { table_ = std::move(table); }

    // One event. `listActive`: a list is active; `aid` may be null.
    KeyVerdict onKey(const HookEvent& event, bool listActive, HookEnvironment& environment,
                     const WritingAidView* aid);
    // True when the loop must be woken (the strip to hide).
    bool onMouse(int nCode, std::uint32_t message, std::uint32_t time, const WritingAidView* aid);

    // The loop, after the hook returned: starts the workers of the words
    // completed, updates the strip, takes the threads' reports and starts
    // the next batch of held keys. StartWorker(CompletedWord), and
    // StartReplay(std::vector<HeldKey>) -> bool (false: no thread started,
    // nothing sent).
    //
    // Once everything held is back and nothing is under way, a modifier the
    // target has down that neither the user nor another program holds (a
    // batch SendInput cut short, a block that never pressed its Shift
    // again) is released: ReleaseKeys(std::vector<HeldKey>) sends those
    // key-ups as the program's own input.
    template <typename StartWorker, typename StartReplay, typename UpdateAid, typename HideAid, typename ReleaseKeys>
    void run(std::uint32_t nowTick, std::uintptr_t foregroundNow, StartWorker&& startWorker,
             StartReplay&& startReplay, UpdateAid&& updateAid, HideAid&& hideAid, ReleaseKeys&& releaseKeys) {
        followUp_.run(startWorker, updateAid, hideAid);
        takeReports(nowTick);
        while (hold_.batchDue()) {
            std::vector<HeldKey> batch = hold_.takeBatch(foregroundNow);
            if (batch.empty()) continue;  // typed for another window: dropped, the next keys may be due
            if (!startReplay(std::move(batch))) hold_.batchSent(0, nowTick);
            break;
        }
        if (compareModifiers_ && !hold_.holding()) {
            compareModifiers_ = false;
            std::vector<HeldKey> releases = modifiers_.releasesOfKeysUpIn(typedModifiers_);
            if (!releases.empty()) releaseKeys(std::move(releases));
        }
    }
    // Whether run() has anything to do.
    bool pending() const;
    // The loop's timer: lets go of keys given back that never came back, and
    // stops a block that keeps the keys held too long.
    void tick(std::uint32_t nowTick);
    // After the hook recorded work: whether to post the loop a wake-up now.
    bool takeWake(std::uint32_t eventTime) { return followUp_.takeWake(eventTime); }
    void wakeFailed() { followUp_.wakeFailed(); }

    // When the hooks are gone and the workers are over: the keys still held,
    // for the window that has the focus, to send as they are.
    std::vector<HeldKey> takeAllHeld(std::uintptr_t foregroundNow) { return hold_.takeAll(foregroundNow); }

    const ModifierKeys modifiers() const { return modifiers_.keys(); }
    const KeyHold& hold() const { return hold_; }
    const WordCapture& capture() const { return capture_; }

private:
    void takeReports(std::uint32_t nowTick);
    void beginExpansion(CompletedWord word, HookEnvironment& environment, std::uint32_t userKeyPresses);
    bool holdKey(const HookEvent& event, HookEnvironment& environment);

    ExpansionGate& gate_;
    EngineCounters& counters_;
    std::shared_ptr<const ExpansionTable> table_;
    WordCapture capture_;
    HookFollowUp followUp_;
    KeyHold hold_;
    ModifierTracker modifiers_;       // as the target has them
    ModifierTracker typedModifiers_;  // as the user and other programs typed them
    bool compareModifiers_ = false;   // a block or a batch ended since the two were last compared
    std::u16string lookupScratch_;
    bool escapeSwallowed_ = false;  // the Escape press that stopped a block: its release goes too
};

}  // namespace calmirande
