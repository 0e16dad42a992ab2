#include "engine/word_capture.h"

#include <algorithm>

#include "engine/virtual_keys.h"

namespace calmirande {
namespace {

constexpr char16_t kStar = u'*';

bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// With AltGr, Windows sends a left Ctrl of its own just before the Right Alt;
// that Ctrl carries this bit in its scan code, a real Ctrl never does.
constexpr std::uint32_t kAltGrControlScanBit = 0x200;

}  // namespace

bool isUserKeyPress(const KeyEvent& event) {
    const bool keyDown = event.message == WmKeyDown || event.message == WmSysKeyDown;
    if (event.nCode != HcAction || !keyDown || (event.flags & LlkhfInjected)) return false;
    return !isModifierKey(event.vkCode) && event.vkCode != VkCapital;
}

bool keepsTypedWord(const KeyEvent& event) {
    switch (event.vkCode) {
        case VkShift:
        case VkLShift:
        case VkRShift:
        case VkCapital:
        case VkRMenu:
            return true;
        case VkLControl:
            return (event.scanCode & kAltGrControlScanBit) != 0;
        default:
            return false;
    }
}

// Keys that move the caret or act without typing (arrows, Home, Delete,
// function keys, Ctrl, Alt, Windows keys): told by their code alone, so that
// a skipped word can end on them without translating a dead key away.
bool breaksWordWithoutCharacter(std::uint32_t vk) {
    if (vk >= 0x21 && vk <= 0x28) return true;  // Page Up to Down arrow
    if (vk >= 0x70 && vk <= 0x87) return true;  // F1 to F24
    switch (vk) {
        case 0x2D:  // Insert
        case 0x2E:  // Delete
        case 0x5B:  // left Windows
        case 0x5C:  // right Windows
        case 0x5D:  // Applications
        case VkControl:
        case VkLControl:
        case VkRControl:
        case VkMenu:
        case VkLMenu:
            return true;
        default:
            return false;
    }
}

WordCapture::WordCapture() { typedWord_.reserve(MaxTypedWordLength); }

void WordCapture::replayDeadKeys(KeyTranslator& translator) {
    // Only the translator's dead-key state matters here, not the results.
    for (std::size_t i = 0; i < deadKeys_.count; ++i) {
        const DeadKeyRecord& record = deadKeys_.slots[i];
        translator.translate(record.vkCode, record.scanCode, record.keyState);
    }
}

void WordCapture::append(const Translation& translation) {
    const auto length = static_cast<std::size_t>(std::min(translation.result, 4));
    if (typedWord_.size() + length > MaxTypedWordLength) {
        typedWord_.clear();  // not a word any more: start afresh
        return;
    }
    typedWord_.append(translation.units.data(), length);
}

CaptureEffects WordCapture::onKey(const KeyEvent& event, bool captureAllowed, bool listActive,
                                  KeyTranslator& translator) {
    CaptureEffects effects;
    const bool keyDown = event.message == WmKeyDown || event.message == WmSysKeyDown;
    if (!captureAllowed || !listActive || event.nCode != HcAction || !keyDown || (event.flags & LlkhfInjected)) {
        return effects;
    }
    // Capitals, "*" on many layouts and AltGr characters need these keys down
    // before the character: they are part of typing the word, not a break in
    // it. Not even translated, so a dead key waiting for its letter stays.
    if (keepsTypedWord(event)) return effects;
    effects.processed = true;
    if (skippingWord_) {
        // The skipped word ends as any word does: at an ending key, or where
        // the caret moves or a shortcut acts (Ctrl+A, Delete before a new
        // word).
        if (event.vkCode == VkSpace || event.vkCode == VkTab || event.vkCode == VkReturn ||
            breaksWordWithoutCharacter(event.vkCode)) {
            skippingWord_ = false;
        }
        return effects;
    }

    const KeyboardState state = translator.readKeyboardState();
    const Translation translation = translator.translate(event.vkCode, event.scanCode, state);

    if (translation.result < 0) {
        deadKeys_.deadKeyPending = true;
        if (deadKeys_.count < MaxDeadKeys) {
            deadKeys_.slots[deadKeys_.count] = {event.vkCode, event.scanCode, state};
            for (int repeat = 0; repeat < 4; ++repeat) {
                if (translator.translate(event.vkCode, event.scanCode, state).result != -1) break;
            }
            replayDeadKeys(translator);
            ++deadKeys_.count;
        }
    } else if (translation.result > 0) {
        if (translation.units[0] > 0x1F) {
            append(translation);
            if (deadKeys_.deadKeyPending) {
                deadKeys_.deadKeyPending = false;
                replayDeadKeys(translator);
                deadKeys_.count = 0;
            }
        }
        // A control character (Backspace, Tab, Enter, Escape, Ctrl+letter)
        // neither adds to the word nor ends the dead-key sequence.
    } else {
        typedWord_.clear();  // Ctrl, Alt, arrows, function keys...: the word is broken
    }

    if (event.vkCode == VkBack && !typedWord_.empty()) {
        // One character: a surrogate pair goes as a whole, as in an edit control.
        const std::size_t size = typedWord_.size();
        const bool pair = size >= 2 && isLowSurrogate(typedWord_[size - 1]) && isHighSurrogate(typedWord_[size - 2]);
        typedWord_.resize(size - (pair ? 2 : 1));
    }

    if (event.vkCode == VkSpace || event.vkCode == VkTab || event.vkCode == VkReturn) {
        // Space's own character was appended above; Tab's and Enter's were not.
        std::u16string_view word = typedWord_;
        if (event.vkCode == VkSpace && !word.empty()) word.remove_suffix(1);
        const std::size_t star = word.find(kStar);
        if (star == std::u16string_view::npos || word.back() == kStar) {
            effects.expansion = CompletedWord{std::u16string(word), event.vkCode, {}};
            typedWord_.clear();
        } else if (event.vkCode != VkSpace) {
            typedWord_.clear();  // Tab or Enter abandons a parameter being typed
        }
        // Space inside a parameter stays in it: parameters may hold spaces.
    }

    const std::u16string_view typed = typedWord_;
    effects.aidWord = typed.substr(0, typed.find(kStar));
    return effects;
}

void WordCapture::skipWord() {
    typedWord_.clear();
    deadKeys_ = {};
    skippingWord_ = true;
}

bool WordCapture::onMouse(int nCode, std::uint32_t message) {
    if (nCode != HcAction || message == WmMouseMove || message == WmNcMouseMove) return false;
    typedWord_.clear();
    skippingWord_ = false;  // the caret moved: what comes next is a new word
    return true;
}

}  // namespace calmirande
