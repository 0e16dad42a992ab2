#pragma once
// Delivery of expansions into the focused window of the foreground
// application, by posted WM_KEYDOWN / WM_CHAR messages.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/expansion_worker.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// One per delivery (it remembers when the posting began). Worker thread.
class Win32MessagePoster final : public MessagePoster {
public:
    // How long to wait for the hook to see a key event after the one that
    // ended the word (its release, usually), which proves that key queued.
    static constexpr unsigned LaterKeyEventTimeoutMs = 150;

    Win32MessagePoster() = default;
    // `keyEvents` is the hook's running count of key events (we don't own
    // it; it outlives the workers) and `wordEndedAt` its value when the word
    // ended.
    Win32MessagePoster(const std::atomic<std::uint32_t>* keyEvents, std::uint32_t wordEndedAt)
        : keyEvents_(keyEvents), wordEndedAt_(wordEndedAt) {}

    // A target that has not come back to its loop after this long is taken
    // as stopped: the rest of the delivery goes without waiting for it.
    static constexpr unsigned RoundTripTimeoutMs = 250;

    Window focusedWindow() override;
    bool awaitPendingInput(Window window) override;
    void post(Window window, const PlannedMessage& message) override;
    bool roundTrip(Window window) override;
    std::int64_t nowMicroseconds() override;
    void waitMicroseconds(std::int64_t microseconds) override;
    std::optional<CaretPosition> caret(Window window) override;

    // nowMicroseconds() when the wait for pending input ended; 0 if it
    // never began.
    std::int64_t postingStarted() const { return postingStarted_; }

private:
    const std::atomic<std::uint32_t>* keyEvents_ = nullptr;
    std::uint32_t wordEndedAt_ = 0;
    std::int64_t postingStarted_ = 0;
};

// Posts `plan` now, on the calling thread, with the timer resolution raised.
void deliverToForeground(const ExpansionPlan& plan);

// How long one delivery took: the wait for the target's pending input, then
// the posting, barriers included, against its pacing floor, 5 ms for each
// Backspace and character (n + 1 + m of them).
struct DeliveryTiming {
    double settleMs = 0;
    double elapsedMs = 0;
    double pacingFloorMs = 0;
    bool orderedThroughout = false;  // the target answered every barrier
};
// The deliveries of this run so far (the first 1024), in the order they ended.
std::vector<DeliveryTiming> deliveryTimings();

// Starts the short-lived worker thread of one completed word, counted by
// the gate (workersRunning) from before it starts to its end. The word is
// handed over by value; the worker takes its table snapshot once, as it
// starts. `tables`, `gate` and `keyEvents` (the hook's running count of key
// events) must outlive every worker (they live as long as the process).
// Never throws: a worker that cannot start is a word not expanded.
void startExpansionWorker(CompletedWord word, const ExpansionTableSlot& tables, ExpansionGate& gate,
                          const std::atomic<std::uint32_t>& keyEvents) noexcept;

}  // namespace calmirande
