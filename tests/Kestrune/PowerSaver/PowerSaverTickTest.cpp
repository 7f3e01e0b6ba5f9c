#include "tests/Kestrune/PowerSaver/PowerSaverEngineFixture.h"

#include "Kestrune/PowerSaver/PowerActionKeys.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace kestrune::test {

namespace {

using Answer = FakeHelperDaemon::Answer;

} // namespace

TEST_F(PowerSaverEngineTest, StandingDownWithNothingInForceTouchesNothing)
{
    connectDaemon();
    settings->setAutopilotEnabled(false);
    tick(battery(60));
    EXPECT_EQ(engine->level(), 0);
    EXPECT_EQ(engine->statusText(), QStringLiteral("オートパイロット: オフ"));

    settings->setAutopilotEnabled(true);
    engine->setBoostUntilAC(true);
    access->lastLedgerAt() = clock.now();
    tick(onAC());
    EXPECT_EQ(engine->statusText(), QStringLiteral("AC接続中(待機)"));
    EXPECT_FALSE(engine->boostUntilAC());
    EXPECT_FALSE(access->lastLedgerAt());
    EXPECT_FALSE(engine->estimatedRuntimeHours());

    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 0);
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_TRUE(savings->penalties().isEmpty());
}

TEST_F(PowerSaverEngineTest, TheFirstTickOfADayMovesTheLedgerDayBeforeAnythingElse)
{
    clock.set(QDateTime(QDate(2026, 3, 2), QTime(23, 59, 50), berlin));
    makeEngine();
    EXPECT_EQ(access->ledgerDay(), QDateTime(QDate(2026, 3, 2), QTime(0, 0), berlin));
    tick(battery(60), 20);
    EXPECT_EQ(access->ledgerDay(), QDateTime(QDate(2026, 3, 3), QTime(0, 0), berlin));
}

TEST_F(PowerSaverEngineTest, LevelChangesAreLoggedAndTheMaximumIsAnnouncedOncePerSession)
{
    tick(battery(60));
    EXPECT_EQ(engine->level(), 1);
    access->setLevel(2, clock.now());

    tick(battery(15));
    EXPECT_EQ(engine->level(), 3);
    EXPECT_EQ(postedIds(), QStringList{"ps-l3"});
    EXPECT_EQ(posts.value(0).body, QStringLiteral("残量15%。バックグラウンドを強く制限しています。"));

    // Down to 2 and up again, each past the notifier's own cooldown: logged, not announced.
    settings->setPowerLevelAuto(false);
    settings->setManualPowerLevel(2);
    tick(battery(15), 2000);
    settings->setManualPowerLevel(3);
    tick(battery(15), 2000);
    EXPECT_EQ(postedIds(), QStringList{"ps-l3"});
    EXPECT_EQ(logLines().filter(QRegularExpression("^level: ")),
              (QStringList{"level: L0→L1 (残量60%)", "level: L2→L3 (残量15%)", "level: L3→L2 (残量15%)",
                           "level: L2→L3 (残量15%)"}));

    // Staying at 3 logs nothing more; with notices off a change is still logged.
    tick(battery(15));
    settings->setNotifyPowerActions(false);
    settings->setManualPowerLevel(1);
    tick(battery(15));
    EXPECT_EQ(logLines().filter(QRegularExpression("^level: ")).size(), 5);
    EXPECT_EQ(engine->statusText().section(QStringLiteral(" — "), 0, 0), QStringLiteral("L1 標準節電"));
}

TEST_F(PowerSaverEngineTest, DrainIsSmoothedFromTheFirstAcceptedReadingAndNeverReset)
{
    tick(battery(60, 0.3));
    tick(battery(60, 150));
    EXPECT_EQ(engine->drainWatts(), 0);
    // 60 Wh at 60 %: 36 Wh over the 1.5 W floor while nothing is learned.
    EXPECT_DOUBLE_EQ(*engine->estimatedRuntimeHours(), 24);

    tick(battery(60, 8));
    EXPECT_DOUBLE_EQ(engine->drainWatts(), 8);
    tick(battery(60, 13));
    EXPECT_DOUBLE_EQ(engine->drainWatts(), 9);
    EXPECT_DOUBLE_EQ(*engine->estimatedRuntimeHours(), 4);

    tick(onAC());
    EXPECT_DOUBLE_EQ(engine->drainWatts(), 9);
    EXPECT_FALSE(engine->estimatedRuntimeHours());
    EXPECT_FALSE(engine->requiredHours());
}

