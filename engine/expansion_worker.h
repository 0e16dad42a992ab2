#pragma once
// One expansion from start to end, as its worker thread runs it, with the
// system's input stream behind a small interface so that it runs without
// Windows.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/expansion_plan.h"
#include "engine/layout_keys.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// Decides whether the keyboard hook captures. Two things are kept apart: the
// switch (`expansionActive`: the tray item, the editor's suspension; written
// on the main thread only) and the count of expansions under way (begun by
// the hook at the ending key, ended by the worker once its block is in or
// dropped). Capture needs the switch on and nothing under way, so two
// deliveries never run at once, and an expansion that ends never overrides
// the switch.
class ExpansionGate {
public:
    // Main thread.
    void setExpansionActive(bool active) { expansionActive_.store(active, std::memory_order_relaxed); }
    bool expansionActive() const { return expansionActive_.load(std::memory_order_relaxed); }

    // Any thread.
    bool captureAllowed() const {
        return expansionActive_.load(std::memory_order_relaxed) && typing_.load(std::memory_order_acquire) == 0;
    }
    bool typing() const { return typing_.load(std::memory_order_acquire) != 0; }

    // The hook at a word's ending key; the worker (or whoever fails to start
    // it) when the expansion is over. A new expansion starts with no stop
    // asked of it.
    void beginTyping() {
        stopRequested_.store(false, std::memory_order_relaxed);
        typing_.fetch_add(1, std::memory_order_acq_rel);
    }
    void endTyping() { typing_.fetch_sub(1, std::memory_order_acq_rel); }

    // The hook: the block under way is to stop at its next call (Escape, a
    // hold about to run out of room or time). The worker reads it between
    // two calls. Any thread.
    void requestStop() { stopRequested_.store(true, std::memory_order_release); }
    bool stopRequested() const { return stopRequested_.load(std::memory_order_acquire); }

    // Workers from just before their thread is started to their last use of
    // anything shared: shutdown waits for none to be left before it releases
    // what they read.
    void workerStarting() { workers_.fetch_add(1, std::memory_order_acq_rel); }
    void workerEnded() { workers_.fetch_sub(1, std::memory_order_acq_rel); }
    bool workersRunning() const { return workers_.load(std::memory_order_acquire) != 0; }

private:
    std::atomic<bool> expansionActive_{true};
    std::atomic<int> typing_{0};
    std::atomic<int> workers_{0};
    std::atomic<bool> stopRequested_{false};
};

// The system's input stream and what the delivery checks before it writes to
// it, and the layout of the target for the characters it cannot take as
// Unicode packets. Worker thread.
class InputSink : public KeyLayout {
public:
    virtual ~InputSink() = default;
    // The foreground window and its focused control now.
    virtual FocusTarget focus() = 0;
    // The hook's running count of the user's key presses (isUserKeyPress).
    virtual std::uint32_t userKeyPresses() = 0;
    // The system's key state: Ctrl, Alt or a Windows key another program
    // holds down (the user's presses after the ending key are held).
    virtual ModifierKeys modifiers() = 0;
    // What the focused window does with Unicode packets.
    virtual PacketSupport packetSupport() { return PacketSupport::All; }
    std::optional<LayoutKey> keyFor(char16_t) override { return std::nullopt; }
    // The hook asked the block to stop (ExpansionGate::requestStop).
    virtual bool stopRequested() { return false; }
    // Inserts the events into the input stream in one call, as one block no
    // other input can enter; returns how many went in. At most
    // MaxEventsPerCall events.
    virtual std::size_t send(const std::vector<InputEvent>& events) = 0;
    // A monotonic clock, and a wait on it, in microseconds.
    virtual std::int64_t nowMicroseconds() = 0;
    virtual void waitMicroseconds(std::int64_t microseconds) = 0;
};

// With Ctrl, Alt or a Windows key down, the Backspaces would arrive as
// Ctrl+Backspace (a whole word) or a shortcut: the delivery waits this long
// for their release, looking every ModifierPollMicroseconds, and then drops.
inline constexpr std::int64_t ModifierReleaseTimeoutMicroseconds = 250'000;
inline constexpr std::int64_t ModifierPollMicroseconds = 5'000;

enum class DeliveryResult : std::uint8_t {
    Sent,          // the whole block went in
    Incomplete,    // the system took fewer events than given (another desktop, a window of higher privilege)
    TypedOn,       // the user pressed a key after the ending key, before the block
    FocusChanged,  // another window or control has the focus than where the word was typed
    NoFocus,       // no focus window at all
    ModifiersHeld,  // Ctrl, Alt or a Windows key stayed down past the bound
    FocusLost,      // the focus moved while a long block went in: the rest was not sent
    Stopped,        // the user stopped a long block (Escape), or the held keys ran short of room or time
    Untypable       // the target takes some character of the text neither as a packet nor as a key: nothing was sent
};

// A long block goes in this many events a call at most; between two calls
// the delivery looks whether the focus is still where the word was typed,
// so that the rest of a long text never goes to a window the user moved to.
// The user's keys are held until the whole block is in, so they cannot come
// in between.
inline constexpr std::size_t MaxEventsPerCall = 512;

// One look at the conditions; Wait means look again after a poll (only for
// modifiers, while the bound lasts). Nothing is sent unless it says Send.
enum class DeliveryVerdict : std::uint8_t { Send, Wait, DropTypedOn, DropFocusChanged, DropNoFocus, DropModifiersHeld };
DeliveryVerdict judgeDelivery(const WordEnd& end, const FocusTarget& focusNow, std::uint32_t userKeyPressesNow,
                              const ModifierKeys& modifiers, bool modifierWaitOver);

// The block as it goes in: with a Shift down at the ending key (a fast
// typist's capitals), a release of it first and a press of it again last, so
// that the Left arrows do not select and Return and Tab are plain; the
// Unicode events ignore it.
std::vector<InputEvent> blockToSend(const ExpansionPlan& plan, const ModifierKeys& atWordEnd);

// Checks the guards (waiting for the modifiers within their bound) and sends
// the block, a call for each MaxEventsPerCall events, or nothing.
DeliveryResult deliverPlan(const ExpansionPlan& plan, const WordEnd& end, InputSink& sink);

// The worker's whole job. `word` is the word as it was when the hook ended
// it and `table` the snapshot taken when the worker started. The hook began
// the gate's expansion at the ending key; this ends it, whatever happens.
// Returns the plan, nothing when the word is no abbreviation (then nothing
// is sent and `result` is left alone).
std::optional<ExpansionPlan> runExpansion(const CompletedWord& word, const ExpansionTable& table, ExpansionGate& gate,
                                          InputSink& sink, DeliveryResult* result = nullptr);

}  // namespace calmirande
