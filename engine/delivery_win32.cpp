#include "engine/delivery_win32.h"

#include <windows.h>

#include <mutex>
#include <thread>
#include <utility>

#include "common/unique_handle_win32.h"

namespace calmirande {

// cbSize must be the structure of this build: 48 bytes on i686.
static_assert(sizeof(GUITHREADINFO) == (sizeof(void*) == 4 ? 48 : 72));

namespace {

// Written by the workers, read by the main thread at the end of a run.
std::mutex timingsMutex;
std::vector<DeliveryTiming> timings;
constexpr std::size_t kMaxTimings = 1024;

std::int64_t now() {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double milliseconds(std::int64_t from, std::int64_t to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1e3 / static_cast<double>(frequency.QuadPart);
}

void recordDelivery(const ExpansionPlan& plan, std::int64_t start, std::int64_t postingStarted) {
    if (postingStarted == 0) return;  // no focus window: nothing was delivered
    DeliveryTiming timing;
    timing.settleMs = milliseconds(start, postingStarted);
    timing.elapsedMs = milliseconds(postingStarted, now());
    for (const PlannedMessage& message : plan.messages) {
        if (message.waitMs == CharacterWaitMs) timing.pacingFloorMs += CharacterWaitMs;
    }
    const std::lock_guard lock(timingsMutex);
    if (timings.size() < kMaxTimings) timings.push_back(timing);
}

}  // namespace

std::vector<DeliveryTiming> deliveryTimings() {
    const std::lock_guard lock(timingsMutex);
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

void Win32MessagePoster::awaitPendingInput(Window window) {
    // A sent message is handled inside the target's GetMessage, before its
    // posted messages and its input. When a round trip returns, the target
    // is awake and about to ask for its next message, which is its pending
    // input since nothing is posted yet; the pause lets that request come
    // before the next round trip. No API tells when another thread's input
    // queue is empty, so this narrows the window rather than closing it:
    // typing "slt " at 15 ms a key into notepad under Wine with both cores
    // busy, the Space or the "t" was overtaken in 5 of 20 expansions without
    // this, 1 of 40 with two round trips 1 ms apart, 3 of 140 with three
    // 5 ms apart (none on an idle machine). It costs about 15 ms once per
    // expansion; a hung target costs at most the timeouts.
    for (int roundTrip = 0; roundTrip < 3; ++roundTrip) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
        ::Sleep(5);
    }
    postingStarted_ = now();
}

void Win32MessagePoster::post(Window window, const PlannedMessage& message) {
    const UINT msg = message.kind == MessageKind::Char ? WM_CHAR : WM_KEYDOWN;
    ::PostMessageW(reinterpret_cast<HWND>(window), msg, message.code, 0);
}

void Win32MessagePoster::wait(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void deliverToForeground(const ExpansionPlan& plan) {
    const TimerResolutionScope resolution;
    Win32MessagePoster poster;
    deliverPlan(plan, poster);
}

void startExpansionWorker(std::u16string word, std::uint32_t trigger, const ExpansionTableSlot& tables,
                          ExpansionGate& gate) noexcept {
    try {
        std::thread([word = std::move(word), trigger, &tables, &gate]() noexcept {
            try {
                const std::shared_ptr<const ExpansionTable> table = tables.snapshot();
                const TimerResolutionScope resolution;
                Win32MessagePoster poster;
                const std::int64_t start = now();
                if (const auto plan = runExpansion(word, trigger, *table, gate, poster)) {
                    recordDelivery(*plan, start, poster.postingStarted());
                }
            } catch (...) {
                // Nothing to report to: an expansion that fails types nothing more.
            }
        }).detach();
    } catch (...) {
    }
}

}  // namespace calmirande