// A manual target counts from when it was set, else from the session's start, else from now,
// and never falls below 0.1 h.
TEST_F(PowerSaverEngineTest, AManualTargetCountsFromWhenItWasSetElseFromTheSessionStart)
{
    settings->setTargetAutoLearn(false);
    settings->setManualTargetHours(5);
    tick(battery(60)); // the session starts now
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 5);
    tick(battery(60), 3600);
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 4);

    // Set two hours ago, before the session began.
    settings->setManualTargetSetAt(clock.now().addSecs(30 - 2 * 3600));
    tick(battery(60));
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 3);
    // Set within the session.
    settings->setManualTargetSetAt(clock.now().addSecs(30 - 1800));
    tick(battery(60));
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 4.5);

    // A new session does not restart a target that was set: an hour after it was set.
    tick(onAC());
    tick(battery(60), 1770);
    EXPECT_EQ(access->sessionStart(), clock.now());
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 4);
    // Its time used up, the target stays at 0.1 h.
    tick(battery(60), 5 * 3600);
    EXPECT_DOUBLE_EQ(*engine->requiredHours(), 0.1);
}

// Strategies are asked for from battery ticks, never forced there, and only while the
// strategist is ready and the machine is on battery; a view may force one.
TEST_F(PowerSaverEngineTest, AStrategyIsAskedForOnlyOnBatteryFromAReadyStrategist)
{
    engine->setStrategist(strategist.get());
    tick(battery(60));
    ASSERT_TRUE(waitUntil([&] { return !strategist->forces.isEmpty(); }));
    EXPECT_EQ(strategist->forces, QList<bool>{false});
    EXPECT_EQ(strategist->telemetries.value(0).value("soc").toInteger(), 60);

    strategist->ready = false;
    tick(battery(59));
    engine->requestStrategyUpdate(battery(59), 1, true);
    spin(20);
    EXPECT_EQ(strategist->forces.size(), 1) << "not ready";

    strategist->ready = true;
    tick(onAC());
    engine->requestStrategyUpdate(onAC(), 1, true);
    spin(20);
    EXPECT_EQ(strategist->forces.size(), 1) << "on external power, even forced";

    engine->requestStrategyUpdate(battery(58), 2, true);
    ASSERT_TRUE(waitUntil([&] { return strategist->forces.size() == 2; }));
    EXPECT_EQ(strategist->forces, (QList<bool>{false, true}));
    EXPECT_EQ(strategist->telemetries.value(1).value("tier").toInteger(), 2);
}

TEST_F(PowerSaverEngineTest, ASessionIsPredictedOnceAndReportedOnceWhenItEnds)
{
    // Five earlier sessions of 3 h on Mondays give a typical session of 3 h.
    for (int week = 1; week <= 5; ++week) {
        const QDateTime unplug = clock.now().addDays(-7 * week);
        PlugEventRecord off(unplug, false, 90), on(unplug.addSecs(3 * 3600), true, 40);
        history->save(off);
        history->save(on);
    }
    engine->setStrategist(strategist.get());
    strategist->nextReport = QStringLiteral("よくできました");
    tick(battery(95));
    tick(onAC(94), 19.9 * 60);
    spin(20);
    EXPECT_TRUE(strategist->reportRequests.isEmpty()) << "19.9 minutes are too short to report";

    tick(battery(90));
    const QDateTime start = clock.now();
    EXPECT_EQ(access->sessionStart(), start);
    EXPECT_EQ(access->sessionStartSOC(), 90);
    ASSERT_TRUE(access->sessionPredictedHours());
    const double predicted = *access->sessionPredictedHours();
    EXPECT_NEAR(predicted, 3, 1e-9);
    EXPECT_NEAR(*engine->requiredHours(), 3, 1e-9);

    // A longer habit recorded meanwhile does not change the open session's prediction.
    PlugEventRecord off(clock.now().addDays(-1), false, 90), on(clock.now().addDays(-1).addSecs(9 * 3600), true, 10);
    history->save(off);
    history->save(on);
    tick(battery(89), 1200);
    EXPECT_EQ(access->sessionStart(), start);
    EXPECT_EQ(access->sessionPredictedHours(), predicted);

    tick(onAC(70));
    tick(onAC(71));
    spin(20);
    ASSERT_EQ(strategist->reportRequests.size(), 1);
    const QJsonObject stats = strategist->reportRequests.first();
    EXPECT_EQ(stats.value("session_minutes").toInteger(), 20);
    EXPECT_EQ(stats.value("start_soc").toInteger(), 90);
    EXPECT_EQ(stats.value("end_soc").toInteger(), 70);
    EXPECT_FALSE(access->sessionStart());
    EXPECT_FALSE(access->sessionPredictedHours());
    EXPECT_TRUE(logLines().contains(QStringLiteral("report: よくできました")));
    EXPECT_TRUE(postedIds().contains(QStringLiteral("ps-report")));
}

