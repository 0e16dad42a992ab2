#pragma once
// The program's own messages: the hooks' thread's wake-up (a thread
// message), and the About window's.

#include <windows.h>

namespace calmirande {

// Posted to the hooks' thread by the hooks and the typist: carry out what
// they left to do.
inline constexpr UINT WmHookFollowUp = WM_APP + 1;
// The tray icon's mouse messages.
inline constexpr UINT WmTrayIcon = WM_APP + 2;
// Posted by the hooks' thread to the About window: show or hide the writing
// aid as it last asked.
inline constexpr UINT WmAidFollowUp = WM_APP + 3;

}  // namespace calmirande
