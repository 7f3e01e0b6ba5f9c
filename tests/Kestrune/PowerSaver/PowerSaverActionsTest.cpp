#include "tests/Kestrune/PowerSaver/PowerSaverEngineFixture.h"

#include "Kestrune/PowerSaver/PowerDeficit.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace kestrune::test {

namespace {

using Answer = FakeHelperDaemon::Answer;

PowerMetricsReport sample(const QDateTime& at, std::initializer_list<std::tuple<qint64, const char*, double>> processes)
{
    PowerMetricsReport report{at, 2, {}};
    for (const auto& [pid, name, impact] : processes)
        report.processes.push_back({pid, QString::fromUtf8(name), impact, 0});
    return report;
}

QStringList keysOf(const std::vector<PowerPolicy::Candidate>& candidates)
{
    QStringList keys;
    for (const PowerPolicy::Candidate& c : candidates)
        keys << c.key;
    return keys;
}

const PowerPolicy::Candidate* find(const std::vector<PowerPolicy::Candidate>& candidates, const QString& key)
{
    for (const PowerPolicy::Candidate& c : candidates)
        if (c.key == key)
            return &c;
    return nullptr;
}

} // namespace

TEST(PowerDeficit, FollowsTheBatteryTargetWithinTheStrategysLeeway)
{
    PowerDeficit::Inputs in; // 60 Wh at 50 % for 5 more hours: a target of 6 W
    in.requiredHours = 5;
    in.fullWh = 60;
    in.socPercent = 50;
    in.tier = 2;
    in.drainWatts = 9;
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 3);
    in.strategyTargetW = 3;
    EXPECT_NEAR(PowerDeficit::compute(in), 9 - 3.6, 1e-9);
    in.strategyTargetW = 10;
    EXPECT_NEAR(PowerDeficit::compute(in), 9 - 8.4, 1e-9);
    in.requiredHours = 0.05;
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), -1) << "the strategy's target alone";
    in.strategyTargetW.reset();
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 0.2 * 9) << "0.05 h is no battery target";

    in.tier = 3;
    in.drainWatts = 10;
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 3.5);
    in.strategyTargetW = 9;
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 3) << "never below 0.3 of the drain at level 3";
    in.tier = 1;
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 1);
    in.strategyTargetW.reset();
    EXPECT_DOUBLE_EQ(PowerDeficit::compute(in), 0);
    in.boost = true;
    EXPECT_EQ(PowerDeficit::compute(in), std::numeric_limits<double>::infinity());
}

TEST_F(PowerSaverEngineTest, CandidatesAreScoredFromWhatWasLearnedAndWhatTheUserDisliked)
{
    EXPECT_EQ(keysOf(access->candidates(3)), (QStringList{"kbOff", "dim70", "dim50"})) << "without the daemon";

    connectDaemon();
    settings->setPauseSpotlightOnBattery(true);
    savings->recordMeasurement("lpm", 2.0);
    savings->recordPenalty("dim70", 1.0, clock.now());
    tracker->recordSample(sample(clock.now(), {{11, "Chrome", 1000}, {12, "Mail", 10}}));
    tracker->recordSample(sample(clock.now(), {{11, "Chrome", 1000}, {12, "Mail", 10}}));
    access->setActive({"throttle:Chrome", "throttle:Old"}, clock.now());
    AIStrategist::Strategy strategy;
    strategy.throttleRecommended = QStringList{"Chrome"};

    const auto candidates = access->candidates(2, strategy);
    EXPECT_EQ(keysOf(candidates),
              (QStringList{"lpm", "kbOff", "dim70", "dim50", "spotlight", "throttle:Chrome", "throttle:Old"}));
    // One measurement of 2 W: confidence 0.2, so 0.8 of the 1 W prior and 0.2 of 2 W.
    EXPECT_NEAR(find(candidates, "lpm")->watts, 1.2, 1e-9);
    EXPECT_NEAR(find(candidates, "lpm")->score, 1.2 * 0.3, 1e-9);
    EXPECT_TRUE(find(candidates, "lpm")->isBase);
    EXPECT_NEAR(find(candidates, "dim70")->score, 0.8 * 0.3 - 1.0, 1e-9);
    EXPECT_EQ(find(candidates, "dim50")->minTier, 3);
    // Chrome's share of the sample at the 1.5 W floor, 0.6 of it, plus the strategy's bonus.
    const double chrome = 1.5 * 1000.0 / 1010.0 * 0.6;
    EXPECT_NEAR(find(candidates, "throttle:Chrome")->watts, chrome, 1e-9);
    EXPECT_NEAR(find(candidates, "throttle:Chrome")->score, chrome * 0.3 + 0.5, 1e-9);
    EXPECT_NEAR(find(candidates, "throttle:Old")->score, 0.3, 1e-9);
    EXPECT_EQ(find(candidates, "throttle:Old")->minTier, 2);

    // Excluded by the user or avoided by the strategy: never a candidate of its own.
    strategy.throttleAvoid = QStringList{"chrome"};
    access->setActive({}, clock.now());
    EXPECT_FALSE(find(access->candidates(2, strategy), "throttle:Chrome"));
}

