#pragma once
// The user's keys held back while an expansion goes in, and given back in
// order once it is in. A key typed during a block would otherwise reach the
// target between the block's events (Wine's SendInput, and Windows' with any
// low-level hook installed, let other input in between its events), or
// before the Backspaces that were meant for the word. The hook swallows such
// keys and records them here; the loop sends them again, marked as the
// program's replay, when nothing is under way; the hook then sees them come
// back and captures them as typed, so a word they end expands in its turn,
// before the keys typed after it.
//
// Hook thread only: the hook holds, counts and sees the keys come back; the
// loop that runs beside the hooks takes the batches to send and hears what
// the workers reported.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/virtual_keys.h"

namespace calmirande {

// One key event as the low-level hook saw it.
struct HeldKey {
    std::uint32_t message = 0;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;  // the hook's LLKHF_ flags
    std::uint32_t time = 0;   // the event's own tick count, kept when it is sent again
    // The foreground window it was typed for (0: not known). We don't own it.
    std::uintptr_t foreground = 0;
    friend bool operator==(const HeldKey&, const HeldKey&) = default;
};

// Whether the event presses a key that ends a word (Space, Tab, Enter).
bool endsWord(const HeldKey& key);
bool isKeyUp(const HeldKey& key);
// With AltGr, Windows sends a left Ctrl of its own just before the Right
// Alt; that Ctrl carries this bit in its scan code, a real Ctrl never does.
inline constexpr std::uint32_t AltGrControlScanBit = 0x200;
bool isAltGrControl(std::uint32_t vkCode, std::uint32_t scanCode);

// A batch as it must go back:
// - without the Ctrl that Windows made for an AltGr press: sent again, it
//   would be a real Ctrl, and the Right Alt sent again makes its own;
// - with each release of Shift, Ctrl, Alt or a Windows key moved after the
//   releases of the keys pressed under it that follow it at once (people
//   often let go of Shift before the letter). A target reads the key state
//   when it translates the letter's press; a modifier already released by
//   then would turn "P" into "p".
void prepareReplay(std::vector<HeldKey>& batch);

class KeyHold {
public:
    // Far more than any block takes, autorepeat aside (collapsed, below).
    // Past it, a key goes on as typed rather than be lost.
    static constexpr std::size_t MaxHeldKeys = 2048;
    // From this many on, the block under way is asked to stop between two
    // of its calls, so that the room never runs out.
    static constexpr std::size_t StopBlockAtKeys = MaxHeldKeys - 256;
    // Presses of one key held down in a row (autorepeat) kept at most.
    static constexpr std::size_t MaxRepeats = 32;
    // Keys of a batch that have not come back through the hook this long after
    // the batch went in never will (a hook the system removed meanwhile). Far
    // above a hook's delay on a loaded machine: letting go too early lets the
    // keys typed next overtake the batch.
    static constexpr std::uint32_t ReplayLostMs = 1000;

    // Something is under way or waits: the keys typed now are held.
    bool holding() const { return expansions_ > 0 || unseen_ > 0 || count_ > 0; }

    // Hook: a key event of the user's. True when it is swallowed: held, or a
    // repeat past MaxRepeats; false when nothing is under way, or when the
    // room is full.
    bool hold(const HeldKey& key);

    // Hook: a word went to a worker, which may type a block. Loop: the worker
    // reported that it is over (its block in, dropped, or no abbreviation).
    void expansionBegun() { ++expansions_; }
    void expansionEnded();
    bool expansionUnderWay() const { return expansions_ > 0; }

    // A batch can be sent: keys wait, and no expansion or batch is under way.
    // A batch is under way until its keys are back and its sender has said
    // how many went in: the report comes after the keys (the sender reports
    // once SendInput returns), and a report taken for the next batch would
    // cut that one short.
    bool batchDue() const { return expansions_ == 0 && unseen_ == 0 && !awaitingReport_ && count_ > 0; }
    // Loop: the keys to send now (empty when none are due, or when every key
    // taken was typed for another window than `foregroundNow`): up to and
    // including the first that ends a word, so that the expansion that key
    // may begin goes in before the keys typed after it. Keys typed for
    // another window are dropped, but for the releases of modifiers, which
    // go back so that nothing stays down. Prepared as prepareReplay says.
    std::vector<HeldKey> takeBatch(std::uintptr_t foregroundNow = 0);
    // Loop: the sender put `inserted` of the batch's keys into the input
    // stream; the others will never come back. A report with no batch under
    // way is ignored.
    void batchSent(std::size_t inserted, std::uint32_t nowTick);
    // Hook: a key of the batch came back.
    void replayedKeySeen();
    // Loop, on a timer: stops waiting for keys of a batch that went in more
    // than ReplayLostMs ago and never came back. Tick counts may wrap.
    void expire(std::uint32_t nowTick);

    // Everything still held, in order, for a last send when the hooks go.
    std::vector<HeldKey> takeAll(std::uintptr_t foregroundNow = 0);

    std::size_t heldCount() const { return count_; }
    // The tick of the oldest key held; meaningful when heldCount() > 0.
    std::uint32_t oldestTick() const { return keys_[first_].time; }

private:
    HeldKey pop();
    void takeInto(std::vector<HeldKey>& out, std::uintptr_t foregroundNow, bool toWordEnd);

    // A ring: the hook never allocates.
    std::array<HeldKey, MaxHeldKeys> keys_{};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::uint32_t lastHeldVk_ = 0;   // the last key held, and how many presses of it in a row
    bool lastHeldDown_ = false;
    std::size_t repeats_ = 0;
    int expansions_ = 0;        // words handed to workers whose end is not reported yet
    std::size_t batchSize_ = 0;  // the batch under way, as taken
    std::size_t unseen_ = 0;    // keys of the batch under way not yet back through the hook
    bool awaitingReport_ = false;  // the batch under way was taken and its sender has not reported
    std::uint32_t batchSentTick_ = 0;
};

}  // namespace calmirande
