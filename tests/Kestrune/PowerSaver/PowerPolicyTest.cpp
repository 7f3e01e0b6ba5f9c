#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/PowerPolicy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;

namespace {

using Candidate = PowerPolicy::Candidate;

Candidate base(const char* key, double watts, double score, int minTier = 1) { return {key, watts, score, minTier, true}; }
Candidate other(const char* key, double watts, double score, int minTier = 1) { return {key, watts, score, minTier, false}; }

struct Row {
    const char* what;
    std::vector<Candidate> candidates;
    double deficitW;
    int tier;
    QStringList chosen;
    double expectedSavingsW;
};

} // namespace

TEST(PowerPolicyTest, SelectTable)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    const std::vector<Row> rows{
        {"worked example at level 2",
         {base("lpm", 1.0, 0.3), other("dim70", 0.8, 0.24, 2), other("dim50", 1.5, 0.45, 3),
          other("spotlight", 0.3, 0.09, 2)},
         1.5, 2, {"lpm", "dim70"}, 1.8},
        {"nothing to choose from", {}, 5, 3, {}, 0},
        {"higher levels stay out whatever their score",
         {other("dim50", 1.5, 9, 3), base("kbOff", 0.2, 9, 2)}, inf, 1, {}, 0},
        {"base vetoed at -1.0, taken at -0.99 without a deficit",
         {base("lpm", 1.0, -1.0), base("kbOff", 0.2, -0.99), other("dim70", 0.8, 0.5)}, 0, 3, {"kbOff"}, 0.2},
        {"non-base needs more than 0.05", {other("a", 0.3, 0.05), other("b", 0.3, 0.0501)}, inf, 3, {"b"}, 0.3},
        {"infinite deficit takes every eligible action",
         {other("a", 1, 0.9), other("b", 2, 0.8, 2), other("c", 3, 0.7, 3), other("d", 4, 0.01)}, inf, 2,
         {"a", "b"}, 3},
        {"a covered deficit stops non-base choices; base still follows and counts",
         {other("dim50", 1.5, 0.9), other("dim70", 0.8, 0.8), base("kbOff", 0.2, 0.01)}, 1.5, 3,
         {"dim50", "kbOff"}, 1.7},
        {"equal scores keep the given order",
         {other("spotlight", 0.3, 0.2), other("timemachine", 0.3, 0.2), other("kbOff", 0.2, 0.2)}, 0.5, 3,
         {"spotlight", "timemachine"}, 0.6},
        {"negative or not-a-number watts add nothing; a not-a-number score is never chosen",
         {other("throttle:x", -2, 0.9), other("dim70", nan, 0.5), base("lpm", 1.0, nan), other("dim50", 1.5, 0.4)},
         1.0, 3, {"throttle:x", "dim70", "dim50"}, 1.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto selection = PowerPolicy::select(row.candidates, row.deficitW, row.tier);
        EXPECT_EQ(selection.chosen, row.chosen);
        EXPECT_NEAR(selection.expectedSavingsW, row.expectedSavingsW, 1e-9);
    }
}

TEST(PowerPolicyTest, ActionKeyLabelsAndLogKinds)
{
    EXPECT_EQ(PowerActionKeys::displayName("lpm"), QStringLiteral("Low Power Mode"));
    EXPECT_EQ(PowerActionKeys::displayName("dim70"), QStringLiteral("画面輝度70%制限"));
    // Everything after the first "throttle:" is the name, colons included.
    EXPECT_EQ(PowerActionKeys::displayName("throttle:a:b"), QStringLiteral("a:b を減速"));
    EXPECT_EQ(PowerActionKeys::displayName("throttle:"), QStringLiteral(" を減速"));
    EXPECT_EQ(PowerActionKeys::displayName("LPM"), QStringLiteral("LPM"));
    EXPECT_EQ(PowerActionKeys::displayName(""), QString());

    const QList<std::pair<QString, QString>> kinds{
        {"lpm", "lpm"}, {"kbOff", "dim"}, {"dim50", "dim"}, {"timemachine", "service"},
        {"throttle:x", "throttle"}, {"Spotlight", "throttle"}, {"", "throttle"},
    };
    for (const auto& [key, kind] : kinds)
        EXPECT_EQ(PowerActionKeys::logCategory(key), kind) << key.toStdString();
}
