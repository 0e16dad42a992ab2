#include "engine/input_hooks_win32.h"

#include "engine/delivery_win32.h"

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

double elapsedMicroseconds(const LARGE_INTEGER& start) {
    LARGE_INTEGER end, frequency;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

InputHooks::InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables, const std::int32_t& activeListIndex,
                       WritingAidView* aid)
    : gate_(gate), tables_(tables), activeListIndex_(activeListIndex), aid_(aid) {}

InputHooks::~InputHooks() { uninstall(); }

void InputHooks::install(HINSTANCE module, HWND wakeWindow, UINT wakeMessage) {
    wakeWindow_ = wakeWindow;
    wakeMessage_ = wakeMessage;
    installedHooks = this;
    keyboardHook_.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &InputHooks::keyboardProcedure, module, 0));
    mouseHook_.reset(::SetWindowsHookExW(WH_MOUSE_LL, &InputHooks::mouseProcedure, module, 0));
}

void InputHooks::uninstall() {
    keyboardHook_.reset();
    mouseHook_.reset();
    if (installedHooks == this) installedHooks = nullptr;
}

void InputHooks::onKey(int nCode, WPARAM wParam, const KBDLLHOOKSTRUCT& key) {
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    const std::uint32_t keyEvent = keyEvents_.fetch_add(1, std::memory_order_acq_rel) + 1;
    Win32KeyTranslator translator;
    const KeyEvent event{nCode, static_cast<std::uint32_t>(wParam), key.vkCode, key.scanCode, key.flags};
    CaptureEffects effects = capture_.onKey(event, gate_.captureAllowed(), activeListIndex_ != -1, translator);
    if (effects.processed) {
        if (effects.expansion) {
            effects.expansion->keyEvent = keyEvent;
            followUp_.addWord(std::move(*effects.expansion));
        }
        if (aid_) {
            // Most words select no row: the strip stays hidden and the loop
            // need not be woken for it.
            if (aid_->selectsRows(effects.aidWord)) followUp_.updateAid(effects.aidWord);
            else followUp_.hideAid();
        }
        wakeIfNeeded(key.time);
    }
    // Every key press, the ones the capture lets by included, so that the
    // figures compare with a bare hook's over the same keys.
    if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) timings_.record(elapsedMicroseconds(start));
}

void InputHooks::wakeIfNeeded(DWORD eventTime) {
    if (loopRunsFollowUpNext_) return;
    if (followUp_.takeWake(eventTime) && !::PostMessageW(wakeWindow_, wakeMessage_, 0, 0)) followUp_.wakeFailed();
}

void InputHooks::runFollowUp() {
    followUp_.run(
        [this](CompletedWord word) { startExpansionWorker(std::move(word), tables_, gate_, keyEvents_); },
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
    if (self && self->capture_.onMouse(nCode, static_cast<std::uint32_t>(wParam)) && self->aid_) {
        self->followUp_.hideAid();
        self->wakeIfNeeded(reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->time);
    }
    return ::CallNextHookEx(self ? self->mouseHook_.get() : nullptr, nCode, wParam, lParam);
}

}  // namespace calmirande