TEST_F(PowerSaverEngineTest, APolicyPassKeepsActionsThreeMinutesAndLetsTheStrongerCapWin)
{
    connectDaemon();
    settings->setKbBacklightOffEnabled(false);
    access->setDrainWatts(9);
    access->setThrottled({{500, "Old"}});
    access->setActive({"throttle:Old"}, clock.now().addSecs(-100));
    access->applyPolicy(battery(60), 1, clock.now());
    EXPECT_EQ(engine->activeActionKeys(), (ActionKeySet{"lpm", "throttle:Old"}));
    EXPECT_EQ(engine->currentDeficitW(), 0);

    clock.advance(80);
    access->applyPolicy(battery(60), 1, clock.now());
    EXPECT_EQ(engine->activeActionKeys(), ActionKeySet{"lpm"});
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_EQ(logLines(), (QStringList{"lpm: Low Power Mode を適用",
                                       "restore: Old を減速 を解除 (削減目標を満たしたため解除)"}));

    // Boost: everything with a good enough score, the drain as the deficit, 50 % over 70 %.
    ASSERT_TRUE(display->applyBrightnessCap(0.7f));
    access->setActive({"lpm", "dim70"}, clock.now().addSecs(-600));
    engine->setBoostUntilAC(true);
    access->applyPolicy(battery(60), 3, clock.now());
    EXPECT_EQ(engine->activeActionKeys(), (ActionKeySet{"lpm", "dim50"}));
    EXPECT_EQ(engine->currentDeficitW(), 9);
    EXPECT_NEAR(engine->expectedSavingsW(), 1.0 + 0.8 + 1.5, 1e-9) << "counted before the weaker cap is dropped";
    EXPECT_EQ(logLines().last(), QStringLiteral("dim: 画面輝度50%制限 を適用"));
    EXPECT_TRUE(logLines().filter("画面輝度70%制限").isEmpty());
}

TEST_F(PowerSaverEngineTest, NewlyThrottledProcessesAreAnnouncedByName)
{
    connectDaemon();
    settings->setKbBacklightOffEnabled(false);
    settings->setAutoDimEnabled(false);
    engine->setBoostUntilAC(true);
    const auto heavy = [&](std::initializer_list<std::tuple<qint64, const char*, double>> processes) {
        tracker->recordSample(sample(clock.now(), processes));
        tracker->recordSample(sample(clock.now(), processes));
    };
    heavy({{21, "A", 500}, {22, "B", 400}, {23, "C", 300}});
    access->applyPolicy(battery(60), 3, clock.now());
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts.first().id, QStringLiteral("ps-throttle"));
    EXPECT_EQ(posts.first().title, QStringLiteral("バックグラウンドを減速しました"));
    EXPECT_EQ(posts.first().body, QStringLiteral("A、B ほか1件 を減速中(前面で使うと自動解除)。"));
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{21, "A"}, {22, "B"}, {23, "C"}}));

    clock.advance(301);
    heavy({{31, "D", 500}, {32, "E", 400}});
    access->applyPolicy(battery(60), 3, clock.now());
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts.last().body, QStringLiteral("D、E を減速中(前面で使うと自動解除)。"));
}

