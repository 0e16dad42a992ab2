#pragma once
// Capture of the word being typed, from the keys the low-level keyboard hook
// sees, apart from Windows: the hook turns its event into a KeyEvent, hands it
// to WordCapture::onKey with the platform's key translation behind
// KeyTranslator, and carries out the returned effects (start an expansion,
// update the writing aid). Main thread only: the hooks run there.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calmirande {

// Hook codes and messages, as Windows numbers them.
inline constexpr int HcAction = 0;
inline constexpr std::uint32_t WmKeyDown = 0x0100;
inline constexpr std::uint32_t WmKeyUp = 0x0101;
inline constexpr std::uint32_t WmSysKeyDown = 0x0104;
inline constexpr std::uint32_t WmSysKeyUp = 0x0105;
inline constexpr std::uint32_t WmMouseMove = 0x0200;
inline constexpr std::uint32_t WmNcMouseMove = 0x00A0;
inline constexpr std::uint32_t LlkhfInjected = 0x10;
inline constexpr std::uint32_t LlkhfUp = 0x80;

// The longest TypedWord kept. Far beyond any abbreviation with its four
// parameters; a longer run of characters is not a word to expand, and the
// bound keeps the hook from allocating: the room is reserved once.
inline constexpr std::size_t MaxTypedWordLength = 1024;

struct KeyEvent {
    int nCode = HcAction;
    std::uint32_t message = WmKeyDown;
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;
};

using KeyboardState = std::array<std::uint8_t, 256>;

// What ToUnicode said: -1 for a dead key, 0 for no character, or the number
// of UTF-16 units written to `units`.
struct Translation {
    int result = 0;
    std::array<char16_t, 4> units{};
};

// The platform's key translation. Each call may change the translator's
// dead-key state, which is why the capture repeats and replays dead keys.
class KeyTranslator {
public:
    virtual ~KeyTranslator() = default;
    virtual KeyboardState readKeyboardState() = 0;
    virtual Translation translate(std::uint32_t vkCode, std::uint32_t scanCode, const KeyboardState& state) = 0;
};

struct DeadKeyRecord {
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    KeyboardState keyState{};
};

inline constexpr std::size_t MaxDeadKeys = 4;

struct DeadKeyQueue {
    std::array<DeadKeyRecord, MaxDeadKeys> slots{};
    std::size_t count = 0;
    bool deadKeyPending = false;
};

// The foreground window and its focused control, as the delivery compares
// them; 0 where there is none.
struct FocusTarget {
    std::uintptr_t foreground = 0;
    std::uintptr_t focus = 0;
    friend bool operator==(const FocusTarget&, const FocusTarget&) = default;
};

// Which modifiers are down, as the target has been given the keys.
struct ModifierKeys {
    bool leftShift = false;
    bool rightShift = false;
    bool control = false;
    bool alt = false;
    bool windows = false;  // either Windows key
    friend bool operator==(const ModifierKeys&, const ModifierKeys&) = default;
};

// What the hook records of the moment the word ended, for the delivery's
// guards: where the word was typed, the hook's count of the user's key
// presses (userKeyPress) up to and including the ending key, and the Shift
// keys down for the target then (a fast typist's capitals): the user's keys
// after the ending key are held, so that is still the target's state when
// the block goes in, whatever the system's own copy says.
struct WordEnd {
    FocusTarget focus;
    std::uint32_t userKeyPresses = 0;
    std::int64_t microseconds = 0;  // the ending key's hook call, on the delivery's clock
    ModifierKeys modifiers;
};

// A word ended by Space, Tab or Enter, to hand to an expansion worker.
struct CompletedWord {
    std::u16string word;
    std::uint32_t trigger = 0;
    WordEnd end;  // set by the hook
};

// A key press the user typed (not injected), other than Shift, Ctrl, Alt,
// the Windows keys and Caps Lock: one that puts something into the target.
// Such a press after a word's ending key means the user typed on before its
// expansion went in.
bool isUserKeyPress(const KeyEvent& event);

// Shift (either), Caps Lock and AltGr (Right Alt with the left Ctrl Windows
// sends along with it) leave the word and the dead keys as they are.
bool keepsTypedWord(const KeyEvent& event);

struct CaptureEffects {
    // The event passed the gate and was translated; false for the keys that
    // keep the word, which change nothing.
    bool processed = false;
    std::optional<CompletedWord> expansion;  // start a worker with this word
    std::u16string_view aidWord;            // when processed: what the writing aid shows; valid until the next event
};

class WordCapture {
public:
    WordCapture();

    // `captureAllowed`: the engine is on and no expansion is typing;
    // `listActive`: a list is active.
    CaptureEffects onKey(const KeyEvent& event, bool captureAllowed, bool listActive, KeyTranslator& translator);
    // A key the user typed while capture was closed (an expansion going in)
    // begins a word the capture never sees whole: that word is skipped up to
    // its ending key, which expands nothing.
    void skipWord();
    // True when the writing aid must be hidden (a click or a wheel turn).
    bool onMouse(int nCode, std::uint32_t message);

    const std::u16string& typedWord() const { return typedWord_; }
    const DeadKeyQueue& deadKeys() const { return deadKeys_; }

private:
    void replayDeadKeys(KeyTranslator& translator);
    void append(const Translation& translation);

    std::u16string typedWord_;  // TypedWord
    DeadKeyQueue deadKeys_;
    bool skippingWord_ = false;
};

}  // namespace calmirande
