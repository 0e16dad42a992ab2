#pragma once
// One expansion from start to end, as its worker thread runs it, with the
// posting of messages behind a small interface so that it runs without Windows.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/expansion_plan.h"
#include "lists/expansion_table.h"

namespace calmirande {

// Decides whether the keyboard hook captures. Two things are kept apart: the
// switch (`expansionActive`: the tray item, the editor's suspension; written
// on the main thread only) and the count of expansions typing right now
// (written by the workers). Capture needs the switch on and nothing typing,
// and an expansion that ends never overrides the switch.
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

    // Worker threads, around their output.
    void beginTyping() { typing_.fetch_add(1, std::memory_order_acq_rel); }
    void endTyping() { typing_.fetch_sub(1, std::memory_order_acq_rel); }

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
};

struct CaretPosition {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const CaretPosition&, const CaretPosition&) = default;
};

// Where the messages go, and the clock that paces them. Implementations keep
// no per-expansion state that matters to the order, so tests can replay a
// delivery against a target of any speed.
class MessagePoster {
public:
    using Window = std::uintptr_t;  // 0: none

    virtual ~MessagePoster() = default;
    // The focused window of the foreground application, or 0.
    virtual Window focusedWindow() = 0;
    // Returns once the target has handled, as far as can be told, the keys
    // still waiting in its input queue (the ending key above all): posted
    // messages are retrieved before them and would overtake them. False when
    // the target did not answer in time.
    virtual bool awaitPendingInput(Window window) = 0;
    virtual void post(Window window, const PlannedMessage& message) = 0;
    // Returns once the target has come back to its message loop (a sent
    // message is handled there, before any posted one). False when it did
    // not answer in time.
    virtual bool roundTrip(Window window) = 0;
    // A monotonic clock, and a wait on it, in microseconds.
    virtual std::int64_t nowMicroseconds() = 0;
    virtual void waitMicroseconds(std::int64_t microseconds) = 0;
    // Where the target's caret stands, when the target shows one.
    virtual std::optional<CaretPosition> caret(Window window) = 0;
};

// After the first round trip of a barrier, the target is given at least this
// long to take the message before the second one is sent; longer where a
// key-down is followed by a message of another kind (the last Backspace
// before the text, a line break before the next line), the only places where
// its character coming late would show.
inline constexpr std::int64_t BarrierPauseMicroseconds = 2'000;
inline constexpr std::int64_t BarrierTransitionPauseMicroseconds = 8'000;
// At those places a target that shows a caret (edit controls, which act on
// the character) must also have moved it before the next message goes:
// answering round trips proves nothing when a target answers them from a
// wait nested inside its handling of another message. Bounded, for a key
// that moved nothing (a Backspace at the start of the text).
inline constexpr std::int64_t CaretMoveTimeoutMicroseconds = 50'000;

struct DeliveryOutcome {
    bool delivered = false;  // there was a focused window
    // Every message waited for the target; false once it stopped answering,
    // after which the rest went at the plain pace.
    bool orderedThroughout = false;
};

// Posts the plan to the focused window of the foreground application, one
// message at a time behind a barrier: after each post, a round trip (the
// target is back in its loop, ready to take the message), the message's own
// wait (and at least BarrierPauseMicroseconds after that answer), then a
// second round trip before the next post. A retrieval answers every sent
// message waiting before it returns a posted one, so the pause between the
// two round trips is what lets the target take the message first; the second
// is then answered only once it has handled it and come back, by which time
// its TranslateMessage has queued a key-down's character. Left arrows make no
// character and keep their plain pause.
// So at most one message waits in its queue and the characters keep their
// order. An idle target sees the plan's pace, a slow one sets its own. Once
// the target fails to answer, the rest goes at the plain pace.
DeliveryOutcome deliverPlan(const ExpansionPlan& plan, MessagePoster& poster);

// The worker's whole job. `word` is the word as it was when the worker was
// started and `table` the snapshot taken then. Returns the plan delivered,
// nothing when the word is no abbreviation; only then is the gate closed
// while it types, and `outcome`, when given, says how the delivery went.
std::optional<ExpansionPlan> runExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table,
                                          ExpansionGate& gate, MessagePoster& poster,
                                          DeliveryOutcome* outcome = nullptr);

}  // namespace calmirande