TEST_F(PowerSaverEngineTest, DaemonCommandsCountOnlyWhenTheDaemonSaysTheyWorked)
{
    connectDaemon();
    daemon->setAnswer(HelperProtocol::setLowPowerMode, Answer::error());
    EXPECT_FALSE(access->apply("lpm", std::nullopt, clock.now()));
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_TRUE(logLines().isEmpty());

    daemon->setReply(HelperProtocol::setLowPowerMode, success());
    access->measurer().noteSnapshot(8, clock.now().addSecs(-30));
    EXPECT_FALSE(access->apply("lpm", std::nullopt, clock.now())) << "true is kept for new throttles";
    EXPECT_EQ(engine->activeActionKeys(), ActionKeySet{"lpm"});
    EXPECT_EQ(access->appliedAt().value("lpm"), clock.now());
    EXPECT_EQ(access->sessionActionCounts().value("lpm"), 1);
    EXPECT_EQ(access->measurer().pendings.size(), 1);

    // Gone: the removal is logged and the key dropped all the same.
    daemon->setAnswerForAll(Answer::error());
    access->remove("lpm", QStringLiteral("テスト"));
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_FALSE(access->appliedAt().contains("lpm"));
    EXPECT_EQ(logLines(), (QStringList{"lpm: Low Power Mode を適用", "restore: Low Power Mode を解除 (テスト)"}));

    // A strategy's cap is held between 0.5 and 0.9; one that is not a number is none.
    AIStrategist::Strategy strategy;
    strategy.brightnessCap = 0.3;
    EXPECT_FALSE(access->apply("dim70", strategy, clock.now()));
    EXPECT_EQ(display->lastSetBrightness, 0.5f);
    display->restoreBrightness();
    strategy.brightnessCap = std::numeric_limits<double>::quiet_NaN();
    access->apply("dim70", strategy, clock.now());
    EXPECT_EQ(display->lastSetBrightness, 0.7f);
}

TEST_F(PowerSaverEngineTest, AThrottleIsJudgedProcessByProcess)
{
    connectDaemon();
    daemon->setReply(HelperProtocol::setProcessThrottled, success());
    // The first process is lowered, every later one refused.
    const auto refuseLater = QObject::connect(daemon.get(), &FakeHelperDaemon::called, daemon.get(), [this](const QString& method) {
        if (method == QLatin1String(HelperProtocol::setProcessThrottled))
            daemon->setReply(HelperProtocol::setProcessThrottled, failure());
    });
    tracker->recordSample(sample(clock.now(), {{41, "Build", 300}, {42, "Build", 200}, {43, "Other", 100}}));
    EXPECT_FALSE(access->apply("throttle:build", std::nullopt, clock.now())) << "names match exactly";
    EXPECT_TRUE(access->apply("throttle:Build", std::nullopt, clock.now()));
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{41, "Build"}}));
    EXPECT_EQ(logLines(), QStringList{"throttle: Build を減速 を適用"});

    daemon->clearCalls();
    access->setThrottled({{41, "Build"}, {42, "Build"}});
    access->setActive({}, clock.now());
    EXPECT_FALSE(access->apply("throttle:Build", std::nullopt, clock.now()));
    EXPECT_EQ(daemon->count(HelperProtocol::setProcessThrottled), 0);
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_EQ(logLines().size(), 1);

    // Releasing one of two: the key stays, and the user's dislike is still learned.
    daemon->setReply(HelperProtocol::setProcessThrottled, success());
    QObject::disconnect(refuseLater);
    access->setActive({"throttle:Build"}, clock.now());
    QCoro::waitFor(engine->unthrottle(41));
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{42, "Build"}}));
    EXPECT_EQ(engine->activeActionKeys(), ActionKeySet{"throttle:Build"});
    EXPECT_EQ(savings->penalties().value("throttle:Build").size(), 1);
    EXPECT_EQ(logLines().last(), QStringLiteral("unthrottle: Build (手動解除・好みを学習)"));

    QCoro::waitFor(engine->unthrottle(999));
    EXPECT_EQ(logLines().size(), 2) << "an unlisted pid does nothing";
}

