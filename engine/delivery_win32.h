#pragma once
// Delivery of expansions into the focused window of the foreground
// application, by posted WM_KEYDOWN / WM_CHAR messages.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/expansion_worker.h"
#include "lists/expansion_table.h"

namespace calmirande {

// One per delivery (it remembers when the posting began). Worker thread.
class Win32MessagePoster final : public MessagePoster {
public:
    // A target that has not come back to its loop after this long is taken
    // as stopped: the rest of the delivery goes without waiting for it.
    static constexpr unsigned RoundTripTimeoutMs = 250;

    Window focusedWindow() override;
    bool awaitPendingInput(Window window) override;
    void post(Window window, const PlannedMessage& message) override;
    bool roundTrip(Window window) override;
    std::int64_t nowMicroseconds() override;
    void waitMicroseconds(std::int64_t microseconds) override;

    // nowMicroseconds() when the wait for pending input ended; 0 if it
    // never began.
    std::int64_t postingStarted() const { return postingStarted_; }

private:
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

// Starts the short-lived worker thread of one completed word. The word is
// handed over by value; the worker takes its table snapshot once, as it
// starts. `tables` and `gate` must outlive every worker (they live as long as
// the process). Never throws: a worker that cannot start is a word not expanded.
void startExpansionWorker(std::u16string word, std::uint32_t trigger, const ExpansionTableSlot& tables,
                          ExpansionGate& gate) noexcept;

}  // namespace calmirande
