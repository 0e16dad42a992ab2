#pragma once
// Delivery of expansions into the focused control of the foreground
// application, as one block of key events in the system's input stream
// (SendInput), after the guards of deliverPlan.

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/expansion_worker.h"
#include "engine/key_hold.h"
#include "engine/keyboard_engine.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// What the hook and the threads it starts share, and where the threads wake
// the loop after a report; lives as long as the process.
struct HookCounters : EngineCounters {
    // The hooks' thread, and the thread message that makes it take the
    // reports; set by that thread before it hands over any job.
    std::uint32_t wakeThread = 0;  // a thread id
    std::uint32_t wakeMessage = 0;
};

// Marks the program's own events (dwExtraInfo), beside the system's
// LLKHF_INJECTED: its blocks, and the user's held keys given back.
inline constexpr std::uintptr_t OwnInputSignature = 0x43414C4D;     // "CALM"
inline constexpr std::uintptr_t ReplayInputSignature = 0x43414C52;  // "CALR"

// The foreground window and its focused control now. Any thread.
FocusTarget currentFocus();

// A monotonic clock in microseconds (QueryPerformanceCounter). Any thread.
std::int64_t monotonicMicroseconds();

// The system's input stream for one delivery. Worker thread.
class Win32InputSink final : public InputSink {
public:
    explicit Win32InputSink(const HookCounters* counters, const ExpansionGate* gate = nullptr)
        : counters_(counters), gate_(gate) {}

    FocusTarget focus() override { return currentFocus(); }
    std::uint32_t userKeyPresses() override;
    ModifierKeys modifiers() override;
    bool stopRequested() override { return gate_ && gate_->stopRequested(); }
    PacketSupport packetSupport() override;
    std::optional<LayoutKey> keyFor(char16_t unit) override;
    std::size_t send(const std::vector<InputEvent>& events) override;
    std::int64_t nowMicroseconds() override { return monotonicMicroseconds(); }
    void waitMicroseconds(std::int64_t microseconds) override;

    // When send() first called SendInput and when it last returned, on the
    // same clock; 0 before. Under Wine the call returns only once every low-level hook
    // (ours included) has seen each event, so the two differ by the block's
    // length; the block is whole in the stream from the call on.
    std::int64_t sendingAt() const { return sendingAt_; }
    std::int64_t sentAt() const { return sentAt_; }

private:
    const HookCounters* counters_;  // we don't own it; null: nobody counts (the probe)
    const ExpansionGate* gate_;     // we don't own it; null: nobody stops the block
    std::int64_t sendingAt_ = 0;
    std::int64_t sentAt_ = 0;
    // The foreground thread's layout and Caps Lock, read at the first key a
    // block needs: the user's keys are held until the block is in, so
    // neither changes for the target meanwhile.
    std::uintptr_t layout_ = 0;  // an HKL
    bool capsLock_ = false;
};

// Sends `events` in one SendInput call; returns how many went in.
std::size_t sendInputBlock(const std::vector<InputEvent>& events);

// One delivery of this run, for the instrumented figures.
struct DeliveryTiming {
    double hookToSendingMs = -1;  // the ending key's hook call to the SendInput call; -1 when nothing was sent
    double hookToSentMs = -1;     // ... to SendInput's return
    std::size_t events = 0;
    DeliveryResult result = DeliveryResult::Sent;
};
// The deliveries of this run so far (the first 4096), in the order they ended.
std::vector<DeliveryTiming> deliveryTimings();

// Test builds: each worker waits this long before it checks its guards, so
// that a test can type, click or hold a key between the ending key and the
// block. 0 (no wait) unless set; any thread.
void holdDeliveriesForTests(unsigned milliseconds);
// Tests: every call of a block is followed by this pause, so that a long
// text takes as long on every machine (0: no pause).
void pauseBetweenCallsForTests(unsigned milliseconds);

// Hands one completed word to the program's typist (one thread for the
// whole run, started on first use), which plans and types it after the jobs
// handed over before it. Counted by the gate (workersRunning) from now to
// its end; the hook has begun the gate's expansion, which the typist ends
// (or this, when it cannot be handed over), and reports its end in
// `counters` (expansionsOver). The typist takes its table snapshot when the
// job starts. `tables`, `gate` and `counters` must outlive every job (they
// live as long as the process). Never throws: a word that cannot be handed
// over is a word not expanded.
void startExpansionWorker(CompletedWord word, const ExpansionTableSlot& tables, ExpansionGate& gate,
                          HookCounters& counters) noexcept;

// Sends held keys again, marked ReplayInputSignature (or `signature`) and
// with their own time stamps, in one SendInput call; returns how many went in.
std::size_t sendHeldKeys(const std::vector<HeldKey>& keys, std::uintptr_t signature = ReplayInputSignature);

// Hands key-ups of modifiers the program's own input left down to the
// typist, which sends them marked OwnInputSignature after the jobs handed
// over before. False when they could not be handed over.
bool startRelease(std::vector<HeldKey> keys, ExpansionGate& gate, HookCounters& counters) noexcept;

// Hands a batch of held keys to the typist, counted by the gate like a word,
// which sends it and reports how many went in (replayInserted). False when
// it could not be handed over; nothing was sent then.
bool startReplay(std::vector<HeldKey> keys, ExpansionGate& gate, HookCounters& counters) noexcept;

}  // namespace calmirande