TEST_F(PowerSaverEngineTest, AFormerReportIsNeitherLoggedNorAnnouncedAgain)
{
    engine->setStrategist(strategist.get());
    strategist->report = QStringLiteral("前のレポート");
    strategist->reportAt = clock.now().addDays(-1);

    tick(battery(90));
    tick(onAC(60), 3600); // the request fails: the strategist keeps its former report
    spin(20);
    EXPECT_EQ(strategist->reportRequests.size(), 1);
    EXPECT_TRUE(logLines().filter(QStringLiteral("report:")).isEmpty());
    EXPECT_TRUE(posts.isEmpty());

    // A new report is cut to 200 characters for the log and 160 for the notice, by what the
    // user sees as characters.
    const QString flag = QStringLiteral("🇯🇵");
    strategist->nextReport = flag.repeated(300);
    tick(battery(90));
    tick(onAC(60), 3600);
    spin(20);
    ASSERT_EQ(logLines().filter(QStringLiteral("report:")).size(), 1);
    EXPECT_EQ(logLines().filter(QStringLiteral("report:")).first(), QStringLiteral("report: ") + flag.repeated(200));
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts.first().body, flag.repeated(160));
}

TEST_F(PowerSaverEngineTest, BringingAnApplicationToTheFrontReleasesItsProcesses)
{
    connectDaemon();
    const QDateTime now = clock.now();
    access->setThrottled({{301, "Chrome Helper"}, {302, "Chrome"}, {303, "Slack"}});
    access->setActive({"throttle:Chrome Helper", "throttle:Chrome", "throttle:Slack"}, now.addSecs(-120));
    access->appliedAt()["throttle:Chrome Helper"] = now.addSecs(-119);
    access->measurer().pendings.append({"throttle:Slack", now.addSecs(-30), 8, false});

    QCoro::waitFor(engine->appActivated(QString()));
    EXPECT_FALSE(access->measurer().pendings.first().invalid) << "no name, no activation";

    QCoro::waitFor(engine->appActivated(QStringLiteral("Chrome")));
    EXPECT_TRUE(access->measurer().pendings.first().invalid);
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{303, "Slack"}}));
    EXPECT_EQ(engine->activeActionKeys(), ActionKeySet{"throttle:Slack"});
    EXPECT_FALSE(access->appliedAt().contains("throttle:Chrome"));
    EXPECT_EQ(logLines(), (QStringList{"unthrottle: Chrome Helper (前面化のため解除)", "unthrottle: Chrome (前面化のため解除)"}));
    EXPECT_DOUBLE_EQ(savings->penaltyScore("throttle:Chrome Helper", now), 0.5);
    EXPECT_EQ(savings->penaltyScore("throttle:Chrome", now), 0);
    QList<qint64> released;
    for (const FakeHelperDaemon::Call& call : daemon->calls())
        released << call.arguments.value(0).toLongLong();
    EXPECT_EQ(released, (QList<qint64>{301, 302}));

    // A release the daemon refuses keeps the process listed; its key goes all the same.
    daemon->setReply(HelperProtocol::setProcessThrottled, failure());
    QCoro::waitFor(engine->appActivated(QStringLiteral("Slack")));
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{303, "Slack"}}));
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_EQ(logLines().size(), 2);
}

