#include "engine/layout_keys.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/virtual_keys.h"

namespace calmirande {
namespace {

TEST(PacketSupport, FollowsTheConsoleClasses) {
    EXPECT_EQ(packetSupportOfWindowClass(u"ConsoleWindowClass"), PacketSupport::BasicPlane);
    EXPECT_EQ(packetSupportOfWindowClass(u"WineConsoleClass"), PacketSupport::None);
    EXPECT_EQ(packetSupportOfWindowClass(u"Notepad"), PacketSupport::All);
    EXPECT_EQ(packetSupportOfWindowClass(u"consolewindowclass"), PacketSupport::All);  // class names are exact here
}

struct ScanCase {
    const char* name;
    std::int16_t keyScan;
    bool dead;
    bool capsLock;
    std::optional<LayoutKey> expected;
    friend void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }
};
class KeyScan : public ::testing::TestWithParam<ScanCase> {};
TEST_P(KeyScan, GivesTheKeyAndItsLevel) {
    EXPECT_EQ(layoutKeyFromScan(GetParam().keyScan, GetParam().dead, GetParam().capsLock), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Engine, KeyScan,
    ::testing::Values(ScanCase{"NoKey", -1, false, false, std::nullopt},
                      ScanCase{"Plain", 0x0041, false, false, LayoutKey{'A', false, false}},
                      ScanCase{"Shifted", 0x0141, false, false, LayoutKey{'A', true, false}},
                      ScanCase{"AltGr", 0x0645, false, false, LayoutKey{'E', false, true}},
                      ScanCase{"ShiftAltGr", 0x07BB, false, false, LayoutKey{0xBB, true, true}},
                      ScanCase{"ControlAloneIsAControlCharacter", 0x0241, false, false, std::nullopt},
                      ScanCase{"AltAloneIsAMenu", 0x0441, false, false, std::nullopt},
                      ScanCase{"EastAsianState", 0x0841, false, false, std::nullopt},
                      ScanCase{"DeadKey", 0x00DD, true, false, std::nullopt},
                      ScanCase{"CapsLockSwapsALetter", 0x0041, false, true, LayoutKey{'A', true, false}},
                      ScanCase{"CapsLockSwapsACapital", 0x0141, false, true, LayoutKey{'A', false, false}},
                      ScanCase{"CapsLockLeavesSpace", 0x0020, false, true, LayoutKey{VkSpace, false, false}},
                      // French locks the digit row under Caps Lock, US does not.
                      ScanCase{"CapsLockDigitIsUnknown", 0x0132, false, true, std::nullopt},
                      ScanCase{"CapsLockAltGrIsUnknown", 0x0645, false, true, std::nullopt}),
    ::testing::PrintToStringParamName{});

class MapLayout final : public KeyLayout {
public:
    std::optional<LayoutKey> keyFor(char16_t unit) override {
        const auto found = keys.find(unit);
        return found == keys.end() ? std::nullopt : std::optional(found->second);
    }
    std::map<char16_t, LayoutKey> keys{{u'a', {'A', false, false}}, {u'A', {'A', true, false}},
                                       {u'B', {'B', true, false}},  {u'!', {'1', true, false}},
                                       {u'€', {'E', false, true}},  {u' ', {VkSpace, false, false}}};
};

InputEvent vk(std::uint32_t code, bool up) { return {InputKind::VirtualKey, static_cast<std::uint16_t>(code), up}; }

ExpansionPlan planOf(std::u16string_view text) {
    ExpansionPlan plan;
    plan.events = {vk(VkBack, false), vk(VkBack, true)};
    for (char16_t unit : text) {
        if (unit == u'\r') plan.events.insert(plan.events.end(), {vk(VkReturn, false), vk(VkReturn, true)});
        else plan.events.insert(plan.events.end(), {{InputKind::Unicode, unit, false}, {InputKind::Unicode, unit, true}});
    }
    return plan;
}

struct TargetCase {
    const char* name;
    PacketSupport packets;
    std::u16string text;
    std::optional<std::vector<InputEvent>> expected;  // nothing: the text cannot be typed whole
    friend void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }
};
class PlanForTarget : public ::testing::TestWithParam<TargetCase> {};
TEST_P(PlanForTarget, TypesWhatThePacketsCannot) {
    MapLayout layout;
    const ExpansionPlan plan = planOf(GetParam().text);
    const std::optional<ExpansionPlan> typed = planForTarget(plan, GetParam().packets, layout);
    ASSERT_EQ(typed.has_value(), GetParam().expected.has_value());
    if (typed) {
        EXPECT_EQ(typed->events, *GetParam().expected);
    }
}
const std::vector<InputEvent> kBack{vk(VkBack, false), vk(VkBack, true)};
std::vector<InputEvent> after(std::vector<InputEvent> rest) {
    rest.insert(rest.begin(), kBack.begin(), kBack.end());
    return rest;
}
INSTANTIATE_TEST_SUITE_P(
    Engine, PlanForTarget,
    ::testing::Values(
        TargetCase{"PacketsTakenAsTheyAre", PacketSupport::All, u"a\U0001F600", planOf(u"a\U0001F600").events},
        TargetCase{"BasicPlaneGoesAsPackets", PacketSupport::BasicPlane, u"aé", planOf(u"aé").events},
        TargetCase{"NoPlaneOutsideTheBasicOne", PacketSupport::BasicPlane, u"a\U0001F600", std::nullopt},
        TargetCase{"NoKeyForAChar", PacketSupport::None, u"aé", std::nullopt},
        // One Shift for two capitals; released before the plan's own keys
        // and at the end; AltGr as Ctrl with Alt.
        TargetCase{"LevelsAroundTheirKeys", PacketSupport::None, u"AB\ra€!",
                   after({vk(VkLShift, false), vk('A', false), vk('A', true), vk('B', false), vk('B', true),
                          vk(VkLShift, true), vk(VkReturn, false), vk(VkReturn, true), vk('A', false), vk('A', true),
                          vk(VkLControl, false), vk(VkLMenu, false), vk('E', false), vk('E', true), vk(VkLMenu, true),
                          vk(VkLControl, true), vk(VkLShift, false), vk('1', false), vk('1', true),
                          vk(VkLShift, true)})},
        TargetCase{"PlainKeysNeedNoModifier", PacketSupport::None, u"a a",
                   after({vk('A', false), vk('A', true), vk(VkSpace, false), vk(VkSpace, true), vk('A', false),
                          vk('A', true)})}),
    ::testing::PrintToStringParamName{});

}  // namespace
}  // namespace calmirande
