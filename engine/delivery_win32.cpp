#include "engine/delivery_win32.h"

#include <windows.h>

#include <utility>

#include "common/sync.h"
#include "common/thread_win32.h"

namespace calmirande {

// cbSize must be the structure of this build: 48 bytes on i686.
static_assert(sizeof(GUITHREADINFO) == (sizeof(void*) == 4 ? 48 : 72));

namespace {

// Written by the workers, read by the main thread at the end of a run.
Mutex timingsMutex;
std::vector<DeliveryTiming> timings;
constexpr std::size_t kMaxTimings = 4096;

std::atomic<unsigned> deliveryHoldMs{0};

void recordDelivery(const DeliveryTiming& timing) {
    const LockGuard lock(timingsMutex);
    if (timings.size() < kMaxTimings) timings.push_back(timing);
}

bool down(int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; }

void wakeLoop(const HookCounters& counters) {
    ::PostMessageW(static_cast<HWND>(counters.wakeWindow), counters.wakeMessage, 0, 0);
}

void reportExpansionOver(HookCounters& counters) {
    counters.expansionsOver.fetch_add(1, std::memory_order_acq_rel);
    wakeLoop(counters);
}

INPUT toInput(const InputEvent& event) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    KEYBDINPUT& key = input.ki;
    key.dwExtraInfo = OwnInputSignature;
    if (event.kind == InputKind::Unicode) {
        key.wScan = event.code;
        key.dwFlags = KEYEVENTF_UNICODE;
    } else {
        key.wVk = event.code;
        key.wScan = static_cast<WORD>(::MapVirtualKeyW(event.code, 0 /* MAPVK_VK_TO_VSC */));
        // The arrows are extended keys: without the flag, the number pad's.
        if (event.code == VK_LEFT) key.dwFlags = KEYEVENTF_EXTENDEDKEY;
    }
    if (event.keyUp) key.dwFlags |= KEYEVENTF_KEYUP;
    return input;
}

}  // namespace

std::int64_t monotonicMicroseconds() {
    static const std::int64_t perSecond = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    // Split so that the product cannot overflow however long the uptime.
    return counter.QuadPart / perSecond * 1'000'000 + counter.QuadPart % perSecond * 1'000'000 / perSecond;
}

FocusTarget currentFocus() {
    FocusTarget target;
    const HWND foreground = ::GetForegroundWindow();
    if (!foreground) return target;
    // We own neither window: they belong to another application.
    target.foreground = reinterpret_cast<std::uintptr_t>(foreground);
    GUITHREADINFO info{};
    info.cbSize = sizeof(GUITHREADINFO);
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(foreground, nullptr), &info)) {
        target.focus = reinterpret_cast<std::uintptr_t>(info.hwndFocus);
    }
    return target;
}

std::vector<DeliveryTiming> deliveryTimings() {
    const LockGuard lock(timingsMutex);
    return timings;
}

std::uint32_t Win32InputSink::userKeyPresses() {
    return counters_ ? counters_->userKeyPresses.load(std::memory_order_acquire) : 0;
}

ModifierKeys Win32InputSink::modifiers() {
    ModifierKeys keys;
    keys.leftShift = down(VK_LSHIFT);
    keys.rightShift = down(VK_RSHIFT);
    keys.control = down(VK_CONTROL);
    keys.alt = down(VK_MENU);
    keys.windows = down(VK_LWIN) || down(VK_RWIN);
    return keys;
}

std::size_t sendInputBlock(const std::vector<InputEvent>& events) {
    if (events.empty()) return 0;
    std::vector<INPUT> inputs;
    inputs.reserve(events.size());
    for (const InputEvent& event : events) inputs.push_back(toInput(event));
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::size_t sendHeldKeys(const std::vector<HeldKey>& keys) {
    if (keys.empty()) return 0;
    std::vector<INPUT> inputs;
    inputs.reserve(keys.size());
    for (const HeldKey& held : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(held.vkCode);
        input.ki.wScan = static_cast<WORD>(held.scanCode);
        if (held.flags & LLKHF_EXTENDED) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        if (held.message == WM_KEYUP || held.message == WM_SYSKEYUP) input.ki.dwFlags |= KEYEVENTF_KEYUP;
        input.ki.dwExtraInfo = ReplayInputSignature;
        input.ki.time = held.time;
        inputs.push_back(input);
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool startReplay(std::vector<HeldKey> keys, ExpansionGate& gate, HookCounters& counters) noexcept {
    gate.workerStarting();
    const bool started = startDetachedThread([batch = std::move(keys), &gate, &counters]() noexcept {
        std::size_t inserted = 0;
        try {
            inserted = sendHeldKeys(batch);
        } catch (...) {
            // A batch that fails to go in is reported short; the hold lets go of it.
        }
        if (inserted < batch.size()) counters.replaysShort.fetch_add(1, std::memory_order_relaxed);
        counters.replayInserted.store(static_cast<std::int32_t>(inserted), std::memory_order_release);
        wakeLoop(counters);
        gate.workerEnded();  // last: shutdown may release everything once it reads 0
    });
    if (!started) gate.workerEnded();
    return started;
}

std::size_t Win32InputSink::send(const std::vector<InputEvent>& events) {
    // A long block takes several calls: from the first one's start to the
    // last one's return.
    if (sendingAt_ == 0) sendingAt_ = monotonicMicroseconds();
    const std::size_t inserted = sendInputBlock(events);
    sentAt_ = monotonicMicroseconds();
    return inserted;
}

void Win32InputSink::waitMicroseconds(std::int64_t microseconds) {
    // Whole milliseconds, rounded up.
    ::Sleep(static_cast<DWORD>((microseconds + 999) / 1000));
}

void holdDeliveriesForTests(unsigned milliseconds) { deliveryHoldMs.store(milliseconds, std::memory_order_relaxed); }

void startExpansionWorker(CompletedWord word, const ExpansionTableSlot& tables, ExpansionGate& gate,
                          HookCounters& counters) noexcept {
    gate.workerStarting();
    const bool started = startDetachedThread([completed = std::move(word), &tables, &gate, &counters]() noexcept {
        bool handedOver = false;  // from then on runExpansion ends the gate's expansion, whatever happens
        try {
            const std::shared_ptr<const ExpansionTable> table = tables.snapshot();
            Win32InputSink sink(&counters, &gate);
            if (const unsigned hold = deliveryHoldMs.load(std::memory_order_relaxed)) ::Sleep(hold);
            DeliveryResult result = DeliveryResult::Sent;
            handedOver = true;
            if (const auto plan = runExpansion(completed, *table, gate, sink, &result)) {
                DeliveryTiming timing;
                timing.events = plan->events.size();
                timing.result = result;
                if (sink.sentAt() != 0) {
                    timing.hookToSendingMs = static_cast<double>(sink.sendingAt() - completed.end.microseconds) / 1e3;
                    timing.hookToSentMs = static_cast<double>(sink.sentAt() - completed.end.microseconds) / 1e3;
                }
                recordDelivery(timing);
            }
        } catch (...) {
            // Nothing to report to: an expansion that fails types nothing more.
            if (!handedOver) gate.endTyping();
        }
        // The user's keys held since the ending key may go back now.
        reportExpansionOver(counters);
        gate.workerEnded();  // last: shutdown may release everything once it reads 0
    });
    if (!started) {
        gate.endTyping();  // the thread never started: the hook's expansion is over
        reportExpansionOver(counters);
        gate.workerEnded();
    }
}

}  // namespace calmirande