TEST_F(PowerSaverEngineTest, AMeasuredEffectIsStoredAsMeasuredAndLearnedNoLowerThanZero)
{
    EffectMeasurer& measurer = access->measurer();
    const QDateTime start = clock.now();
    measurer.noteSnapshot(8, start.addSecs(-60));
    measurer.noteSnapshot(8, start.addSecs(-30));
    measurer.begin("dim70", start);
    measurer.noteSnapshot(8.4, start.addSecs(120));
    measurer.noteSnapshot(8.4, start.addSecs(150));
    EXPECT_TRUE(history->actionOutcomes(start.addDays(-1), 10).isEmpty()) << "handled on a later turn of the loop";

    spin(20);
    const QList<ActionOutcomeRecord> outcomes = history->actionOutcomes(start.addDays(-1), 10);
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_EQ(outcomes.first().actionKey, QStringLiteral("dim70"));
    EXPECT_NEAR(outcomes.first().deltaW, -0.4, 1e-9);
    EXPECT_TRUE(outcomes.first().valid);
    EXPECT_EQ(savings->effects().value("dim70").deltaW, 0);
    EXPECT_EQ(logLines(), QStringList{"measure: 画面輝度70%制限 の実測効果 -0.40W"});

    // An invalid result is stored but neither learned nor logged.
    measurer.begin("lpm", start.addSecs(150));
    measurer.noteSnapshot(8, start.addSecs(600));
    spin(20);
    EXPECT_EQ(history->actionOutcomes(start.addDays(-1), 10).size(), 2);
    EXPECT_FALSE(savings->effects().contains("lpm"));
    EXPECT_EQ(logLines().size(), 1);
}

TEST_F(PowerSaverEngineTest, TheUsersOwnBrightnessEndsDimmingForTheSessionAndIsPenalisedOnce)
{
    settings->setKbBacklightOffEnabled(false);
    tick(battery(60));
    ASSERT_TRUE(display->applyBrightnessCap(0.5f));
    access->setActive({"dim70", "dim50"}, clock.now());
    access->measurer().pendings.append({"dim50", clock.now(), 8, false});

    setBacklight(550); // within the margin: our cap, not the user's doing
    tick(battery(60));
    EXPECT_TRUE(engine->activeActionKeys().contains("dim50"));

    setBacklight(570);
    tick(battery(60));
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_FALSE(display->savedBrightness);
    EXPECT_FALSE(display->lastSetBrightness);
    EXPECT_TRUE(access->measurer().pendings.first().invalid);
    ASSERT_EQ(savings->penalties().value("dim50").size(), 1);
    EXPECT_EQ(savings->penalties().value("dim50").first().weight, 1.0);
    EXPECT_FALSE(savings->penalties().contains("dim70"));
    const QString overrideLine = QStringLiteral("dim: 手動の輝度変更を検知 — このセッションの自動減光を停止(好みを学習)");
    EXPECT_EQ(logLines().count(overrideLine), 1);

    // A second raise in the same session changes nothing more.
    display->lastSetBrightness = 0.5f;
    access->setActive({"dim50"}, clock.now());
    tick(battery(60));
    EXPECT_TRUE(engine->activeActionKeys().contains("dim50"));
    EXPECT_EQ(savings->penalties().value("dim50").size(), 1);
    EXPECT_EQ(logLines().count(overrideLine), 1);
}

