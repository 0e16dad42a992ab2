#include "engine/input_hooks_win32.h"

#include "engine/delivery_win32.h"
#include "engine/hook_watchdog.h"

namespace calmirande {
namespace {

// The hook procedures get no context: the one installed instance is here.
// Written and read on the main thread only.
InputHooks* installedHooks = nullptr;

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

InputHooks::InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables, const std::int32_t& activeListIndex,
                       WritingAidView* aid)
    : gate_(gate), tables_(tables), activeListIndex_(activeListIndex), aid_(aid), engine_(gate, counters_) {}

InputHooks::~InputHooks() {
    uninstall();
    releaseHeldKeys();
}

void InputHooks::install(HINSTANCE module, HWND wakeWindow, UINT wakeMessage) {
    module_ = module;
    wakeWindow_ = wakeWindow;
    wakeMessage_ = wakeMessage;
    installedHooks = this;
    counters_.wakeWindow = wakeWindow;
    counters_.wakeMessage = wakeMessage;
    lastHookCall_ = ::GetTickCount();
    keyboardHook_.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &InputHooks::keyboardProcedure, module, 0));
    mouseHook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, &InputHooks::mouseProcedure, module, 0));
}

bool InputHooks::reinstallIfLost() {
    if (installedHooks != this) return false;
    engine_.tick(::GetTickCount());
    runFollowUp();
    LASTINPUTINFO input{};
    input.cbSize = sizeof input;
    if (!::GetLastInputInfo(&input)) return false;
    if (!hooksLost(input.dwTime, lastHookCall_)) return false;
    // The old ones first (a call for a hook the system removed fails
    // harmlessly): two live keyboard hooks would capture every key twice.
    keyboardHook_.reset();
    mouseHook_.reset();
    install(module_, wakeWindow_, wakeMessage_);
    return true;
}

void InputHooks::loseHooksForTests() {
    ::UnhookWindowsHookEx(keyboardHook_.get());
    ::UnhookWindowsHookEx(mouseHook_.get());
}

void InputHooks::uninstall() {
    keyboardHook_.reset();
    mouseHook_.reset();
    if (installedHooks == this) installedHooks = nullptr;
}

void InputHooks::releaseHeldKeys() {
    // Typed just before the end: the keys go where they were going.
    sendHeldKeys(engine_.takeAllHeld(foregroundNow()));
}

void InputHooks::refreshTable() {
    // A new snapshot only when the list changed: the slot's lock is then
    // taken on the thread that publishes (this one), never waited for.
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
    const KeyVerdict verdict = engine_.onKey(event, activeListIndex_ != -1, environment, aid_);
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
    if (loopRunsFollowUpNext_ || !::PostMessageW(wakeWindow_, wakeMessage_, 0, 0)) engine_.wakeFailed();
}

bool InputHooks::followUpPending() const { return engine_.pending(); }

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
        });
}

void runPendingHookWork() noexcept {
    InputHooks* hooks = installedHooks;
    if (!hooks || !hooks->followUpPending()) return;
    try {
        hooks->runFollowUp();
    } catch (...) {
        // A worker that cannot start is a word not expanded; nothing to report.
    }
}

LRESULT CALLBACK InputHooks::keyboardProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    InputHooks* self = installedHooks;
    if (self && nCode == HC_ACTION) {
        try {
            // Held for later, or spent: the application gets it when it is given back, or never.
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
