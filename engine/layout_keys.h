#pragma once
// Typing a block into a target that does not take every character as a
// Unicode packet (KEYEVENTF_UNICODE): a console window. Such a target gets
// the characters as the keys of the user's keyboard layout that make them,
// or, when one of them cannot reach it, nothing at all: the word then stays
// as the user typed it rather than being erased for a text that never
// arrives.

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/expansion_plan.h"

namespace calmirande {

// What the focused window does with Unicode packets.
enum class PacketSupport : std::uint8_t {
    All,         // every character (edit controls, browsers, office suites)
    BasicPlane,  // one UTF-16 unit at a time: a surrogate pair comes out garbled (Windows' console)
    None         // none at all: every character must be a key (Wine's console)
};

// From the class name of the foreground window.
PacketSupport packetSupportOfWindowClass(std::u16string_view className);

// A character's key on the layout, with the modifiers that select its
// level: Shift, and Ctrl with Alt for AltGr (which Windows' layouts treat
// alike).
struct LayoutKey {
    std::uint16_t vk = 0;
    bool shift = false;
    bool altGr = false;
    friend bool operator==(const LayoutKey&, const LayoutKey&) = default;
};

// Reads what VkKeyScanEx returned for a character: -1 (no key), or the key
// in the low byte and its shift state in the high one (1 Shift, 2 Ctrl,
// 4 Alt, higher bits for keys of East Asian layouts). `deadKey`: the key
// begins a dead-key sequence, so pressing it alone types nothing yet.
// `capsLock`: Caps Lock is on in the target, which swaps the case of the
// letter keys; what it does to the others but Space depends on the layout
// (French locks the digit row too), so those are not typed under it.
std::optional<LayoutKey> layoutKeyFromScan(std::int16_t keyScan, bool deadKey, bool capsLock);

// The layout of the target, one character at a time.
class KeyLayout {
public:
    virtual ~KeyLayout() = default;
    virtual std::optional<LayoutKey> keyFor(char16_t unit) = 0;
};

// The plan as `packets` lets it reach the target: unchanged for All;
// for the others every text unit the target cannot take as a packet becomes
// its key with the modifiers it needs, released before the plan's own keys
// (Backspace, Return, Tab, the arrows, the ending key) and at the end, so
// that nothing is left down. Nothing when a unit has neither a packet nor a
// key.
std::optional<ExpansionPlan> planForTarget(const ExpansionPlan& plan, PacketSupport packets, KeyLayout& layout);

}  // namespace calmirande
