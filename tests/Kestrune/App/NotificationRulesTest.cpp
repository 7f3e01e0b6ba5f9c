#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QJsonArray>

#include <functional>

namespace kestrune::test {

namespace {

using Event = ChargeController::Event;

const QString limit = QStringLiteral("充電上限に到達しました");
const QString full = QStringLiteral("満充電が完了しました");
const QString helperError = QStringLiteral("充電制御エラー");
const QString interference = QStringLiteral("充電制御の競合を検出");
const QString hot = QStringLiteral("バッテリー温度が高くなっています");
const QString drain = QStringLiteral("バッテリー消費が異常に多いです");
const QString diagnosis = QStringLiteral("AI診断");

// A reading on external power or on battery drawing `watts` (at 10 V).
BatterySnapshot onAC(int soc, bool fullyCharged = false)
{
    BatterySnapshot s;
    s.socPercent = soc;
    s.externalConnected = true;
    s.fullyCharged = fullyCharged;
    s.voltageV = 10;
    return s;
}
BatterySnapshot onBattery(double watts, double celsius = 30)
{
    BatterySnapshot s;
    s.socPercent = 60;
    s.temperatureC = celsius;
    s.voltageV = 10;
    s.amperageA = -watts / 10;
    return s;
}

} // namespace

using NotificationRules = AppStateFixture;

// Every rule of the notifications walked as one table: each step feeds a reading through the
// main loop or raises an event, and names the notifications it must post, in order.
TEST_F(NotificationRules, OneTableOfReadingsAndEvents)
{
    FakeBackend backend;
    ASSERT_TRUE(backend.listen());
    // 200 characters as the user sees them; the 160th is an emoji of two code points.
    const QString longDiagnosis = QString(159, u'あ') + QStringLiteral("👍🏽") + QString(40, u'い');
    backend.setText(longDiagnosis);
    preset({{"backendURL", backend.url().toString()}, {"controlEnabled", false}, {"autopilotEnabled", false},
        {"llmSessionReports", false}});
    AppState& app = launch();
    app.start();
    ASSERT_TRUE(waitUntil([&] { return app.strategist().isReady(); }));

    auto feed = [&](BatterySnapshot s) {
        clock.advance(30);
        s.date = clock.now();
        app.monitor().onUpdate(s);
    };
    // The typical drain the reading meets (learning moves it by a twentieth of the reading).
    auto feedDrain = [&](double typical, double watts) {
        app.adaptive().setTypicalDrainWatts(typical);
        feed(onBattery(watts));
    };
    auto tap = [&](const QString& title) {
        for (const FakeNotificationServer::Shown& shown : notifications.shown)
            if (shown.summary == title)
                notifications.invokeAction(shown.id, QStringLiteral("default"));
    };
    QList<ProcessPowerSample> processes;
    for (int i = 0; i < 12; ++i)
        processes.append({1000 + i, QStringLiteral("proc%1").arg(i), 99.9 - i, 1});

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList posted;
    };
    const QList<Step> steps{
        {"on AC below the limit", [&] { feed(onAC(80)); }, {}},
        {"limit reached, its notice switched off", [&] {
             app.settings().setNotifyOnLimitReached(false);
             app.handleControllerEvent(Event::startedHolding(80));
         }, {}},
        {"switched on in the same session", [&] {
             app.settings().setNotifyOnLimitReached(true);
             app.handleControllerEvent(Event::startedHolding(80));
         }, {limit}},
        {"limit again in the session", [&] { app.handleControllerEvent(Event::startedHolding(80)); }, {}},
        {"100 % but not fully charged", [&] { feed(onAC(100)); }, {}},
        {"fully charged on AC", [&] { feed(onAC(100, true)); }, {full}},
        {"still full", [&] { feed(onAC(100, true)); }, {}},
        {"helper error", [&] { app.handleControllerEvent(Event::helperError(QStringLiteral("書き込み失敗"))); }, {helperError}},
        {"interference", [&] { app.handleControllerEvent(Event::externalInterference(QStringLiteral("競合"))); }, {interference}},
        {"unplugged, still reported full", [&] {
             BatterySnapshot s = onBattery(5);
             s.socPercent = 100;
             s.fullyCharged = true;
             feed(s);
         }, {}},
        {"at the temperature threshold", [&] { feed(onBattery(5, 35.0)); }, {hot}},
        {"just below it, half an hour on", [&] {
             clock.advance(1800);
             feed(onBattery(5, 34.9));
         }, {}},
        {"over 10 W while typically 5 W", [&] { feedDrain(5, 10.4); }, {}},
        {"a normal reading between", [&] { feedDrain(5, 9.8); }, {}},
        {"abnormal once more", [&] { feedDrain(5, 10.4); }, {}},
        {"abnormal twice in a row: posted and diagnosed", [&] { feedDrain(5, 10.4); }, {drain, diagnosis}},
        {"an hour on, typically 8 W: 14 W is normal", [&] {
             clock.advance(3600);
             app.tracker().recordSample({clock.now(), 2, {processes.begin(), processes.end()}});
             feedDrain(8, 14.0);
         }, {}},
        {"15.5 W", [&] { feedDrain(8, 15.5); }, {}},
        {"15.5 W again", [&] { feedDrain(8, 15.5); }, {drain, diagnosis}},
        {"plugged in again", [&] { feed(onAC(80)); }, {}},
        {"limit reached in the new session", [&] { app.handleControllerEvent(Event::startedHolding(80)); }, {limit}},
        {"a milestone", [&] { app.notifyMilestone({QStringLiteral("daily30"), QStringLiteral("30分"), QStringLiteral("本文")}); },
            {QStringLiteral("30分")}},
    };

