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
    counters_.wakeWindow = wakeWindow;
    counters_.wakeMessage = wakeMessage;
    lastHookCall_ = ::GetTickCount();
    keyboardHook_.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &InputHooks::keyboardProcedure, module, 0));
    mouseHook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, &InputHooks::mouseProcedure, module, 0));
}

bool InputHooks::reinstallIfLost() {
    if (installedHooks != this) return false;
    hold_.expire(::GetTickCount());
    startDueBatch();
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
    if (installedHooks == this) {
        installedHooks = nullptr;
        // Typed just before the end: the keys go where they were going.
        sendHeldKeys(hold_.takeAll());
    }
}

bool InputHooks::onKey(int nCode, WPARAM wParam, const KBDLLHOOKSTRUCT& key) {
    const std::int64_t start = monotonicMicroseconds();
    lastHookCall_ = ::GetTickCount();
    const bool injected = (key.flags & LLKHF_INJECTED) != 0;
    const bool ownBlock = injected && key.dwExtraInfo == OwnInputSignature;
    const bool replayed = injected && key.dwExtraInfo == ReplayInputSignature;
    // The user's keys wait while an expansion goes in or keys held before
    // them wait; other programs' input is theirs to order and goes on.
    const bool keyDown = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
    if (!injected && hold_.hold(HeldKey{static_cast<std::uint32_t>(wParam), key.vkCode, key.scanCode, key.flags})) {
        if (keyDown) timings_.record(static_cast<double>(monotonicMicroseconds() - start));
        return true;
    }
    Win32KeyTranslator translator;
    // A held key given back is the user's typing, come back in its turn.
    const std::uint32_t flags = replayed ? key.flags & ~LLKHF_INJECTED : key.flags;
    const KeyEvent event{nCode, static_cast<std::uint32_t>(wParam), key.vkCode, key.scanCode, flags};
    std::uint32_t userKeyPresses = counters_.userKeyPresses.load(std::memory_order_relaxed);
    // Every press that reaches the target, other programs' included, counts
    // for the guards: only the program's own blocks do not.
    KeyEvent reaching = event;
    if (!ownBlock) reaching.flags &= ~LLKHF_INJECTED;
    if (isUserKeyPress(reaching)) {
        counters_.userKeyPresses.store(++userKeyPresses, std::memory_order_release);
        // A key typed while an expansion goes in is already in the target:
        // the word it begins is not one the capture sees whole.
        if (gate_.typing()) capture_.skipWord();
    }
    CaptureEffects effects = capture_.onKey(event, gate_.captureAllowed(), activeListIndex_ != -1, translator);
    if (effects.processed) {
        if (effects.expansion) {
            // Capture is closed from this key until the block is in (or the
            // word turns out to be no abbreviation), and the user's next keys
            // are held until then.
            effects.expansion->end = WordEnd{currentFocus(), userKeyPresses, start};
            gate_.beginTyping();
            if (followUp_.addWord(std::move(*effects.expansion))) hold_.expansionBegun();
            else gate_.endTyping();
        }
        if (aid_) {
            // Most words select no row: the strip stays hidden and the loop
            // need not be woken for it.
            if (aid_->selectsRows(effects.aidWord)) followUp_.updateAid(effects.aidWord);
            else followUp_.hideAid();
        }
    }
    if (replayed) {
        hold_.replayedKeySeen();
        if (hold_.batchDue()) followUp_.requestRun();
    }
    wakeIfNeeded(key.time);
    // Every key press of the user's, the ones the capture lets by included,
    // so that the figures compare with a bare hook's over the same keys (the
    // program's own blocks, many events each, would swamp them).
    if (keyDown && !injected) {
        timings_.record(static_cast<double>(monotonicMicroseconds() - start));
    }
    return false;
}

void InputHooks::wakeIfNeeded(DWORD eventTime) {
    if (loopRunsFollowUpNext_) return;
    if (followUp_.takeWake(eventTime) && !::PostMessageW(wakeWindow_, wakeMessage_, 0, 0)) followUp_.wakeFailed();
}

bool InputHooks::followUpPending() const {
    return followUp_.pending() || hold_.batchDue() ||
           counters_.expansionsOver.load(std::memory_order_acquire) != 0 ||
           counters_.replayInserted.load(std::memory_order_acquire) >= 0;
}

void InputHooks::takeReports() {
    for (std::uint32_t over = counters_.expansionsOver.exchange(0, std::memory_order_acq_rel); over > 0; --over) {
        hold_.expansionEnded();
    }
    const std::int32_t inserted = counters_.replayInserted.exchange(-1, std::memory_order_acq_rel);
    if (inserted >= 0) hold_.batchSent(static_cast<std::size_t>(inserted), ::GetTickCount());
}

void InputHooks::startDueBatch() {
    if (!hold_.batchDue()) return;
    std::vector<HeldKey> batch = hold_.takeBatch();
    // A batch that cannot be sent is one that never comes back.
    if (!startReplay(std::move(batch), gate_, counters_)) hold_.batchSent(0, ::GetTickCount());
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
    takeReports();
    startDueBatch();
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
            // Held for later: the application gets it when it is given back.
            if (self->onKey(nCode, wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) return 1;
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
