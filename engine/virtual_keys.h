#pragma once
// Virtual-key codes the engine decides on, as Windows numbers them.

#include <cstdint>

namespace calmirande {

inline constexpr std::uint32_t VkBack = 0x08;
inline constexpr std::uint32_t VkTab = 0x09;
inline constexpr std::uint32_t VkReturn = 0x0D;
inline constexpr std::uint32_t VkSpace = 0x20;
inline constexpr std::uint32_t VkLeft = 0x25;

}  // namespace calmirande
