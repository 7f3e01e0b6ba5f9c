#include "tests/Kestrune/PowerSaver/PowerSaverEngineFixture.h"

namespace kestrune::test {

namespace {

// What the store holds for the day that contains `at`.
SavingsDailyRecord rowOf(HistoryStore& history, const QDateTime& at) { return history.todaySavingsRecord(at); }

} // namespace

TEST_F(PowerSaverEngineTest, TheLedgerBooksWhatTheActionsInForceSaveSinceTheLastTick)
{
    access->setDrainWatts(8);
    access->setActive({"throttle:x"}, clock.now()); // 1 W before anything is learned
    access->accrueLedger(clock.now());
    EXPECT_EQ(engine->totalSavedWh(), 0) << "the first accrual only starts the clock";

    clock.advance(30);
    access->accrueLedger(clock.now());
    EXPECT_DOUBLE_EQ(engine->sessionSavedWh(), 1.0 / 120);
    EXPECT_DOUBLE_EQ(engine->savedTodayWh(), 1.0 / 120);
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 1.0 / 120);
    // The saved energy over the drain without the action, 8 + 1 W.
    EXPECT_DOUBLE_EQ(engine->extendedTodayMinutes(), 1.0 / 18);
    EXPECT_DOUBLE_EQ(engine->totalExtendedMinutes(), 1.0 / 18);
    EXPECT_DOUBLE_EQ(defaults->real("share.totalWh"), 1.0 / 120);
    EXPECT_DOUBLE_EQ(rowOf(*history, clock.now()).savedWh, 1.0 / 120);
    EXPECT_EQ(rowOf(*history, clock.now()).actionsCount, 1);

    clock.advance(600); // a sleep counts as two minutes
    access->accrueLedger(clock.now());
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 5.0 / 120);

    // Nothing in force: only the clock moves, so the idle time is never booked later.
    access->setActive({}, clock.now());
    clock.advance(30);
    access->accrueLedger(clock.now());
    access->setActive({"throttle:x"}, clock.now());
    clock.advance(30);
    access->accrueLedger(clock.now());
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 6.0 / 120);

    // A low drain is floored at 1.5 W in the minutes.
    access->setDrainWatts(0.5);
    const double before = engine->totalExtendedMinutes();
    clock.advance(30);
    access->accrueLedger(clock.now());
    EXPECT_DOUBLE_EQ(engine->totalExtendedMinutes() - before, 1.0 / 120 / 2.5 * 60);
}

// Processes are sampled from a battery tick at level 1 or above, with the daemon connected,
// 90 s after the last sample, and at level 1 only under a drain of 4 W or more.
TEST_F(PowerSaverEngineTest, ProcessesAreSampledAtMostEvery90sAndAtLevelOneOnlyUnderLoad)
{
    settings->setPowerLevelAuto(false);
    settings->setManualPowerLevel(2);
    // A reading at 8 V, whose drain is exact in watts; the smoothed drain starts there.
    const auto drawing = [&](double watts) {
        access->setDrainWatts(watts);
        BatterySnapshot s = battery(60);
        s.voltageV = 8;
        s.amperageA = -watts / 8;
        return s;
    };
    const auto samples = [&] { return daemon->count(HelperProtocol::samplePowerMetrics); };

    tick(drawing(8));
    EXPECT_EQ(samples(), 0) << "the daemon is not connected";
    connectDaemon();
    tick(drawing(8), 90);
    EXPECT_EQ(samples(), 1);
    tick(drawing(8), 89);
    EXPECT_EQ(samples(), 1);
    tick(drawing(8), 1);
    EXPECT_EQ(samples(), 2);

    settings->setManualPowerLevel(1);
    tick(drawing(3.9), 90);
    EXPECT_EQ(samples(), 2);
    tick(drawing(4), 30);
    EXPECT_EQ(engine->drainWatts(), 4);
    EXPECT_EQ(samples(), 3);

    // At level 0 (as on external power) nothing is sampled, however long ago the last was.
    access->setLevel(0, clock.now());
    clock.advance(3600);
    access->sampleIfNeeded(clock.now());
    EXPECT_EQ(samples(), 3);
}

