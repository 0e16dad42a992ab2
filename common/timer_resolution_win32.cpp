#include <windows.h>
#include <mmsystem.h>

#include "common/unique_handle_win32.h"

namespace calmirande {

TimerResolutionScope::TimerResolutionScope() noexcept : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

TimerResolutionScope::~TimerResolutionScope() {
    if (raised_) ::timeEndPeriod(1);
}

}  // namespace calmirande
