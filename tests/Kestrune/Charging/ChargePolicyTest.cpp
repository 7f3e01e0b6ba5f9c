#include "Kestrune/Charging/ChargePolicy.h"

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

const QDateTime sixPm(QDate(2026, 3, 2), QTime(18, 0), Qt::UTC);
const QDateTime start = sixPm.addSecs(-97 * 60); // 16:23
const ChargePolicy::JITDecision inactive{};
const ChargePolicy::JITDecision towardsSixPm{true, sixPm};

ChargePolicy::JITDecision fresh(int soc, const QDateTime& now)
{
    return ChargePolicy::decideJIT(soc, now, std::nullopt, sixPm, start);
}

} // namespace

TEST(ChargePolicy, WindowIncludesItsStartAndExcludesTheUnplug)
{
    EXPECT_EQ(fresh(60, start.addMSecs(-1)), inactive);
    EXPECT_EQ(fresh(60, start), towardsSixPm);
    EXPECT_EQ(fresh(60, sixPm.addMSecs(-1)), towardsSixPm);
    EXPECT_EQ(fresh(60, sixPm), inactive);
    EXPECT_EQ(fresh(99, start), towardsSixPm);
    EXPECT_EQ(fresh(100, start), inactive);

    EXPECT_EQ(ChargePolicy::decideJIT(60, start, std::nullopt, std::nullopt, start), inactive);
    EXPECT_EQ(ChargePolicy::decideJIT(60, start, std::nullopt, sixPm, std::nullopt), inactive);
}

TEST(ChargePolicy, LatchHoldsItsTargetUntilItComesOrTheBatteryIsFull)
{
    // The start has moved past now as the battery filled, and the prediction moved on: the
    // latched target still holds.
    const QDateTime later = start.addSecs(3600);
    const QDateTime sevenPm = sixPm.addSecs(3600);
    EXPECT_EQ(ChargePolicy::decideJIT(99, sixPm.addSecs(-60), sixPm, sevenPm, sixPm.addSecs(-30)), towardsSixPm);
    EXPECT_EQ(ChargePolicy::decideJIT(90, later, sixPm, std::nullopt, std::nullopt), towardsSixPm);

    EXPECT_EQ(ChargePolicy::decideJIT(99, sixPm, sixPm, sixPm, start), inactive);
    EXPECT_EQ(ChargePolicy::decideJIT(100, later, sixPm, sixPm, start), inactive);
    // Ending a latch does not pick up a new target in the same pass.
    EXPECT_EQ(ChargePolicy::decideJIT(60, sixPm.addSecs(60), sixPm, sevenPm, start), inactive);
}
