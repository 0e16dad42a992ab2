#include "app/tray_icon_presence.h"

#include <gtest/gtest.h>

#include <vector>

namespace calmirande {
namespace {

constexpr TrayIconStep Add{true, 0};
constexpr TrayIconStep Nothing{false, 0};
constexpr TrayIconStep retryIn(std::uint32_t ms) { return {false, ms}; }

TEST(TrayIconPresence, AddsOnceAtStart) {
    TrayIconPresence icon;
    EXPECT_EQ(icon.start(), Add);
    EXPECT_FALSE(icon.shown());
    EXPECT_EQ(icon.addFinished(true), Nothing);
    EXPECT_TRUE(icon.shown());
    EXPECT_EQ(icon.retryTimerFired(), Nothing);  // a stray timer adds nothing
}

TEST(TrayIconPresence, RetriesAFailedAddWithGrowingPausesUpToALimit) {
    TrayIconPresence icon;
    icon.start();
    std::vector<std::uint32_t> pauses;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const TrayIconStep step = icon.addFinished(false);
        EXPECT_FALSE(step.addIcon);
        pauses.push_back(step.retryAfterMs);
        EXPECT_EQ(icon.retryTimerFired(), Add);
    }
    EXPECT_EQ(pauses, (std::vector<std::uint32_t>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_FALSE(icon.shown());
    EXPECT_EQ(icon.addFinished(true), Nothing);
    EXPECT_TRUE(icon.shown());
}

TEST(TrayIconPresence, ANewTaskbarGetsTheIconAgain) {
    TrayIconPresence icon;
    icon.start();
    icon.addFinished(true);
    EXPECT_EQ(icon.taskbarCreated(), Add);
    EXPECT_FALSE(icon.shown());  // the old shell took it along
    EXPECT_EQ(icon.addFinished(true), Nothing);
    EXPECT_TRUE(icon.shown());
    // And again after the next restart, and on a failure there, retries.
    EXPECT_EQ(icon.taskbarCreated(), Add);
    EXPECT_EQ(icon.addFinished(false), retryIn(1000));
}

TEST(TrayIconPresence, ATaskbarArrivingDuringRetriesAddsAtOnceAndStartsThePausesAgain) {
    TrayIconPresence icon;
    icon.start();
    icon.addFinished(false);
    icon.retryTimerFired();
    EXPECT_EQ(icon.addFinished(false), retryIn(2000));
    EXPECT_EQ(icon.taskbarCreated(), Add);
    EXPECT_EQ(icon.addFinished(false), retryIn(1000));
    EXPECT_EQ(icon.taskbarCreated(), Add);
    EXPECT_EQ(icon.addFinished(true), Nothing);
    EXPECT_EQ(icon.retryTimerFired(), Nothing);  // the timer armed before is now moot
}

TEST(TrayIconPresence, NoSecondAddWhileOneIsUnderWay) {
    TrayIconPresence icon;
    icon.start();
    EXPECT_EQ(icon.retryTimerFired(), Nothing);
}

}  // namespace
}  // namespace calmirande
