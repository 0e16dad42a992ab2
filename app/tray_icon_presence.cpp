#include "app/tray_icon_presence.h"

#include <algorithm>

namespace calmirande {

TrayIconStep TrayIconPresence::start() {
    nextRetryMs_ = FirstRetryMs;
    addPending_ = true;
    return {true, 0};
}

TrayIconStep TrayIconPresence::addFinished(bool succeeded) {
    addPending_ = false;
    shown_ = succeeded;
    if (succeeded) {
        nextRetryMs_ = FirstRetryMs;
        return {false, 0};
    }
    const std::uint32_t wait = nextRetryMs_;
    nextRetryMs_ = std::min(nextRetryMs_ * 2, LongestRetryMs);
    return {false, wait};
}

TrayIconStep TrayIconPresence::taskbarCreated() {
    shown_ = false;
    nextRetryMs_ = FirstRetryMs;
    addPending_ = true;
    return {true, 0};
}

TrayIconStep TrayIconPresence::retryTimerFired() {
    // A late timer after a successful add (TaskbarCreated came first) adds nothing.
    if (shown_ || addPending_) return {false, 0};
    addPending_ = true;
    return {true, 0};
}

}  // namespace calmirande
