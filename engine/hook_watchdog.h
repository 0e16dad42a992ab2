#pragma once
// The decision of the hooks' watchdog, apart from Windows. The system
// removes a low-level hook that overran its timeout (LowLevelHooksTimeout on
// Windows 7 and later) without telling its owner, and the main thread that
// runs the hooks also sorts, saves and fills list views. So a timer compares
// the system's last input (GetLastInputInfo) with the hooks' last call.

#include <cstdint>

namespace calmirande {

inline constexpr std::uint32_t HookWatchdogPeriodMs = 1000;
// Input this much newer than the hooks' last call was never seen by them.
// Well beyond the lag of a busy hook thread, which is called late, not never.
inline constexpr std::uint32_t HookSilenceMs = 500;

// Both are tick counts in milliseconds, which wrap after 49 days: the
// difference is read as signed.
inline bool hooksLost(std::uint32_t lastInputTick, std::uint32_t lastHookCallTick) {
    const auto unseen = static_cast<std::int32_t>(lastInputTick - lastHookCallTick);
    return unseen > static_cast<std::int32_t>(HookSilenceMs);
}

}  // namespace calmirande