TEST_F(PowerSaverEngineTest, ASecondPressDuringAReleaseDoesNothing)
{
    connectDaemon();
    daemon->setAnswer(HelperProtocol::setProcessThrottled,
                      Answer::bytes(success()).after(100));
    access->setThrottled({{61, "Zoom"}});
    access->setActive({"throttle:Zoom"}, clock.now());

    auto first = engine->unthrottle(61);
    auto second = engine->unthrottle(61);
    QCoro::waitFor(std::move(second));
    QCoro::waitFor(std::move(first));
    EXPECT_EQ(daemon->count(HelperProtocol::setProcessThrottled), 1);
    EXPECT_EQ(savings->penalties().value("throttle:Zoom").size(), 1);
    EXPECT_EQ(savings->manualUnthrottleDates().value("Zoom").size(), 1);
    EXPECT_EQ(logLines(), QStringList{"unthrottle: Zoom (手動解除・好みを学習)"});
    EXPECT_TRUE(posts.isEmpty());
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());

    // After a release that failed, the next press asks again.
    daemon->setReply(HelperProtocol::setProcessThrottled, failure());
    access->setThrottled({{62, "Slack"}});
    QCoro::waitFor(engine->unthrottle(62));
    QCoro::waitFor(engine->unthrottle(62));
    EXPECT_EQ(daemon->count(HelperProtocol::setProcessThrottled), 3);
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{62, "Slack"}}));
}

TEST_F(PowerSaverEngineTest, TwoReleasesWithinTwoWeeksSuggestAnExclusion)
{
    connectDaemon();
    settings->setPowerExclusions({QString(), QStringLiteral("SLACK")});
    const auto releaseTwice = [&](qint64 pid, const QString& name) {
        for (int i = 0; i < 2; ++i) {
            access->setThrottled({{pid, name}});
            QCoro::waitFor(engine->unthrottle(pid));
            clock.advance(86400);
        }
    };
    releaseTwice(71, "Zoom");
    ASSERT_EQ(postedIds(), QStringList{"ps-suggest"}) << "a stray empty exclusion does not stop suggestions";
    EXPECT_EQ(posts.first().title, QStringLiteral("除外リストへの追加を提案"));
    EXPECT_EQ(posts.first().body, QStringLiteral("「Zoom」の減速を2回解除しました。省電力タブから除外リストに追加できます。"));
    EXPECT_TRUE(logLines().contains("suggest: Zoom の除外を提案"));

    releaseTwice(72, "slack-helper");
    EXPECT_FALSE(savings->exclusionSuggestions().contains("slack-helper")) << "already excluded";

    settings->setNotifyPowerActions(false);
    releaseTwice(73, "Dropbox");
    EXPECT_EQ(posts.size(), 1);
    EXPECT_TRUE(logLines().contains("suggest: Dropbox の除外を提案"));
}

TEST_F(PowerSaverEngineTest, ExternalPowerRestoresEverythingInOneSweep)
{
    connectDaemon();
    access->setLevel(2, clock.now());
    ASSERT_TRUE(display->applyBrightnessCap(0.7f));
    access->setActive({"lpm", "dim70", "throttle:Hog"}, clock.now());
    access->setThrottled({{81, "Hog"}});
    access->lastLedgerAt() = clock.now();
    access->measurer().noteSnapshot(8, clock.now().addSecs(-30));
    access->measurer().begin("lpm", clock.now());

    tick(onAC());
    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 1);
    EXPECT_EQ(logLines(), QStringList{"restore: 全アクションを復元 (AC接続)"});
    EXPECT_EQ(engine->level(), 0);
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_TRUE(access->appliedAt().isEmpty());
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_TRUE(access->measurer().drains.isEmpty());
    EXPECT_FALSE(access->lastLedgerAt());
    EXPECT_EQ(display->savedBrightness, std::nullopt);
    spin(20);
    EXPECT_TRUE(history->actionOutcomes(clock.now().addDays(-1), 10).isEmpty()) << "the pending measurement never reports";

    // Not connected: the daemon is not asked, and the bookkeeping is cleared all the same.
    engine.reset();
    client = std::make_unique<HelperClient>(bus.connect(QStringLiteral("app2")), services, *defaults);
    makeEngine();
    daemon->clearCalls();
    access->setLevel(2, clock.now());
    access->setActive({"kbOff"}, clock.now());
    tick(onAC());
    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 0);
    EXPECT_EQ(logLines().size(), 2);
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
}