    QStringList expected;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        expected += step.posted;
        ASSERT_EQ(titles(expected.size()), expected);
    }

    auto body = [&](const QString& title, int nth) {
        QStringList bodies;
        for (const FakeNotificationServer::Shown& shown : notifications.shown)
            if (shown.summary == title)
                bodies << shown.body;
        return bodies.value(nth).toStdString();
    };
    EXPECT_EQ(body(limit, 0), "80%で充電を停止しました。バッテリーの劣化を抑えます。");
    EXPECT_EQ(body(hot, 0), "現在 35.0°C。高温はバッテリー劣化を早めます。");
    EXPECT_EQ(body(drain, 0), "現在 10.4W 消費中(通常 約5.3W)。インサイトで消費源を確認できます。");
    // The diagnosis is cut after 160 characters as the user sees them, never inside one.
    const QString shown = QString(159, u'あ') + QStringLiteral("👍🏽");
    EXPECT_EQ(body(diagnosis, 0), shown.toStdString());
    const QList<PowerActionRecord> log = app.history()->recentPowerActions(10);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first().action, "strategy");
    EXPECT_EQ(log.first().detail, QStringLiteral("異常診断: ") + shown);

    // What each diagnosis sent: five keys, and at most ten processes with whole impacts.
    const QList<FakeBackend::Request> requests = backend.requests(QStringLiteral("/v1/ai/diagnose"));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].json().value(QStringLiteral("payload")).toObject(),
        QJsonObject({{"drain_w", 10.4}, {"typical_drain_w", 5.3}, {"soc", 60}, {"top_processes", QJsonArray()},
            {"lang", "ja"}}));
    const QJsonArray top = requests[1].json().value(QStringLiteral("payload")).toObject().value(QStringLiteral("top_processes")).toArray();
    ASSERT_EQ(top.size(), 10);
    EXPECT_EQ(top[0].toObject(), QJsonObject({{"name", "proc0"}, {"impact", 99}}));
    EXPECT_EQ(top[9].toObject(), QJsonObject({{"name", "proc9"}, {"impact", 90}}));

    // Taps: a milestone asks for the share window, anything else for the main window.
    tap(diagnosis); // both of them
    EXPECT_TRUE(waitUntil([&] { return app.windowRequestTick() == 2; }));
    tap(QStringLiteral("30分"));
    EXPECT_TRUE(waitUntil([&] { return app.shareRequestTick() == 1; }));
    EXPECT_EQ(app.windowRequestTick(), 2);
}

// Each rule with a cooldown, raised again one second before its cooldown ends (nothing) and as
// it ends (posted once more).
TEST_F(NotificationRules, EachRuleWaitsOutItsOwnCooldown)
{
    preset({{"controlEnabled", false}, {"autopilotEnabled", false}});
    AppState& app = launch();
    app.start();

    auto feedAt = [&](const QDateTime& at, BatterySnapshot s) {
        clock.set(at);
        s.date = at;
        app.monitor().onUpdate(s);
    };
    struct Rule {
        const char* what;
        QString title;
        int cooldown;
        std::function<void(const QDateTime&)> raiseAt;
    };
    const QList<Rule> rules{
        {"helper error", helperError, 600, [&](const QDateTime& at) {
             clock.set(at);
             app.handleControllerEvent(Event::helperError(QStringLiteral("書き込み失敗")));
         }},
        {"interference", interference, 21600, [&](const QDateTime& at) {
             clock.set(at);
             app.handleControllerEvent(Event::externalInterference(QStringLiteral("競合")));
         }},
        {"high temperature", hot, 1800, [&](const QDateTime& at) { feedAt(at, onBattery(5, 40)); }},
        // The second abnormal reading in a row is the one that may post.
        {"abnormal drain", drain, 3600, [&](const QDateTime& at) {
             app.adaptive().setTypicalDrainWatts(5);
             feedAt(at.addSecs(-1), onBattery(12));
             feedAt(at, onBattery(12));
         }},
    };

    QStringList expected;
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.what);
        const QDateTime first = clock.now().addSecs(3600);
        rule.raiseAt(first);
        expected << rule.title;
        ASSERT_EQ(titles(expected.size()), expected);
        rule.raiseAt(first.addSecs(rule.cooldown - 1));
        ASSERT_EQ(titles(), expected);
        rule.raiseAt(first.addSecs(rule.cooldown));
        expected << rule.title;
        ASSERT_EQ(titles(expected.size()), expected);
    }
}

} // namespace kestrune::test
