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

private:
    std::atomic<bool> expansionActive_{true};
    std::atomic<int> typing_{0};
};

// Where the messages go. Implementations keep no per-expansion state, so one
// instance serves every worker.
class MessagePoster {
public:
    using Window = std::uintptr_t;  // 0: none

    virtual ~MessagePoster() = default;
    // The focused window of the foreground application, or 0.
    virtual Window focusedWindow() = 0;
    // Returns once the target has handled, as far as can be told, the keys
    // still waiting in its input queue (the ending key above all): posted
    // messages are retrieved before them and would overtake them.
    virtual void awaitPendingInput(Window window) = 0;
    virtual void post(Window window, const PlannedMessage& message) = 0;
    virtual void wait(std::uint32_t milliseconds) = 0;
};

// Posts the plan to the focused window of the foreground application, pacing
// each message by its wait. Posts nothing when there is no focused window.
void deliverPlan(const ExpansionPlan& plan, MessagePoster& poster);

// The worker's whole job. `word` is the word as it was when the worker was
// started and `table` the snapshot taken then. Returns the plan delivered,
// nothing when the word is no abbreviation; only then is the gate closed
// while it types.
std::optional<ExpansionPlan> runExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table, ExpansionGate& gate,
                  MessagePoster& poster);

}  // namespace calmirande
