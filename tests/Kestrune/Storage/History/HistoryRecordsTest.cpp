#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

BatterySnapshot snapshot(int design, int nominal, double volts, double amps)
{
    BatterySnapshot s;
    s.externalConnected = true;
    s.designCapacitymAh = design;
    s.nominalCapacitymAh = nominal;
    s.voltageV = volts;
    s.amperageA = amps;
    return s;
}

} // namespace

TEST(BatterySampleTest, HealthIsCappedAndWattsKeepTheCurrentsSign)
{
    const BatterySample sample(snapshot(5000, 4365, 12.5, -0.8));
    EXPECT_TRUE(sample.acAttached);
    EXPECT_DOUBLE_EQ(sample.healthPercent, 87.3); // not rounded to 87
    EXPECT_DOUBLE_EQ(sample.watts, -10.0);
    EXPECT_DOUBLE_EQ(BatterySample(snapshot(5000, 4000, 12.5, 2.0)).watts, 25.0);

    // An unknown capacity gives no ratio at all rather than a huge or negative one.
    EXPECT_EQ(BatterySample(snapshot(0, 4000, 12, 0)).healthPercent, 0);
    EXPECT_EQ(BatterySample(snapshot(5000, 0, 12, 0)).healthPercent, 0);
    EXPECT_EQ(BatterySample(snapshot(5000, 5600, 12, 0)).healthPercent, 100);
}

TEST(HistoryRecordIdentityTest, FollowsTheStoredRowNotTheValues)
{
    QTemporaryDir dir;
    auto store = HistoryStore::open(dir.filePath("History.store"));
    ASSERT_TRUE(store);
    const QDateTime t(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);

    PlugEventRecord first(t, false, 80);
    PlugEventRecord second(t, false, 80);
    const PlugEventRecord copy = first;
    EXPECT_NE(first, second); // equal values, two records
    EXPECT_EQ(first, copy);
    EXPECT_TRUE(store->plugEvents(t.addDays(-1)).isEmpty()); // made, not stored

    ASSERT_TRUE(store->save(first));
    ASSERT_TRUE(store->save(second));

    const auto once = store->plugEvents(t.addDays(-1));
    const auto twice = store->plugEvents(t.addDays(-1));
    ASSERT_EQ(once.size(), 2);
    EXPECT_EQ(once[0], twice[0]);
    EXPECT_EQ(QSet<PlugEventRecord>({ once[0], once[1], twice[0], twice[1], first }).size(), 2);

    // Saving a stored record writes its changed attributes to the same row.
    PlugEventRecord edited = once[0];
    edited.soc = 55;
    ASSERT_TRUE(store->save(edited));
    const auto after = store->plugEvents(t.addDays(-1));
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0], once[0]);
    EXPECT_EQ(after[0].soc, 55);
}
