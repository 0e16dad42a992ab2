#pragma once
// The program's own messages, all received by the About window.

#include <windows.h>

namespace calmirande {

// Posted by the hooks: carry out what they left to do.
inline constexpr UINT WmHookFollowUp = WM_APP + 1;
// The tray icon's mouse messages.
inline constexpr UINT WmTrayIcon = WM_APP + 2;

}  // namespace calmirande
