#include "engine/layout_keys.h"

#include "engine/virtual_keys.h"

namespace calmirande {
namespace {

constexpr std::uint8_t ShiftState = 0x01;
constexpr std::uint8_t ControlState = 0x02;
constexpr std::uint8_t AltState = 0x04;

bool isSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

bool isLetterKey(std::uint16_t vk) { return vk >= 'A' && vk <= 'Z'; }

// The modifiers of the layout keys typed so far, pressed and released as the
// text's keys need them.
class LevelKeys {
public:
    explicit LevelKeys(std::vector<InputEvent>& out) : out_(out) {}

    void select(const LayoutKey& key) {
        if (key.altGr != altGr_) {
            altGrEdge(!key.altGr);
            altGr_ = key.altGr;
        }
        if (key.shift != shift_) {
            out_.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLShift), !key.shift});
            shift_ = key.shift;
        }
    }
    void releaseAll() { select(LayoutKey{}); }

private:
    void altGrEdge(bool keyUp) {
        if (keyUp) {
            out_.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLMenu), true});
            out_.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLControl), true});
        } else {
            out_.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLControl), false});
            out_.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLMenu), false});
        }
    }

    std::vector<InputEvent>& out_;
    bool shift_ = false;
    bool altGr_ = false;
};

}  // namespace

PacketSupport packetSupportOfWindowClass(std::u16string_view className) {
    if (className == u"ConsoleWindowClass") return PacketSupport::BasicPlane;
    if (className == u"WineConsoleClass") return PacketSupport::None;
    return PacketSupport::All;
}

std::optional<LayoutKey> layoutKeyFromScan(std::int16_t keyScan, bool deadKey, bool capsLock) {
    if (keyScan == -1 || deadKey) return std::nullopt;
    const auto bits = static_cast<std::uint16_t>(keyScan);
    const auto vk = static_cast<std::uint16_t>(bits & 0xFF);
    const auto state = static_cast<std::uint8_t>(bits >> 8);
    if (vk == 0 || (state & ~(ShiftState | ControlState | AltState)) != 0) return std::nullopt;
    // Ctrl alone makes control characters and Alt alone reaches menus: only
    // Ctrl with Alt (AltGr) selects a level of printable characters.
    const bool control = (state & ControlState) != 0;
    if (control != ((state & AltState) != 0)) return std::nullopt;
    LayoutKey key{vk, (state & ShiftState) != 0, control};
    if (capsLock && vk != VkSpace) {
        if (!isLetterKey(vk) || key.altGr) return std::nullopt;
        key.shift = !key.shift;
    }
    return key;
}

std::optional<ExpansionPlan> planForTarget(const ExpansionPlan& plan, PacketSupport packets, KeyLayout& layout) {
    if (packets == PacketSupport::All) return plan;
    ExpansionPlan typed;
    typed.events.reserve(plan.events.size() + plan.events.size() / 2);
    LevelKeys level(typed.events);
    for (const InputEvent& event : plan.events) {
        const bool packetTaken = packets == PacketSupport::BasicPlane && !isSurrogate(event.code);
        if (event.kind != InputKind::Unicode || packetTaken) {
            level.releaseAll();
            typed.events.push_back(event);
            continue;
        }
        const std::optional<LayoutKey> key = layout.keyFor(event.code);
        if (!key) return std::nullopt;
        if (!event.keyUp) level.select(*key);
        typed.events.push_back({InputKind::VirtualKey, key->vk, event.keyUp});
    }
    level.releaseAll();
    return typed;
}

}  // namespace calmirande
