#include "engine/input_hooks_win32.h"

#include <process.h>

#include "common/app_messages_win32.h"
#include "engine/delivery_win32.h"
#include "engine/hook_watchdog.h"

namespace calmirande {
namespace {

// The hook procedures get no context: the one installed instance is here.
// Written and read on the hooks' thread only.
InputHooks* installedHooks = nullptr;

// Thread messages of the hooks' thread (it has no window).
constexpr UINT WmHooksLose = WM_APP + 10;

// How long start() waits for the hooks to be installed, and stop() for the
// thread to end (it only has to unhook).
constexpr DWORD HooksStartMs = 10'000;
constexpr DWORD HooksStopMs = 5'000;

class Win32KeyTranslator final : public KeyTranslator {
public:
    KeyboardState readKeyboardState() override {
        // GetKeyState first: it makes the thread's key state current before
        // GetKeyboardState copies it (a low-level hook's thread has no input
        // of its own).
        ::GetKeyState(0);
        KeyboardState state{};
        ::GetKeyboardState(state.data());
        return state;
    }

    Translation translate(std::uint32_t vkCode, std::uint32_t scanCode, const KeyboardState& state) override {
        Translation translation;
        translation.result = ::ToUnicode(vkCode, scanCode, state.data(), reinterpret_cast<LPWSTR>(translation.units.data()),
                                         static_cast<int>(translation.units.size()), 0);
        return translation;
    }
};

class Win32HookEnvironment final : public HookEnvironment {
public:
    std::uintptr_t foreground() override { return reinterpret_cast<std::uintptr_t>(::GetForegroundWindow()); }
    FocusTarget focus() override { return currentFocus(); }
    std::int64_t nowMicroseconds() override { return monotonicMicroseconds(); }
    KeyTranslator& translator() override { return translator_; }

private:
    Win32KeyTranslator translator_;
};

KeyOrigin originOf(const KBDLLHOOKSTRUCT& key) {
    if ((key.flags & LLKHF_INJECTED) == 0) return KeyOrigin::User;
    if (key.dwExtraInfo == OwnInputSignature) return KeyOrigin::OwnBlock;
    if (key.dwExtraInfo == ReplayInputSignature) return KeyOrigin::Replay;
    return KeyOrigin::OtherProgram;
}

std::uintptr_t foregroundNow() { return reinterpret_cast<std::uintptr_t>(::GetForegroundWindow()); }

}  // namespace

InputHooks::InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables,
                       const std::atomic<std::int32_t>& activeListIndex, WritingAidView* aid)
    : gate_(gate), tables_(tables), activeListIndex_(activeListIndex), aid_(aid), engine_(gate, counters_) {}

InputHooks::~InputHooks() { stop(); }

void InputHooks::start(HINSTANCE module) {
    module_ = module;
    ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready_) return;
    unsigned id = 0;
    thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &InputHooks::threadMain, this, 0, &id)));
    if (!thread_) return;
    threadId_ = id;
    ::WaitForSingleObject(ready_.get(), HooksStartMs);
}

void InputHooks::stop() {
    if (!thread_) return;
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    // A thread that does not end in time keeps its hooks; the process ends
    // soon after and takes them.
    if (::WaitForSingleObject(thread_.get(), HooksStopMs) == WAIT_OBJECT_0) thread_.reset();
    else thread_.release();
    threadId_ = 0;
}

void InputHooks::releaseHeldKeys() {
    if (thread_) return;  // still running: its state is not ours to read
    // Typed just before the end: the keys go where they were going.
    sendHeldKeys(engine_.takeAllHeld(foregroundNow()));
}

void InputHooks::loseHooksForTests() {
    if (threadId_) ::PostThreadMessageW(threadId_, WmHooksLose, 0, 0);
}

unsigned __stdcall InputHooks::threadMain(void* self) noexcept {
    static_cast<InputHooks*>(self)->runLoop();
    return 0;
}

void InputHooks::install() {
    installedHooks = this;
    lastHookCall_ = ::GetTickCount();
    keyboardHook_.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &InputHooks::keyboardProcedure, module_, 0));
    mouseHook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, &InputHooks::mouseProcedure, module_, 0));
}