TEST_F(PowerSaverEngineTest, WhatChangesWhileTheRestoreWaitsIsClearedToo)
{
    connectDaemon();
    daemon->setAnswer(HelperProtocol::restoreAllPowerSaving,
                      Answer::bytes(success()).after(200));
    access->setLevel(2, clock.now());
    access->setActive({"throttle:Editor", "throttle:Hog"}, clock.now());
    access->setThrottled({{91, "Editor"}, {92, "Hog"}});

    clock.advance(30);
    auto standingDown = engine->evaluate(onAC(), clock.now());
    ASSERT_TRUE(waitUntil([&] { return daemon->count(HelperProtocol::restoreAllPowerSaving) == 1; }));
    QCoro::waitFor(engine->evaluate(battery(40, 20), clock.now().addSecs(30)));
    EXPECT_EQ(engine->drainWatts(), 0) << "a second tick is dropped untouched";
    EXPECT_FALSE(access->sessionStart());

    QCoro::waitFor(engine->appActivated(QStringLiteral("Editor")));
    EXPECT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{92, "Hog"}}));
    QCoro::waitFor(std::move(standingDown));
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_EQ(logLines().last(), QStringLiteral("restore: 全アクションを復元 (AC接続)"));
    EXPECT_EQ(engine->statusText(), QStringLiteral("AC接続中(待機)"));
}

TEST_F(PowerSaverEngineTest, SwitchingTheAutopilotOffIsAMildDislikeOfWhatWasNoticeable)
{
    connectDaemon();
    tick(battery(60));
    access->setActive({"lpm", "dim70", "throttle:Hog"}, clock.now());
    access->setThrottled({{95, "Hog"}});
    settings->setAutopilotEnabled(false);
    tick(battery(60));
    EXPECT_EQ(QStringList(savings->penalties().keys()), (QStringList{"dim70", "throttle:Hog"}));
    EXPECT_EQ(savings->penalties().value("dim70").first().weight, 0.5);
    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 1);
    EXPECT_EQ(logLines().filter("restore:"), QStringList{"restore: 全アクションを復元 (オートパイロットOFF)"});
    EXPECT_EQ(engine->level(), 0);
}

TEST_F(PowerSaverEngineTest, AProcessLeftThrottledWithoutItsKeyIsStillRestored)
{
    connectDaemon();
    access->setLevel(2, clock.now());
    access->setActive({"throttle:Hog"}, clock.now().addSecs(-600));
    access->setThrottled({{97, "Hog"}});
    daemon->setReply(HelperProtocol::setProcessThrottled, failure());
    access->remove("throttle:Hog", QStringLiteral("テスト"));
    ASSERT_TRUE(engine->activeActionKeys().isEmpty());
    ASSERT_EQ(engine->throttledProcesses(), (ThrottledProcessMap{{97, "Hog"}}));

    tick(onAC());
    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 1);
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_EQ(logLines(), QStringList{"restore: Hog を減速 を解除 (テスト)"}) << "no action was in force to log";

    // The same with the autopilot switched off.
    access->setThrottled({{98, "Hog"}});
    settings->setAutopilotEnabled(false);
    tick(battery(60));
    EXPECT_EQ(daemon->count(HelperProtocol::restoreAllPowerSaving), 2);
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
}

} // namespace kestrune::test
