#include "app/session_end.h"

#include <gtest/gtest.h>

namespace calmirande {
namespace {

TEST(SessionEnd, TheQuerySavesAndNeverHoldsTheSessionUp) {
    const SessionEndSteps steps = sessionEndSteps(SessionMessage::QueryEnd, false);
    EXPECT_TRUE(steps.save);
    EXPECT_FALSE(steps.quit);
    EXPECT_TRUE(steps.mayEnd);
}

TEST(SessionEnd, TheEndSavesAndQuits) {
    const SessionEndSteps steps = sessionEndSteps(SessionMessage::End, true);
    EXPECT_TRUE(steps.save);
    EXPECT_TRUE(steps.quit);
}

TEST(SessionEnd, ASessionThatGoesOnChangesNothing) {
    const SessionEndSteps steps = sessionEndSteps(SessionMessage::End, false);
    EXPECT_FALSE(steps.save);
    EXPECT_FALSE(steps.quit);
}

}  // namespace
}  // namespace calmirande
