#pragma once
// Virtual-key codes the engine decides on, as Windows numbers them.

#include <cstdint>

namespace calmirande {

inline constexpr std::uint32_t VkBack = 0x08;
inline constexpr std::uint32_t VkTab = 0x09;
inline constexpr std::uint32_t VkReturn = 0x0D;
inline constexpr std::uint32_t VkSpace = 0x20;
inline constexpr std::uint32_t VkLeft = 0x25;
inline constexpr std::uint32_t VkShift = 0x10;
inline constexpr std::uint32_t VkControl = 0x11;
inline constexpr std::uint32_t VkMenu = 0x12;
inline constexpr std::uint32_t VkCapital = 0x14;
inline constexpr std::uint32_t VkLWin = 0x5B;
inline constexpr std::uint32_t VkRWin = 0x5C;
inline constexpr std::uint32_t VkLShift = 0xA0;
inline constexpr std::uint32_t VkRShift = 0xA1;
inline constexpr std::uint32_t VkLControl = 0xA2;
inline constexpr std::uint32_t VkRControl = 0xA3;
inline constexpr std::uint32_t VkLMenu = 0xA4;
inline constexpr std::uint32_t VkRMenu = 0xA5;  // Right Alt, AltGr on the layouts that have it

// Shift, Ctrl, Alt and the Windows keys, either side or neither.
constexpr bool isModifierKey(std::uint32_t vk) {
    return vk == VkShift || vk == VkLShift || vk == VkRShift || vk == VkControl || vk == VkLControl ||
           vk == VkRControl || vk == VkMenu || vk == VkLMenu || vk == VkRMenu || vk == VkLWin || vk == VkRWin;
}

}  // namespace calmirande
