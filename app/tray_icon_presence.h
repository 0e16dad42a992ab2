#pragma once
// Keeps the tray icon in the notification area. The icon is the only way to
// reach the program, so it is added again whenever the shell's notification
// area is re-created ("TaskbarCreated", e.g. after Explorer restarts) and
// retried on a timer, with growing pauses, while an add fails (the area may
// not be ready yet at logon). Main thread; the window layer makes the calls
// and arms or kills its one retry timer as told.

#include <cstdint>

namespace calmirande {

struct TrayIconStep {
    bool addIcon = false;            // call Shell_NotifyIconW(NIM_ADD) now and report the result
    std::uint32_t retryAfterMs = 0;  // (re)arm the one-shot retry timer for this long; 0: kill it
    friend bool operator==(const TrayIconStep&, const TrayIconStep&) = default;
};

class TrayIconPresence {
public:
    static constexpr std::uint32_t FirstRetryMs = 1000;
    static constexpr std::uint32_t LongestRetryMs = 30000;

    // Start-up: the first add.
    TrayIconStep start();
    // The result of the add just asked for. An add that fails because the
    // icon is in fact there already (a busy shell that timed out and added it
    // anyway) must be reported as a success by the window layer.
    TrayIconStep addFinished(bool succeeded);
    // The shell's notification area was (re)created: whatever we had is gone.
    TrayIconStep taskbarCreated();
    TrayIconStep retryTimerFired();

    // Whether shutdown must delete the icon.
    bool shown() const { return shown_; }

private:
    bool shown_ = false;
    bool addPending_ = false;
    std::uint32_t nextRetryMs_ = FirstRetryMs;
};

}  // namespace calmirande
