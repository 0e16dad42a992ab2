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

}  // namespace

InputHooks::InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables, const std::int32_t& activeListIndex,
                       WritingAidView* aid)
    : gate_(gate), tables_(tables), activeListIndex_(activeListIndex), aid_(aid) {}

InputHooks::~InputHooks() { uninstall(); }

void InputHooks::install(HINSTANCE module, HWND wakeWindow, UINT wakeMessage) {
    module_ = module;
    wakeWindow_ = wakeWindow;
    wakeMessage_ = wakeMessage;
    installedHooks = this;
    lastHookCall_ = ::GetTickCount();
    keyboardHook_.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &InputHooks::keyboardProcedure, module, 0));
    mouseHook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, &InputHooks::mouseProcedure, module, 0));
}

bool InputHooks::reinstallIfLost() {
    if (installedHooks != this) return false;
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

void InputHooks::onKey(int nCode, WPARAM wParam, const KBDLLHOOKSTRUCT& key) {
    const std::int64_t start = monotonicMicroseconds();
    lastHookCall_ = ::GetTickCount();
    Win32KeyTranslator translator;
    const KeyEvent event{nCode, static_cast<std::uint32_t>(wParam), key.vkCode, key.scanCode, key.flags};
    std::uint32_t userKeyPresses = counters_.userKeyPresses.load(std::memory_order_relaxed);
    if (isUserKeyPress(event)) {
        counters_.userKeyPresses.store(++userKeyPresses, std::memory_order_release);
        // A key typed while an expansion goes in is already in the target:
        // the word it begins is not one the capture sees whole.
        if (gate_.typing()) capture_.skipWord();
    }
    CaptureEffects effects = capture_.onKey(event, gate_.captureAllowed(), activeListIndex_ != -1, translator);
    if (effects.processed) {
        if (effects.expansion) {
            // Capture is closed from this key until the block is in (or the
            // word turns out to be no abbreviation).
            effects.expansion->end = WordEnd{currentFocus(), userKeyPresses, start};
            gate_.beginTyping();
            if (!followUp_.addWord(std::move(*effects.expansion))) gate_.endTyping();
        }
        if (aid_) {
            // Most words select no row: the strip stays hidden and the loop
            // need not be woken for it.
            if (aid_->selectsRows(effects.aidWord)) followUp_.updateAid(effects.aidWord);
            else followUp_.hideAid();
        }
        wakeIfNeeded(key.time);
    }
    // Every key press of the user's, the ones the capture lets by included,
    // so that the figures compare with a bare hook's over the same keys (the
    // program's own blocks, many events each, would swamp them).
    if ((wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && !(key.flags & LLKHF_INJECTED)) {
        timings_.record(static_cast<double>(monotonicMicroseconds() - start));
    }
}

void InputHooks::wakeIfNeeded(DWORD eventTime) {
    if (loopRunsFollowUpNext_) return;
    if (followUp_.takeWake(eventTime) && !::PostMessageW(wakeWindow_, wakeMessage_, 0, 0)) followUp_.wakeFailed();
}

void InputHooks::runFollowUp() {
    followUp_.run(
        [this](CompletedWord word) { startExpansionWorker(std::move(word), tables_, gate_, counters_); },
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
            self->onKey(nCode, wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
        } catch (...) {
            // The key goes on to the application whatever happened here.
        }
    }
    return ::CallNextHookEx(self ? self->keyboardHook_.get() : nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK InputHooks::mouseProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    InputHooks* self = installedHooks;
    if (self && nCode == HC_ACTION) self->lastHookCall_ = ::GetTickCount();
    if (self && self->capture_.onMouse(nCode, static_cast<std::uint32_t>(wParam)) && self->aid_) {
        self->followUp_.hideAid();
        self->wakeIfNeeded(reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->time);
    }
    return ::CallNextHookEx(self ? self->mouseHook_.get() : nullptr, nCode, wParam, lParam);
}

}  // namespace calmirande
