#include "engine/delivery_win32.h"

#include <windows.h>

#include <deque>
#include <new>
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
constexpr std::size_t kMaxTimings = 4096;

std::atomic<unsigned> deliveryHoldMs{0};
std::atomic<unsigned> callPauseMs{0};

void recordDelivery(const DeliveryTiming& timing) {
    const LockGuard lock(timingsMutex);
    if (timings.size() < kMaxTimings) timings.push_back(timing);
}

bool down(int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; }

void wakeLoop(const HookCounters& counters) {
    ::PostThreadMessageW(counters.wakeThread, counters.wakeMessage, 0, 0);
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

PacketSupport Win32InputSink::packetSupport() {
    wchar_t name[64] = L"";
    const int length = ::GetClassNameW(::GetForegroundWindow(), name, 64);
    std::u16string className;
    for (int i = 0; i < length; ++i) className.push_back(static_cast<char16_t>(name[i]));
    return packetSupportOfWindowClass(className);
}

std::optional<LayoutKey> Win32InputSink::keyFor(char16_t unit) {
    if (layout_ == 0) {
        const DWORD thread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
        layout_ = reinterpret_cast<std::uintptr_t>(::GetKeyboardLayout(thread));
        ::GetKeyState(0);  // brings this thread's copy of the key state up to date
        capsLock_ = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    }
    const HKL layout = reinterpret_cast<HKL>(layout_);
    const SHORT keyScan = ::VkKeyScanExW(static_cast<WCHAR>(unit), layout);
    // The top bit of the unshifted character marks a dead key.
    const bool dead = keyScan != -1 && (::MapVirtualKeyExW(keyScan & 0xFF, 2 /* MAPVK_VK_TO_CHAR */, layout) & 0x80000000u);
    return layoutKeyFromScan(keyScan, dead, capsLock_);
}

std::size_t sendInputBlock(const std::vector<InputEvent>& events) {
    if (events.empty()) return 0;
    std::vector<INPUT> inputs;
    inputs.reserve(events.size());
    for (const InputEvent& event : events) inputs.push_back(toInput(event));
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::size_t sendHeldKeys(const std::vector<HeldKey>& keys, std::uintptr_t signature) {
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
        input.ki.dwExtraInfo = signature;
        input.ki.time = held.time;
        inputs.push_back(input);
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::size_t Win32InputSink::send(const std::vector<InputEvent>& events) {
    // A long block takes several calls: from the first one's start to the
    // last one's return.
    if (sendingAt_ == 0) sendingAt_ = monotonicMicroseconds();
    const std::size_t inserted = sendInputBlock(events);
    sentAt_ = monotonicMicroseconds();
    // After the call, so that the worker's look at the focus and at a stop
    // comes after the pause, as right before the next call.
    if (const unsigned pause = callPauseMs.load(std::memory_order_relaxed)) ::Sleep(pause);
    return inserted;
}

void Win32InputSink::waitMicroseconds(std::int64_t microseconds) {
    // Whole milliseconds, rounded up.
    ::Sleep(static_cast<DWORD>((microseconds + 999) / 1000));
}

void holdDeliveriesForTests(unsigned milliseconds) { deliveryHoldMs.store(milliseconds, std::memory_order_relaxed); }
void pauseBetweenCallsForTests(unsigned milliseconds) { callPauseMs.store(milliseconds, std::memory_order_relaxed); }

namespace {

// One batch of held keys sent again; its sender's report wakes the loop.
void replayBatch(const std::vector<HeldKey>& batch, HookCounters& counters) noexcept {
    std::size_t inserted = 0;
    try {
        inserted = sendHeldKeys(batch);
    } catch (...) {
        // A batch that fails to go in is reported short; the hold lets go of it.
    }
    if (inserted < batch.size()) counters.replaysShort.fetch_add(1, std::memory_order_relaxed);
    counters.replayInserted.store(static_cast<std::int32_t>(inserted), std::memory_order_release);
    wakeLoop(counters);
}

// One completed word from its snapshot of the table to its block (or
// nothing), reported over whatever happens.
void expandWord(const CompletedWord& completed, const ExpansionTableSlot& tables, ExpansionGate& gate,
                HookCounters& counters) noexcept {
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
}

// The one thread that types for the program, from its first word to its
// end: the blocks of expansions and the batches of held keys, one at a time,
// in the order they were handed over (a word that a batch ends is typed
// after that batch). Living as long as the process, it makes the ending key
// to the block's first event independent of a thread's creation. Each job
// is counted by the gate (workersRunning) from its handing over to its end,
// which is what the program's shutdown waits for.
class Typist {
public:
    static Typist* instance() noexcept {
        // Made on first use and never destroyed: the thread waits on it until
        // the process ends, after the shutdown has waited for its jobs.
        static Typist* const typist = [] { return new (std::nothrow) Typist; }();
        return typist && typist->started_ ? typist : nullptr;
    }

    enum class Kind : std::uint8_t { Word, Replay, Release };

    bool hand(Kind kind, CompletedWord word, std::vector<HeldKey> keys, const ExpansionTableSlot* tables,
              ExpansionGate& gate, HookCounters& counters) noexcept {
        gate.workerStarting();
        try {
            const LockGuard lock(mutex_);
            jobs_.push_back(Job{kind, std::move(word), std::move(keys), tables, &gate, &counters});
        } catch (...) {
            gate.workerEnded();
            return false;
        }
        ::SetEvent(wake_.get());
        return true;
    }

private:
    struct Job {
        Kind kind = Kind::Word;
        CompletedWord word;
        std::vector<HeldKey> keys;
        const ExpansionTableSlot* tables = nullptr;  // the process's; we don't own them
        ExpansionGate* gate = nullptr;
        HookCounters* counters = nullptr;
    };

    Typist() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        started_ = wake_ && startDetachedThread([this]() noexcept { run(); });
    }

    void run() noexcept {
        for (;;) {
            ::WaitForSingleObject(wake_.get(), INFINITE);
            for (;;) {
                Job job;
                {
                    const LockGuard lock(mutex_);
                    if (jobs_.empty()) break;
                    job = std::move(jobs_.front());
                    jobs_.pop_front();
                }
                switch (job.kind) {
                    case Kind::Word: expandWord(job.word, *job.tables, *job.gate, *job.counters); break;
                    case Kind::Replay: replayBatch(job.keys, *job.counters); break;
                    case Kind::Release: sendHeldKeys(job.keys, OwnInputSignature); break;
                }
                job.gate->workerEnded();  // last: shutdown may release everything once it reads 0
            }
        }
    }

    Mutex mutex_;
    std::deque<Job> jobs_;
    UniqueKernelHandle wake_;
    bool started_ = false;
};

}  // namespace

bool startReplay(std::vector<HeldKey> keys, ExpansionGate& gate, HookCounters& counters) noexcept {
    Typist* const typist = Typist::instance();
    return typist && typist->hand(Typist::Kind::Replay, {}, std::move(keys), nullptr, gate, counters);
}

bool startRelease(std::vector<HeldKey> keys, ExpansionGate& gate, HookCounters& counters) noexcept {
    Typist* const typist = Typist::instance();
    return typist && typist->hand(Typist::Kind::Release, {}, std::move(keys), nullptr, gate, counters);
}

void startExpansionWorker(CompletedWord word, const ExpansionTableSlot& tables, ExpansionGate& gate,
                          HookCounters& counters) noexcept {
    Typist* const typist = Typist::instance();
    if (!typist || !typist->hand(Typist::Kind::Word, std::move(word), {}, &tables, gate, counters)) {
        gate.endTyping();  // nothing will type it: the hook's expansion is over
        reportExpansionOver(counters);
    }
}

}  // namespace calmirande