void InputHooks::runLoop() noexcept {
    MSG message;
    // The thread's queue, before anyone posts to it.
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    counters_.wakeThread = ::GetCurrentThreadId();
    counters_.wakeMessage = WmHookFollowUp;
    install();
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, HookWatchdogPeriodMs, nullptr);
    ::SetEvent(ready_.get());
    for (;;) {
        // The hooks are called inside this retrieval; what they leave runs
        // right after it, without a message of its own.
        loopRunsFollowUpNext_ = true;
        const BOOL got = ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
        loopRunsFollowUpNext_ = false;
        try {
            if (engine_.pending()) runFollowUp();
            if (got && message.message == WM_TIMER && message.hwnd == nullptr) reinstallIfLost();
        } catch (...) {
            // A job that cannot be handed over is a word not expanded.
        }
        if (!got) {
            ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) break;
        if (message.message == WmHooksLose) {
            ::UnhookWindowsHookEx(keyboardHook_.get());
            ::UnhookWindowsHookEx(mouseHook_.get());
        }
        // Thread messages have no window; anything else (a broadcast) is
        // the system's.
        if (message.hwnd) ::DispatchMessageW(&message);
    }
    if (watchdog) ::KillTimer(nullptr, watchdog);
    keyboardHook_.reset();
    mouseHook_.reset();
    installedHooks = nullptr;
}

void InputHooks::reinstallIfLost() {
    engine_.tick(::GetTickCount());
    runFollowUp();
    LASTINPUTINFO input{};
    input.cbSize = sizeof input;
    if (!::GetLastInputInfo(&input)) return;
    if (!hooksLost(input.dwTime, lastHookCall_)) return;
    // The old ones first (a call for a hook the system removed fails
    // harmlessly): two live keyboard hooks would capture every key twice.
    keyboardHook_.reset();
    mouseHook_.reset();
    install();
    hooksReinstalled_.fetch_add(1, std::memory_order_relaxed);
}

void InputHooks::refreshTable() {
    // A new snapshot only when the list changed: the slot's lock is held by
    // the publisher only to swap a pointer.
    const std::uint32_t generation = tables_.generation();
    if (generation == tableGeneration_) return;
    tableGeneration_ = generation;
    engine_.setTable(tables_.snapshot());
}

bool InputHooks::onKey(WPARAM wParam, const KBDLLHOOKSTRUCT& key) {
    const std::int64_t start = monotonicMicroseconds();
    lastHookCall_ = ::GetTickCount();
    refreshTable();
    const HookEvent event{static_cast<std::uint32_t>(wParam), key.vkCode, key.scanCode, key.flags, key.time,
                          originOf(key)};
    Win32HookEnvironment environment;
    const bool listActive = activeListIndex_.load(std::memory_order_relaxed) != -1;
    const KeyVerdict verdict = engine_.onKey(event, listActive, environment, aid_);
    if (verdict.wake) wake();
    // Every key press of the user's, the ones the capture lets by included,
    // so that the figures compare with a bare hook's over the same keys (the
    // program's own blocks, many events each, would swamp them).
    if ((wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && event.origin == KeyOrigin::User) {
        timings_.record(static_cast<double>(monotonicMicroseconds() - start));
    }
    return verdict.swallow;
}

void InputHooks::wake() {
    // The loop runs the follow-up right after this retrieval: nothing to post.
    if (loopRunsFollowUpNext_ || !::PostThreadMessageW(counters_.wakeThread, WmHookFollowUp, 0, 0)) {
        engine_.wakeFailed();
    }
}

void InputHooks::runFollowUp() {
    engine_.run(
        ::GetTickCount(), foregroundNow(),
        [this](CompletedWord word) { startExpansionWorker(std::move(word), tables_, gate_, counters_); },
        [this](std::vector<HeldKey> batch) { return startReplay(std::move(batch), gate_, counters_); },
        [this](std::u16string_view aidWord) {
            if (aid_) aid_->update(aidWord);
        },
        [this] {
            if (aid_) aid_->hide();
        },
        [this](std::vector<HeldKey> keys) { startRelease(std::move(keys), gate_, counters_); });
}

LRESULT CALLBACK InputHooks::keyboardProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    InputHooks* self = installedHooks;
    if (self && nCode == HC_ACTION) {
        try {
            // Held for later, or spent: the application gets it when it is
            // given back, or never.
            if (self->onKey(wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) return 1;
        } catch (...) {
            // The key goes on to the application whatever happened here.
        }
    }
    return ::CallNextHookEx(self ? self->keyboardHook_.get() : nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK InputHooks::mouseProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    InputHooks* self = installedHooks;
    if (self && nCode == HC_ACTION) self->lastHookCall_ = ::GetTickCount();
    if (self && self->engine_.onMouse(nCode, static_cast<std::uint32_t>(wParam),
                                      reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->time, self->aid_)) {
        self->wake();
    }
    return ::CallNextHookEx(self ? self->mouseHook_.get() : nullptr, nCode, wParam, lParam);
}

}  // namespace calmirande
