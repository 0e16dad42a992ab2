#include "engine/delivery_win32.h"

#include <windows.h>

#include <thread>
#include <utility>

#include "common/unique_handle_win32.h"

namespace calmirande {

// cbSize must be the structure of this build: 48 bytes on i686.
static_assert(sizeof(GUITHREADINFO) == (sizeof(void*) == 4 ? 48 : 72));

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
                runExpansion(word, trigger, *table, gate, poster);
            } catch (...) {
                // Nothing to report to: an expansion that fails types nothing more.
            }
        }).detach();
    } catch (...) {
    }
}

}  // namespace calmirande
