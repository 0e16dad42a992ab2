#include "engine/hook_watchdog.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace calmirande {
namespace {

struct WatchdogCase {
    const char* name;
    std::uint32_t lastInput;
    std::uint32_t lastHookCall;
    bool lost;
    friend void PrintTo(const WatchdogCase& c, std::ostream* os) { *os << c.name; }
};

class HookWatchdog : public ::testing::TestWithParam<WatchdogCase> {};

TEST_P(HookWatchdog, ReinstallsOnlyWhenInputWentUnseen) {
    EXPECT_EQ(hooksLost(GetParam().lastInput, GetParam().lastHookCall), GetParam().lost);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, HookWatchdog,
    ::testing::Values(
        // The hook is called after the event's time stamp: its call is newer.
        WatchdogCase{"HookSawTheLastInput", 10'000, 10'003, false},
        WatchdogCase{"IdleSinceTheLastCall", 10'000, 10'000, false},
        // A busy main thread calls the hook late, not never.
        WatchdogCase{"InputJustAfterTheLastCall", 10'400, 10'000, false},
        WatchdogCase{"AtTheBound", 10'000 + HookSilenceMs, 10'000, false},
        WatchdogCase{"PastTheBound", 10'001 + HookSilenceMs, 10'000, true},
        WatchdogCase{"LongUnseen", 70'000, 10'000, true},
        // The tick count wraps after 49 days.
        WatchdogCase{"UnseenAcrossTheWrap", 400, 0xFFFFFF00u, true},
        WatchdogCase{"SeenAcrossTheWrap", 0xFFFFFFF0u, 20, false}),
    testing::CaseName{});

}  // namespace
}  // namespace calmirande
