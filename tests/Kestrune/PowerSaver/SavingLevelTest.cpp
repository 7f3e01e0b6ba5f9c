#include "Kestrune/PowerSaver/SavingLevel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;

namespace {

const QDateTime now(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);

struct Case {
    const char* what;
    int level;
    qint64 secondsAtLevel;
    int soc;
    std::optional<double> ratio; // runtime over a required 1 h
    std::optional<qint64> threshold;
    int expected;
};

SavingLevel::Inputs inputs(const Case& c)
{
    SavingLevel::Inputs in;
    in.soc = c.soc;
    in.now = now;
    in.level = c.level;
    in.lastLevelChange = now.addSecs(-c.secondsAtLevel);
    if (c.ratio) {
        in.estimatedRuntimeHours = *c.ratio;
        in.requiredHours = 1.0;
    }
    in.strategyThreshold = c.threshold;
    return in;
}

} // namespace

TEST(SavingLevel, RisesAtOnceAndFallsOnlyAfterThreeMinutesWithAMargin)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"20 % is level 3 whatever the ratio", 1, 0, 20, 3.0, {}, 3},
        {"21 %, ratio 0.8", 1, 0, 21, 0.8, {}, 2},
        {"ratio below 0.75", 1, 0, 90, 0.74, {}, 3},
        {"no estimates, 41 %", 1, 0, 41, {}, {}, 1},
        {"no estimates, 40 %", 1, 0, 40, {}, {}, 2},
        {"a strategy threshold of 60", 1, 0, 55, 2.0, 60, 2},
        {"a ratio that is not a number escalates nothing", 1, 0, 90, nan, {}, 1},
        {"3, candidate 2, 179 s", 3, 179, 30, 1.0, {}, 3},
        {"3, candidate 2, 180 s", 3, 180, 30, 1.0, {}, 2},
        {"3, ratio exactly 0.95", 3, 180, 30, 0.95, {}, 3},
        {"3, 25 %", 3, 180, 25, 1.0, {}, 3},
        {"3, candidate 1, 44 % is not above 45", 3, 200, 44, {}, {}, 3},
        {"3, candidate 1, 46 %", 3, 200, 46, {}, {}, 1},
        {"3, not-a-number ratio stays", 3, 200, 90, nan, {}, 3},
        {"2 for 200 s, candidate 1, ratio 1.2", 2, 200, 50, 1.2, {}, 2},
        {"2 for 200 s, candidate 1, ratio 1.31", 2, 200, 50, 1.31, {}, 1},
        {"from 0 up", 0, 0, 90, {}, {}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SavingLevel::decide(inputs(c)), c.expected) << c.what;
}

TEST(SavingLevel, ManualLevelAndBoostBypassEverythingElse)
{
    SavingLevel::Inputs in = inputs({"", 3, 0, 90, {}, {}, 0});
    in.automatic = false;
    in.boost = true;
    for (const auto& [manual, expected] : {std::pair{0, 1}, {5, 3}, {2, 2}}) {
        in.manualLevel = manual;
        EXPECT_EQ(SavingLevel::decide(in), expected) << "manual " << manual;
    }
    in.automatic = true;
    in.level = 1;
    EXPECT_EQ(SavingLevel::decide(in), 3) << "boost";
}
