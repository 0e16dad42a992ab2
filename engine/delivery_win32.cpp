#include "engine/delivery_win32.h"

#include <windows.h>

#include <utility>

#include "common/sync.h"
#include "common/thread_win32.h"
#include "common/unique_handle_win32.h"

namespace calmirande {

// cbSize must be the structure of this build: 48 bytes on i686.
static_assert(sizeof(GUITHREADINFO) == (sizeof(void*) == 4 ? 48 : 72));

namespace {

// Written by the workers, read by the main thread at the end of a run.
Mutex timingsMutex;
std::vector<DeliveryTiming> timings;
constexpr std::size_t kMaxTimings = 1024;

std::int64_t frequency() {
    static const std::int64_t perSecond = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    return perSecond;
}

std::int64_t nowMicros() {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    // Split so that the product cannot overflow however long the uptime.
    const std::int64_t perSecond = frequency();
    return counter.QuadPart / perSecond * 1'000'000 + counter.QuadPart % perSecond * 1'000'000 / perSecond;
}

// One sent WM_NULL: handled inside the target's next message retrieval,
// before its posted messages and its input. False when the target did not
// answer in time, is hung, or is gone.
bool sendNull(HWND window) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, Win32MessagePoster::RoundTripTimeoutMs,
                                 &ignored) != 0;
}

void recordDelivery(const ExpansionPlan& plan, std::int64_t start, std::int64_t postingStarted,
                    const DeliveryOutcome& outcome) {
    if (!outcome.delivered) return;
    DeliveryTiming timing;
    timing.settleMs = static_cast<double>(postingStarted - start) / 1e3;
    timing.elapsedMs = static_cast<double>(nowMicros() - postingStarted) / 1e3;
    timing.orderedThroughout = outcome.orderedThroughout;
    for (const PlannedMessage& message : plan.messages) {
        if (message.waitMs == CharacterWaitMs) timing.pacingFloorMs += CharacterWaitMs;
    }
    const LockGuard lock(timingsMutex);
    if (timings.size() < kMaxTimings) timings.push_back(timing);
}

}  // namespace

std::vector<DeliveryTiming> deliveryTimings() {
    const LockGuard lock(timingsMutex);
    return timings;
}

MessagePoster::Window Win32MessagePoster::focusedWindow() {
    const HWND foreground = ::GetForegroundWindow();
    if (!foreground) return 0;
    const DWORD thread = ::GetWindowThreadProcessId(foreground, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof(GUITHREADINFO);
    if (!::GetGUIThreadInfo(thread, &info)) return 0;
    // We don't own the window: it belongs to another application.
    return reinterpret_cast<Window>(info.hwndFocus);
}

bool Win32MessagePoster::awaitPendingInput(Window window) {
    // When a round trip returns, the target is back in its loop and about to
    // take its next message, which is its pending input since nothing is
    // posted yet; the pause lets it do so before the next round trip. A slow
    // round trip means the target was busy (with the user's last keys, or
    // starved of CPU), so the wait goes on until one comes back quickly. No
    // API tells when another thread's input queue is empty, so this narrows
    // the window rather than closing it (docs/delivery.md has the figures).
    // It costs about 15 ms on an idle target.
    constexpr int minimumTrips = 3;
    constexpr std::int64_t quickTripMicros = 2'000;
    constexpr std::int64_t budgetMicros = 300'000;
    const HWND target = reinterpret_cast<HWND>(window);
    const std::int64_t start = nowMicros();
    // The system hands a key to the target only after every low-level hook
    // has had it, ours first: other hooks after ours (slow under load) may
    // still hold the ending key when the worker starts. Events reach the
    // hooks one after the other, so a later one seen by ours means it is in
    // the target's queue.
    if (keyEvents_) {
        while (keyEvents_->load(std::memory_order_acquire) == wordEndedAt_ &&
               nowMicros() - start < std::int64_t{LaterKeyEventTimeoutMs} * 1000) {
            ::Sleep(1);
        }
    }
    bool answered = true;
    for (int trip = 0;; ++trip) {
        const std::int64_t sent = nowMicros();
        answered = sendNull(target);
        const std::int64_t back = nowMicros();
        ::Sleep(5);
        if (!answered || back - start > budgetMicros) break;
        if (trip + 1 >= minimumTrips && back - sent < quickTripMicros) break;
    }
    postingStarted_ = nowMicros();
    return answered;
}

void Win32MessagePoster::post(Window window, const PlannedMessage& message) {
    const UINT msg = message.kind == MessageKind::Char ? WM_CHAR : WM_KEYDOWN;
    ::PostMessageW(reinterpret_cast<HWND>(window), msg, message.code, 0);
}

bool Win32MessagePoster::roundTrip(Window window) { return sendNull(reinterpret_cast<HWND>(window)); }

std::int64_t Win32MessagePoster::nowMicroseconds() { return nowMicros(); }

std::optional<CaretPosition> Win32MessagePoster::caret(Window window) {
    const HWND target = reinterpret_cast<HWND>(window);
    GUITHREADINFO info{};
    info.cbSize = sizeof(GUITHREADINFO);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(target, nullptr), &info) || info.hwndCaret != target) {
        return std::nullopt;
    }
    return CaretPosition{info.rcCaret.left, info.rcCaret.top};
}

void Win32MessagePoster::waitMicroseconds(std::int64_t microseconds) {
    // Whole milliseconds, rounded up: never shorter than the pace asks.
    ::Sleep(static_cast<DWORD>((microseconds + 999) / 1000));
}

void deliverToForeground(const ExpansionPlan& plan) {
    const TimerResolutionScope resolution;
    Win32MessagePoster poster;
    deliverPlan(plan, poster);
}

void startExpansionWorker(CompletedWord word, const ExpansionTableSlot& tables, ExpansionGate& gate,
                          const std::atomic<std::uint32_t>& keyEvents) noexcept {
    gate.workerStarting();
    const bool started = startDetachedThread([completed = std::move(word), &tables, &gate, &keyEvents]() noexcept {
        try {
            const std::shared_ptr<const ExpansionTable> table = tables.snapshot();
            const TimerResolutionScope resolution;
            Win32MessagePoster poster(&keyEvents, completed.keyEvent);
            const std::int64_t start = nowMicros();
            DeliveryOutcome outcome;
            if (const auto plan = runExpansion(completed.word, completed.trigger, *table, gate, poster, &outcome)) {
                recordDelivery(*plan, start, poster.postingStarted(), outcome);
            }
        } catch (...) {
            // Nothing to report to: an expansion that fails types nothing more.
        }
        gate.workerEnded();  // last: shutdown may release everything once it reads 0
    });
    if (!started) gate.workerEnded();  // the thread never started
}

}  // namespace calmirande
