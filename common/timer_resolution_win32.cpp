#include <windows.h>
#include <mmsystem.h>

#include "common/unique_handle_win32.h"

namespace calmirande {
namespace {

using PeriodFunction = MMRESULT(WINAPI*)(UINT);

struct TimerFunctions {
    PeriodFunction begin = nullptr;
    PeriodFunction end = nullptr;
};

// winmm is loaded when a delivery first asks for a finer timer, not at
// start-up: an idle program does without it (and the sound drivers it
// brings). Loaded once, on whichever thread comes first, and never freed.
const TimerFunctions& timerFunctions() noexcept {
    static const TimerFunctions functions = []() noexcept {
        TimerFunctions found;
        if (const HMODULE winmm = ::LoadLibraryW(L"winmm.dll")) {
            found.begin = reinterpret_cast<PeriodFunction>(
                reinterpret_cast<void*>(::GetProcAddress(winmm, "timeBeginPeriod")));
            found.end = reinterpret_cast<PeriodFunction>(
                reinterpret_cast<void*>(::GetProcAddress(winmm, "timeEndPeriod")));
        }
        if (!found.begin || !found.end) found = {};
        return found;
    }();
    return functions;
}

}  // namespace

TimerResolutionScope::TimerResolutionScope() noexcept
    : raised_(timerFunctions().begin && timerFunctions().begin(1) == TIMERR_NOERROR) {}

TimerResolutionScope::~TimerResolutionScope() {
    if (raised_) timerFunctions().end(1);
}

}  // namespace calmirande