TEST_F(PowerSaverEngineTest, AnAbsurdLearnedSavingBooksNothingRatherThanAnInfiniteTotal)
{
    // Stored before restored states were bounded: a saving no measurement can show.
    defaults->set("savings.effects", QByteArray(R"({"dim50":{"deltaW":1e308,"samples":9,"updatedAt":0}})"));
    savings = std::make_unique<SavingsModel>(*defaults, clock);
    makeEngine();
    engine->loadLedgerTotals(clock.now());
    access->setDrainWatts(8);
    access->setActive({"dim50", "kbOff"}, clock.now());
    for (int reading = 0; reading < 6; ++reading) {
        clock.advance(30);
        access->accrueLedger(clock.now());
    }
    const SavingsDailyRecord row = rowOf(*history, clock.now());
    EXPECT_EQ((QList<double>{engine->sessionSavedWh(), engine->savedTodayWh(), engine->extendedTodayMinutes(),
                             engine->totalSavedWh(), engine->totalExtendedMinutes(), defaults->real("share.totalWh"),
                             row.savedWh, row.extendedMinutes}),
              QList<double>(8, 0.0));
}

TEST_F(PowerSaverEngineTest, TheFirstTickOfADayStartsTodayFromTheNewDaysRow)
{
    settings->setKbBacklightOffEnabled(false);
    settings->setAutoDimEnabled(false);
    clock.set(QDateTime(QDate(2026, 3, 2), QTime(23, 59, 15), berlin));
    makeEngine();
    engine->loadLedgerTotals(clock.now());
    access->setActive({"throttle:x"}, clock.now());
    access->lastLedgerAt() = clock.now();

    tick(battery(60), 30);
    EXPECT_DOUBLE_EQ(engine->savedTodayWh(), 1.0 / 120);
    tick(battery(60), 30); // 00:00:15
    EXPECT_DOUBLE_EQ(engine->savedTodayWh(), 1.0 / 120) << "yesterday's figure is not carried over";
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 2.0 / 120);
    EXPECT_DOUBLE_EQ(rowOf(*history, clock.now()).savedWh, 1.0 / 120);
    EXPECT_DOUBLE_EQ(rowOf(*history, clock.now().addDays(-1)).savedWh, 1.0 / 120);
}

TEST_F(PowerSaverEngineTest, AllTimeTotalsAreSeededOnceFromTheStoreAndThenKeptInTheDefaults)
{
    const QDateTime now = clock.now();
    for (int day = 0; day < 40; ++day)
        history->accrueSavings(0.5, 3, 1, now.addDays(-day));
    engine->loadLedgerTotals(now);
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 20);
    EXPECT_DOUBLE_EQ(engine->totalExtendedMinutes(), 120);
    EXPECT_DOUBLE_EQ(engine->savedTodayWh(), 0.5);
    EXPECT_EQ(defaults->object("share.totalsInitialized"), QVariant(true));
    EXPECT_EQ(defaults->object("share.totalWh").typeId(), QMetaType::Double);

    clock.advance(2 * 86400);
    history->pruneOldData(0);
    makeEngine();
    engine->loadLedgerTotals(clock.now());
    EXPECT_DOUBLE_EQ(engine->totalSavedWh(), 20);
    EXPECT_DOUBLE_EQ(engine->totalExtendedMinutes(), 120);
    EXPECT_EQ(engine->savedTodayWh(), 0);
}