TEST_F(PowerSaverEngineTest, TelemetryAndTheSessionReportRoundAsTheBackendExpects)
{
    clock.set(QDateTime(QDate(2026, 3, 4), QTime(21, 15), berlin)); // a Wednesday
    access->setDrainWatts(7.25);
    BatterySnapshot reading = battery(47);
    QJsonObject telemetry = access->telemetry(reading, 2);
    EXPECT_EQ(telemetry.value("drain_w").toDouble(), 7.3);
    EXPECT_EQ(telemetry.value("battery_wh").toDouble(), 60);
    EXPECT_EQ(telemetry.value("weekday").toInteger(), 4);
    EXPECT_EQ(telemetry.value("hour").toInteger(), 21);
    EXPECT_EQ(telemetry.value("lang").toString(), QStringLiteral("ja"));
    EXPECT_EQ(QStringList(telemetry.keys()),
              (QStringList{"active_actions", "battery_wh", "boost", "drain_w", "exclusions", "hour", "lang", "soc",
                           "tier", "weekday"}));

    access->setDrainWatts(7.249);
    access->setEstimates(3.25, 1.04);
    access->setActive({"lpm", "dim70"}, clock.now());
    settings->setPowerExclusions({"Zoom", "Backup"});
    engine->languageCode = [] { return QStringLiteral("en"); };
    reading.nominalCapacitymAh = 0;
    PowerMetricsReport report{clock.now(), 2, {}};
    for (int i = 0; i < 15; ++i)
        report.processes.push_back({100 + i, QStringLiteral("p%1").arg(i), 12.9 - i, 0});
    tracker->recordSample(report);
    savings->recordMeasurement("lpm", 0.125);
    savings->recordPenalty("kbOff", 0.25, clock.now());
    savings->recordPenalty("dim50", 0.44, clock.now());
    telemetry = access->telemetry(reading, 3);
    EXPECT_EQ(telemetry.value("drain_w").toDouble(), 7.2);
    EXPECT_EQ(telemetry.value("battery_wh").toDouble(), 0);
    EXPECT_EQ(telemetry.value("est_runtime_h").toDouble(), 3.3);
    EXPECT_EQ(telemetry.value("required_h").toDouble(), 1.0);
    EXPECT_EQ(telemetry.value("active_actions").toArray(), QJsonArray({"dim70", "lpm"}));
    EXPECT_EQ(telemetry.value("exclusions").toArray(), QJsonArray({"Zoom", "Backup"}));
    EXPECT_EQ(telemetry.value("lang").toString(), QStringLiteral("en"));
    const QJsonArray top = telemetry.value("top_processes").toArray();
    ASSERT_EQ(top.size(), 10);
    EXPECT_EQ(top.first().toObject().value("impact").toInteger(), 12);
    EXPECT_EQ(top.last().toObject().value("impact").toInteger(), 3);
    EXPECT_EQ(telemetry.value("learned_effects").toArray(),
              QJsonArray({QJsonObject{{"key", "lpm"}, {"w", 0.13}, {"n", 1}}}));
    EXPECT_EQ(telemetry.value("penalties").toArray(), QJsonArray({QJsonObject{{"key", "dim50"}, {"penalty", 0.4}}}));

    // The session report: whole minutes, two decimals of energy, one of drain; the counters
    // only when there are any.
    access->sessionStartSOC() = 90;
    access->setSessionSavedWh(0.125);
    access->setDrainWatts(7.25);
    QJsonObject stats = access->sessionReport(20.99, 55);
    EXPECT_EQ(stats.value("session_minutes").toInteger(), 20);
    EXPECT_EQ(stats.value("saved_wh").toDouble(), 0.13);
    EXPECT_EQ(stats.value("typical_drain_w").toDouble(), 7.3);
    EXPECT_EQ(stats.value("end_soc").toInteger(), 55);
    EXPECT_FALSE(stats.contains("actions_applied"));
    EXPECT_EQ(stats.value("top_drainers").toArray().size(), 5);
    access->sessionActionCounts()["lpm"] = 2;
    stats = access->sessionReport(20, 55);
    EXPECT_EQ(stats.value("actions_applied").toObject(), (QJsonObject{{"lpm", 2}}));
}

TEST_F(PowerSaverEngineTest, TheStatusLineShowsOnlyWhatIsKnown)
{
    access->setLevel(1, clock.now());
    access->setExpectedSavingsW(0.05);
    access->updateStatusText();
    EXPECT_EQ(engine->statusText(), QStringLiteral("L1 標準節電"));

    access->setLevel(2, clock.now());
    access->setEstimates(3.2, 4.0);
    access->setExpectedSavingsW(1.3);
    access->setThrottled({{1, "a"}, {2, "b"}});
    engine->setStrategist(strategist.get());
    access->updateStatusText();
    EXPECT_EQ(engine->statusText(), QStringLiteral("L2 強化節電 — 推定3.2h — 目標4.0h — 節電1.3W — 2件減速中"));

    strategist->strategy = AIStrategist::Strategy();
    access->updateStatusText();
    EXPECT_EQ(engine->statusText(),
              QStringLiteral("L2 強化節電 — AI戦略適用中 — 推定3.2h — 目標4.0h — 節電1.3W — 2件減速中"));
}

} // namespace kestrune::test
