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

void recordDelivery(const ExpansionPlan& plan, const LARGE_INTEGER& start) {
    LARGE_INTEGER end, frequency;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    DeliveryTiming timing;
    timing.elapsedMs = static_cast<double>(end.QuadPart - start.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
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
                LARGE_INTEGER start;
                ::QueryPerformanceCounter(&start);
                if (const auto plan = runExpansion(word, trigger, *table, gate, poster)) recordDelivery(*plan, start);
            } catch (...) {
                // Nothing to report to: an expansion that fails types nothing more.
            }
        }).detach();
    } catch (...) {
    }
}

}  // namespace calmirande
