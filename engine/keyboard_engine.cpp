#include "engine/keyboard_engine.h"

#include "common/lower_case.h"
#include "engine/expansion_plan.h"
#include "engine/virtual_keys.h"

namespace calmirande {
namespace {

constexpr std::uint32_t LlkhfExtended = 0x01;
constexpr std::uint32_t RightShiftScan = 0x36;

bool isKeyUpMessage(std::uint32_t message) { return message != WmKeyDown && message != WmSysKeyDown; }

}  // namespace

bool isAbbreviation(std::u16string_view word, const ExpansionTable& table, std::u16string& scratch) {
    const std::u16string_view key = splitWord(word).slots[0];
    if (key.empty() || key.size() > MaxTypedWordLength) return false;
    scratch.assign(key);
    lowerCaseInPlace(scratch);
    return table.find(scratch) != nullptr;
}

void ModifierTracker::onEvent(std::uint32_t vkCode, std::uint32_t scanCode, std::uint32_t flags, bool keyUp) {
    const bool extended = (flags & LlkhfExtended) != 0;
    Side side = Sides;
    switch (vkCode) {
        case VkLShift: side = LeftShift; break;
        case VkRShift: side = RightShift; break;
        case VkShift: side = scanCode == RightShiftScan ? RightShift : LeftShift; break;
        case VkLControl: side = LeftControl; break;
        case VkRControl: side = RightControl; break;
        case VkControl: side = extended ? RightControl : LeftControl; break;
        case VkLMenu: side = LeftAlt; break;
        case VkRMenu: side = RightAlt; break;
        case VkMenu: side = extended ? RightAlt : LeftAlt; break;
        case VkLWin: side = LeftWindows; break;
        case VkRWin: side = RightWindows; break;
        default: return;
    }
    down_[side] = !keyUp;
}

ModifierKeys ModifierTracker::keys() const {
    return {down_[LeftShift],
            down_[RightShift],
            down_[LeftControl] || down_[RightControl],
            down_[LeftAlt] || down_[RightAlt],
            down_[LeftWindows] || down_[RightWindows]};
}

bool ModifierTracker::shortcutHeld() const {
    const ModifierKeys held = keys();
    return held.control || held.alt || held.windows;
}

std::vector<HeldKey> ModifierTracker::releasesOfKeysUpIn(const ModifierTracker& typed) const {
    // Each side's key, scan code and whether it is an extended key.
    struct SideKey {
        std::uint32_t vk, scan, flags;
    };
    static constexpr std::array<SideKey, Sides> keysOfSides{{{VkLShift, 0x2A, 0},
                                                             {VkRShift, RightShiftScan, 0},
                                                             {VkLControl, 0x1D, 0},
                                                             {VkRControl, 0x1D, LlkhfExtended},
                                                             {VkLMenu, 0x38, 0},
                                                             {VkRMenu, 0x38, LlkhfExtended},
                                                             {VkLWin, 0x5B, LlkhfExtended},
                                                             {VkRWin, 0x5C, LlkhfExtended}}};
    std::vector<HeldKey> releases;
    for (std::size_t side = 0; side < Sides; ++side) {
        if (!down_[side] || typed.down_[side]) continue;
        const SideKey& key = keysOfSides[side];
        const bool alt = key.vk == VkLMenu || key.vk == VkRMenu;
        releases.push_back(HeldKey{alt ? WmSysKeyUp : WmKeyUp, key.vk, key.scan, key.flags | LlkhfUp, 0, 0});
    }
    return releases;
}

KeyboardEngine::KeyboardEngine(ExpansionGate& gate, EngineCounters& counters)
    : gate_(gate), counters_(counters), table_(ExpansionTable::Builder{}.build()) {
    lookupScratch_.reserve(MaxTypedWordLength);
}

bool KeyboardEngine::holdKey(const HookEvent& event, HookEnvironment& environment) {
    if (!hold_.holding()) return false;
    const HeldKey key{event.message, event.vkCode, event.scanCode, event.flags, event.time, environment.foreground()};
    if (!hold_.hold(key)) return false;
    // A block that would fill the room, or keep the keys too long, stops
    // between two of its calls; the keys go back once it has.
    if (hold_.expansionUnderWay() &&
        (hold_.heldCount() >= KeyHold::StopBlockAtKeys || event.time - hold_.oldestTick() >= MaxHoldMs)) {
        gate_.requestStop();
    }
    return true;
}

void KeyboardEngine::beginExpansion(CompletedWord word, HookEnvironment& environment, std::uint32_t userKeyPresses) {
    // Capture is closed from this key until the block is in (or dropped),
    // and the user's next keys are held until then.
    word.end = WordEnd{environment.focus(), userKeyPresses, environment.nowMicroseconds(), modifiers_.keys()};
    gate_.beginTyping();
    if (followUp_.addWord(std::move(word))) {
        hold_.expansionBegun();
    } else {
        gate_.endTyping();
    }
}

KeyVerdict KeyboardEngine::onKey(const HookEvent& event, bool listActive, HookEnvironment& environment,
                                 const WritingAidView* aid) {
    KeyVerdict verdict;
    const bool keyUp = isKeyUpMessage(event.message);
    if (event.origin == KeyOrigin::User || event.origin == KeyOrigin::OtherProgram) {
        typedModifiers_.onEvent(event.vkCode, event.scanCode, event.flags, keyUp);
    }
    if (event.origin == KeyOrigin::User) {
        // Escape while a block goes in stops it between two of its calls; the
        // Escape is spent on that and never reaches the target.
        if (event.vkCode == VkEscape && !keyUp && hold_.expansionUnderWay()) {
            gate_.requestStop();
            escapeSwallowed_ = true;
            verdict.swallow = true;
            return verdict;
        }
        if (event.vkCode == VkEscape && keyUp && escapeSwallowed_) {
            escapeSwallowed_ = false;
            verdict.swallow = true;
            return verdict;
        }
        // The user's keys wait while an expansion goes in or keys held before
        // them wait; other programs' input is theirs to order and goes on.
        if (holdKey(event, environment)) {
            verdict.swallow = true;
            return verdict;
        }
    }
    // From here on the event reaches the target.
    modifiers_.onEvent(event.vkCode, event.scanCode, event.flags, keyUp);
    if (event.origin == KeyOrigin::OwnBlock) return verdict;

    // A held key given back is the user's typing, come back in its turn;
    // another program's input counts for the guards but is not captured.
    const std::uint32_t flags =
        event.origin == KeyOrigin::OtherProgram ? event.flags | LlkhfInjected : event.flags & ~LlkhfInjected;
    const KeyEvent key{HcAction, event.message, event.vkCode, event.scanCode, flags};
    std::uint32_t userKeyPresses = counters_.userKeyPresses.load(std::memory_order_relaxed);
    KeyEvent reaching = key;
    reaching.flags &= ~LlkhfInjected;
    if (isUserKeyPress(reaching)) {
        counters_.userKeyPresses.store(++userKeyPresses, std::memory_order_release);
        // A key typed while an expansion goes in is already in the target:
        // the word it begins is not one the capture sees whole.
        if (gate_.typing()) capture_.skipWord();
    }
    CaptureEffects effects = capture_.onKey(key, gate_.captureAllowed(), listActive, environment.translator());
    if (effects.processed) {
        // Only an abbreviation of the active list, ended with no shortcut
        // key down, begins an expansion: every other word goes on as typed,
        // and the keys after it are never held.
        if (effects.expansion && !modifiers_.shortcutHeld() &&
            isAbbreviation(effects.expansion->word, *table_, lookupScratch_)) {
            beginExpansion(std::move(*effects.expansion), environment, userKeyPresses);
        }
        if (aid) {
            // Most words select no row: the strip stays hidden and the loop
            // need not be woken for it.
            if (aid->selectsRows(effects.aidWord)) followUp_.updateAid(effects.aidWord);
            else followUp_.hideAid();
        }
    }
    if (event.origin == KeyOrigin::Replay) {
        hold_.replayedKeySeen();
        if (hold_.batchDue()) followUp_.requestRun();
    }
    verdict.wake = takeWake(event.time);
    return verdict;
}

bool KeyboardEngine::onMouse(int nCode, std::uint32_t message, std::uint32_t time, const WritingAidView* aid) {
    if (!capture_.onMouse(nCode, message) || !aid) return false;
    followUp_.hideAid();
    return takeWake(time);
}

bool KeyboardEngine::pending() const {
    return followUp_.pending() || hold_.batchDue() || counters_.expansionsOver.load(std::memory_order_acquire) != 0 ||
           counters_.replayInserted.load(std::memory_order_acquire) >= 0;
}

void KeyboardEngine::takeReports(std::uint32_t nowTick) {
    for (std::uint32_t over = counters_.expansionsOver.exchange(0, std::memory_order_acq_rel); over > 0; --over) {
        hold_.expansionEnded();
        compareModifiers_ = true;
    }
    const std::int32_t inserted = counters_.replayInserted.exchange(-1, std::memory_order_acq_rel);
    if (inserted >= 0) {
        hold_.batchSent(static_cast<std::size_t>(inserted), nowTick);
        compareModifiers_ = true;
    }
}

void KeyboardEngine::tick(std::uint32_t nowTick) {
    hold_.expire(nowTick);
    if (hold_.expansionUnderWay() && hold_.heldCount() > 0 && nowTick - hold_.oldestTick() >= MaxHoldMs) {
        gate_.requestStop();
    }
}

}  // namespace calmirande