TEST_F(PowerSaverEngineTest, TheSummaryNeverShowsLessThanTheLastSevenDays)
{
    defaults->set("share.totalsInitialized", true);
    defaults->set("share.totalMinutes", 1.0);
    defaults->set("share.totalWh", 0.1);
    const QDateTime now = clock.now();
    history->accrueSavings(1, 10, 1, now);
    history->accrueSavings(2, 20, 1, now.addDays(-6));
    history->accrueSavings(4, 40, 1, now.addDays(-7)); // outside the week: the streak only
    history->accrueSavings(8, 80, 1, now.addDays(1));  // a clock set back: counts for nothing
    engine->loadLedgerTotals(now);

    const SavingsStats::Summary summary = engine->savingsSummary(now);
    EXPECT_EQ(summary.todayMinutes, 10);
    EXPECT_EQ(summary.todayWh, 1);
    EXPECT_EQ(summary.weekMinutes, 30);
    EXPECT_EQ(summary.weekWh, 3);
    EXPECT_EQ(summary.totalMinutes, 30);
    EXPECT_EQ(summary.totalWh, 3);
    EXPECT_EQ(summary.streakDays, 1);
}

TEST_F(PowerSaverEngineTest, MilestonesReachedTogetherAreAllKeptButOnlyTheLastIsAnnounced)
{
    QList<QString> announced;
    engine->onMilestone = [&](const SavingsStats::Milestone& milestone) { announced << milestone.key; };
    defaults->set("share.totalsInitialized", true);
    defaults->set("share.totalMinutes", 359.97);
    history->accrueSavings(0, 29.97, 1, clock.now());
    engine->loadLedgerTotals(clock.now());
    access->setDrainWatts(8);
    access->setActive({"throttle:x"}, clock.now());
    access->accrueLedger(clock.now());

    clock.advance(30);
    access->accrueLedger(clock.now());
    EXPECT_EQ(announced, QList<QString>{"total6h"});
    EXPECT_EQ(defaults->stringArray("share.milestonesAchieved"), (QStringList{"daily30", "total6h"}));

    clock.advance(30);
    access->accrueLedger(clock.now());
    EXPECT_EQ(announced.size(), 1);
}

// The check keeps the ledger's days between ticks: it must follow today's row tick by tick and
// take up the new day at midnight.
TEST_F(PowerSaverEngineTest, TheMilestoneCheckFollowsTodaysRowAcrossTicksAndMidnight)
{
    QList<QString> announced;
    engine->onMilestone = [&](const SavingsStats::Milestone& milestone) { announced << milestone.key; };
    clock.set(QDateTime(QDate(2026, 3, 2), QTime(23, 58, 0), berlin));
    defaults->set("share.totalsInitialized", true);
    defaults->set("share.milestonesAchieved", QStringList{"daily30", "total1h", "total6h"});
    for (int day = 1; day <= 5; ++day)
        history->accrueSavings(0, 5, 1, clock.now().addDays(-day));
    history->accrueSavings(0, 4.9, 1, clock.now());
    engine->loadLedgerTotals(clock.now());
    access->setDrainWatts(8);
    access->setActive({"throttle:x"}, clock.now());
    access->accrueLedger(clock.now());

    // 1/18 min a tick: today becomes the sixth day in a row before midnight.
    for (int i = 0; i < 3; ++i) {
        clock.advance(30);
        access->accrueLedger(clock.now());
    }
    EXPECT_EQ(engine->savingsSummary(clock.now()).streakDays, 6);
    EXPECT_TRUE(announced.isEmpty());
    // After midnight the new day needs its own five minutes to make the seventh.
    int ticks = 0;
    while (announced.isEmpty() && ticks < 200) {
        clock.advance(30);
        access->accrueLedger(clock.now());
        ++ticks;
    }
    EXPECT_EQ(announced, QList<QString>{"streak7"});
    EXPECT_EQ(ticks, 1 + 90) << "the tick that crosses midnight, then 90 ticks of 1/18 min";
    EXPECT_EQ(engine->savingsSummary(clock.now()).streakDays, 7);
}

} // namespace kestrune::test
