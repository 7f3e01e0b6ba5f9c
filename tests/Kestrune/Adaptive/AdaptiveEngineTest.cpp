#include "Kestrune/Adaptive/AdaptiveEngine.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrune;

namespace {

const QTimeZone berlin("Europe/Berlin");
const QDateTime noon(QDate(2026, 3, 2), QTime(12, 0), berlin); // a Monday

BatterySnapshot reading(
    double secondsAfterNoon, int soc, bool charging, bool external, double amps = 0, double volts = 12.0)
{
    BatterySnapshot s;
    s.date = noon.addMSecs(std::llround(secondsAfterNoon * 1000));
    s.socPercent = soc;
    s.isCharging = charging;
    s.externalConnected = external;
    s.amperageA = amps;
    s.voltageV = volts;
    return s;
}

class AdaptiveEngineTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    UserDefaults defaults { dir.filePath("defaults.json") };
    AdaptiveEngine engine { nullptr, defaults, LocalCalendar(berlin) };
};

} // namespace

TEST_F(AdaptiveEngineTest, ChargeSpeedLearnsOnlyPlausibleRisingCharges)
{
    int changed = 0;
    QObject::connect(&engine, &AdaptiveEngine::minutesPerPercentChanged, [&] { ++changed; });
    engine.updateChargeSpeed(reading(0, 50, true, true), reading(90, 51, true, true)); // 1.5 min/%
    EXPECT_NEAR(engine.minutesPerPercent(), 1.5 * 0.15 + 1.3 * 0.85, 1e-12);
    EXPECT_EQ(defaults.object(AdaptiveEngine::minutesPerPercentKey).toDouble(), engine.minutesPerPercent());
    EXPECT_EQ(defaults.object(AdaptiveEngine::typicalDrainWattsKey).toDouble(), 6.0);
    const double learned = engine.minutesPerPercent();

    engine.updateChargeSpeed(reading(0, 50, true, true), reading(30, 55, true, true)); // 0.1
    engine.updateChargeSpeed(reading(0, 50, true, true), reading(601, 51, true, true)); // 10.02
    engine.updateChargeSpeed(reading(0, 50, true, true), reading(600, 50, true, true)); // no rise
    engine.updateChargeSpeed(reading(0, 50, false, true), reading(90, 51, true, true)); // one charging
    engine.updateChargeSpeed(reading(90, 50, true, true), reading(0, 51, true, true)); // time ran back
    EXPECT_EQ(engine.minutesPerPercent(), learned);
    engine.updateChargeSpeed(reading(0, 50, true, true), reading(600, 51, true, true)); // exactly 10
    EXPECT_NEAR(engine.minutesPerPercent(), 10 * 0.15 + learned * 0.85, 1e-12);
    EXPECT_EQ(changed, 2);
}

TEST_F(AdaptiveEngineTest, DrainLearnsOnlyOnBatteryWithinBounds)
{
    engine.updateDrainModel(reading(0, 60, false, false), reading(30, 60, false, false, -1.0, 12.0)); // 12 W
    EXPECT_NEAR(engine.typicalDrainWatts(), 12 * 0.05 + 6 * 0.95, 1e-12);
    const double learned = engine.typicalDrainWatts();
    // 0.3 W, charging, 150 W
    for (auto [amps, volts] : { std::pair(-0.5, 0.6), std::pair(0.5, 12.0), std::pair(-12.5, 12.0) })
        engine.updateDrainModel(reading(0, 60, false, false), reading(30, 60, false, false, amps, volts));
    engine.updateDrainModel(reading(0, 60, false, true), reading(30, 60, false, false, -1.0));
    engine.updateDrainModel(reading(0, 60, false, false), reading(30, 60, false, true, -1.0));
    EXPECT_EQ(engine.typicalDrainWatts(), learned);
    EXPECT_EQ(defaults.object(AdaptiveEngine::typicalDrainWattsKey).toDouble(), learned);

    // Setting a rate by hand is not learning: nothing is written.
    engine.setTypicalDrainWatts(20);
    EXPECT_EQ(defaults.object(AdaptiveEngine::typicalDrainWattsKey).toDouble(), learned);
}

TEST_F(AdaptiveEngineTest, StoredRatesAreTakenAsStoredUnlessNotFiniteNumbers)
{
    defaults.set(AdaptiveEngine::minutesPerPercentKey, qint64(40)); // out of the learning range
    defaults.set(AdaptiveEngine::typicalDrainWattsKey, QStringLiteral("7.5"));
    AdaptiveEngine loaded(nullptr, defaults, LocalCalendar(berlin));
    EXPECT_EQ(loaded.minutesPerPercent(), 40);
    EXPECT_EQ(loaded.typicalDrainWatts(), 6.0);

    defaults.set(AdaptiveEngine::minutesPerPercentKey, std::nan(""));
    defaults.set(AdaptiveEngine::typicalDrainWattsKey, true);
    AdaptiveEngine poisoned(nullptr, defaults, LocalCalendar(berlin));
    EXPECT_EQ(poisoned.minutesPerPercent(), 1.3);
    EXPECT_EQ(poisoned.typicalDrainWatts(), 6.0);
}

TEST_F(AdaptiveEngineTest, PredictionComesFromRecentUnplugsAndSetsTheChargeStart)
{
    auto store = HistoryStore::open(dir.filePath("History.store"));
    ASSERT_TRUE(store);
    // Three Monday unplugs at 18:00 within 45 days, plug-ins at other times, and an old
    // 07:00 unplug that would otherwise be the earliest.
    for (int weeks : { 1, 2, 3 }) {
        PlugEventRecord unplug(noon.addDays(-7 * weeks).addSecs(6 * 3600), false, 90);
        PlugEventRecord plugIn(noon.addDays(-7 * weeks).addSecs(-3 * 3600), true, 40);
        ASSERT_TRUE(store->save(unplug) && store->save(plugIn));
    }
    PlugEventRecord old(noon.addDays(-49).addSecs(-5 * 3600), false, 90);
    ASSERT_TRUE(store->save(old));

    EXPECT_FALSE(engine.jitChargeStartDate(80, 45));
    AdaptiveEngine withHistory(store.get(), defaults, LocalCalendar(berlin));
    withHistory.refreshPrediction(noon);
    EXPECT_EQ(withHistory.unplugSampleCount(), 3);
    const QDateTime sixPm = noon.addSecs(6 * 3600);
    ASSERT_EQ(withHistory.predictedUnplug(), sixPm);

    withHistory.setMinutesPerPercent(1.5);
    EXPECT_EQ(withHistory.jitChargeStartDate(80, 45), sixPm.addSecs(-75 * 60)); // 16:45
    EXPECT_EQ(withHistory.jitChargeStartDate(100, 45), sixPm.addSecs(-45 * 60));
    EXPECT_EQ(withHistory.jitChargeStartDate(120, 45), sixPm.addSecs(-45 * 60));

    // Without a store nothing is predicted, and the count is left as it was.
    AdaptiveEngine withoutHistory(nullptr, defaults, LocalCalendar(berlin));
    withoutHistory.refreshPrediction(noon);
    EXPECT_FALSE(withoutHistory.predictedUnplug());
    int predicted = 0;
    QObject::connect(&withHistory, &AdaptiveEngine::predictedUnplugChanged, [&] { ++predicted; });
    withHistory.refreshPrediction(noon);
    EXPECT_EQ(predicted, 0); // the same prediction again is no change
}
