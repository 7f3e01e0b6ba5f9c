#include "Kestrune/Sync/BackendSync.h"

#include "Foundation/Epoch.h"
#include "Kestrune/Sync/SyncPayload.h"
#include "tests/Kestrune/Sync/SyncInstall.h"
#include "tests/support/EventLoop.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;
using test::await;
using Answer = FakeBackend::Answer;

namespace {

double ts(const QDateTime& at)
{
    return Epoch::secondsSince1970(at);
}

QList<double> times(const QList<QJsonObject>& records)
{
    QList<double> list;
    for (const QJsonObject& record : records)
        list << record.value("ts").toDouble();
    return list;
}

QStringList details(const QList<QJsonObject>& records)
{
    QStringList list;
    for (const QJsonObject& record : records)
        list << record.value("detail").toString();
    return list;
}

QList<double> sentSampleTimes(const FakeBackend::Request& request)
{
    QList<double> list;
    const QJsonArray samples = request.json().value("samples").toArray();
    for (const QJsonValue& sample : samples)
        list << sample.toObject().value("ts").toDouble();
    return list;
}

class BackendSyncTest : public ::testing::Test {
protected:
    test::SyncInstall app;
    FakeBackend& server = app.bed.server;
    test::ManualClock& clock = app.bed.clock;

    qsizetype syncs() const { return server.requests("/v1/sync").size(); }
    // A launch against a server that keeps no learned state: the restore is done at once.
    void launch() { await(app.launch()); }
};

} // namespace

TEST_F(BackendSyncTest, AFailureInTheMiddleLosesNothingAndRepeatsNothing)
{
    const QDateTime start = clock.now().addSecs(-3 * 86400);
    QList<double> sampleTimes;
    for (int i = 0; i < 4000; ++i)
        sampleTimes << ts(app.addSample(start.addMSecs(i * 55'000LL + 123)).timestamp);
    // One pass logged entries 1,490 to 1,509 with one time, across the cut at 1,500.
    QStringList actionDetails;
    for (int i = 0; i < 1600; ++i) {
        const int minute = (i >= 1490 && i < 1510) ? 1490 : i;
        actionDetails << QString("entry %1").arg(i);
        app.addAction(start.addSecs(minute * 60 + 7), actionDetails.last());
    }
    for (int i = 0; i < 40; ++i)
        app.addPlugEvent(start.addSecs(i * 3600), i % 2 == 0);
    for (int i = 0; i < 25; ++i)
        app.addOutcome(start.addSecs(i * 7200));

    // Run 1: the first batch is accepted, the second fails with a 500.
    server.answerNext("/v1/sync", Answer::serve());
    server.answerNext("/v1/sync", Answer::raw(500, "db down"));
    launch();
    ASSERT_EQ(syncs(), 2);
    const QString device = app.device();
    const QDateTime firstBatchAt = clock.now();
    EXPECT_EQ(app.sync->lastSyncError(), "HTTP 500: db down");
    EXPECT_EQ(app.sync->lastSyncAt(), firstBatchAt);
    EXPECT_EQ(app.stored("backend.wm.samples"), sampleTimes[1499]);
    EXPECT_EQ(server.stored(device, "power_actions").size(), 1490) << "the first batch ends before the group";
    EXPECT_EQ(app.stored("backend.wm.actions"), ts(start.addSecs(1489 * 60 + 7)));

    // Run 2: the answer is held past the time-out. Nothing moves.
    clock.advance(60);
    server.answerNext("/v1/sync", Answer::hold());
    await(app.sync->tick(true));
    EXPECT_EQ(app.sync->lastSyncError(), "オフライン(サーバーに到達できません)");
    EXPECT_EQ(app.sync->lastSyncAt(), firstBatchAt);
    EXPECT_EQ(app.stored("backend.wm.samples"), sampleTimes[1499]);
    EXPECT_EQ(app.stored("backend.lastSyncAt"), ts(firstBatchAt));

    // Run 3: a 401, a registration and the retry accepted; the third batch is under way
    // when the machine dies.
    clock.advance(60);
    server.answerNext("/v1/sync", Answer::json(401, {}));
    server.answerNext("/v1/sync", Answer::serve());
    server.answerNext("/v1/sync", Answer::hold());
    QCoro::Task<> dying = app.sync->tick(true);
    ASSERT_TRUE(test::waitUntil([&] { return syncs() == 6; }));
    EXPECT_EQ(app.sync->lastSyncError(), std::nullopt);
    EXPECT_EQ(app.sync->lastSyncAt(), clock.now());
    app.restart(/*killed*/ true);
    await(std::move(dying));

    // A new process over the same files resumes with the batch that was in flight.
    clock.advance(60);
    launch();
    ASSERT_EQ(syncs(), 7);
    EXPECT_EQ(app.sync->lastSyncError(), std::nullopt);
    const auto log = server.requests("/v1/sync");
    for (int attempt : { 2, 3, 4 })
        EXPECT_EQ(sentSampleTimes(log[attempt]), sentSampleTimes(log[1]))
            << "batch 2 again, attempt " << attempt;
    EXPECT_EQ(sentSampleTimes(log[6]), sentSampleTimes(log[5])) << "the batch lost in the kill goes again";
    EXPECT_EQ(sentSampleTimes(log[6]).size(), 1000);

    // Every record arrived once, in order; nothing from an acknowledged batch came twice.
    EXPECT_EQ(times(server.stored(device, "samples")), sampleTimes);
    EXPECT_EQ(details(server.stored(device, "power_actions")), actionDetails);
    EXPECT_EQ(server.stored(device, "plug_events").size(), 40);
    EXPECT_EQ(server.stored(device, "action_outcomes").size(), 25);
    for (const char* list : { "samples", "plug_events", "power_actions", "action_outcomes" })
        EXPECT_EQ(server.received(device, list), server.stored(device, list)) << list;
    EXPECT_EQ(app.stored("backend.wm.samples"), sampleTimes.last()) << "to the millisecond";
    EXPECT_EQ(app.sync->pendingDescription(), "未送信データなし");
}

TEST_F(BackendSyncTest, ARunSendsAtMostTenBatchesAndUnforcedRunsKeepTheirSpacing)
{
    const QDateTime start = clock.now().addSecs(-5 * 86400);
    for (int i = 0; i < 16'000; ++i)
        app.addSample(start.addSecs(i * 25));
    launch();
    EXPECT_EQ(syncs(), 10);
    EXPECT_EQ(app.sync->pendingDescription(), "未送信: サンプル1000件・アクション0件");

    // Unforced ticks within 300 s of the run's start do not even refresh the text.
    app.addAction(clock.now(), "dim50");
    clock.advance(299);
    await(app.sync->tick(false));
    EXPECT_EQ(syncs(), 10);
    EXPECT_EQ(app.sync->pendingDescription(), "未送信: サンプル1000件・アクション0件");
    clock.advance(1);
    await(app.sync->tick(false));
    EXPECT_EQ(syncs(), 11);
    EXPECT_EQ(app.sync->pendingDescription(), "未送信データなし");
    EXPECT_EQ(server.stored(app.device(), "samples").size(), 16'000);

    // Not ready: the text is refreshed and nothing is sent, also when forced.
    for (int i = 0; i < 12; ++i)
        app.addSample(clock.now().addSecs(-i));
    server.answerAlways("/v1/health", Answer::raw(503, "maintenance"));
    await(app.sync->tick(true));
    EXPECT_EQ(syncs(), 11);
    EXPECT_EQ(app.sync->pendingDescription(), "未送信: サンプル12件・アクション0件");
}

TEST_F(BackendSyncTest, WatermarksDecideWhatGoesAndABatchAsksForMoreOnlyWhenFull)
{
    const QDateTime now = clock.now();
    // 1,500 plug events alone, one older than seven days.
    app.addPlugEvent(now.addSecs(-8 * 86400));
    for (int i = 0; i < 1500; ++i)
        app.addPlugEvent(now.addSecs(-6 * 86400 + i * 60), i % 2 == 0);
    launch();
    EXPECT_EQ(syncs(), 1) << "plug events take no part in asking for another batch";
    EXPECT_EQ(server.stored(app.device(), "plug_events").size(), 1500) << "the week's, not the older one";
    const double lastSample = app.stored("backend.wm.samples");
    EXPECT_EQ(lastSample, 0) << "an empty list leaves its watermark absent";

    // A record at its watermark was sent; one a millisecond later was not.
    const QDateTime mark = Epoch::fromSecondsSince1970(app.stored("backend.wm.plugEvents"));
    app.addPlugEvent(mark);
    app.addPlugEvent(mark.addMSecs(1));
    clock.advance(300);
    await(app.sync->tick(false));
    const QList<QJsonObject> sent = server.stored(app.device(), "plug_events");
    ASSERT_EQ(sent.size(), 1501);
    EXPECT_EQ(sent.last().value("ts").toDouble(), ts(mark.addMSecs(1)));

    // Without a watermark the window slides: an outcome not sent within seven days is left.
    app.addOutcome(clock.now());
    server.answerAlways("/v1/sync", Answer::raw(500, "down"));
    clock.advance(300);
    await(app.sync->tick(false));
    server.clearScripts();
    clock.advance(7 * 86400 + 1);
    await(app.sync->tick(false));
    EXPECT_EQ(app.sync->lastSyncError(), std::nullopt);
    EXPECT_TRUE(server.stored(app.device(), "action_outcomes").isEmpty());

    // Exactly a batch of samples and of actions: one full batch, then one that finds nothing
    // more, sends empty lists and ends the run.
    QList<double> sampleTimes, actionTimes;
    for (int i = 0; i < BackendSync::batchLimit; ++i) {
        sampleTimes << ts(app.addSample(clock.now().addSecs(-86400 + i * 50)).timestamp);
        app.addAction(clock.now().addSecs(-86400 + i * 40 + 1), QString("entry %1").arg(i));
        actionTimes << ts(clock.now().addSecs(-86400 + i * 40 + 1));
    }
    const qsizetype before = syncs();
    clock.advance(300);
    await(app.sync->tick(false));
    ASSERT_EQ(syncs(), before + 2);
    const auto log = server.requests("/v1/sync");
    EXPECT_EQ(sentSampleTimes(log[before]), sampleTimes);
    EXPECT_EQ(log[before].json()["power_actions"].toArray().size(), BackendSync::batchLimit);
    EXPECT_TRUE(sentSampleTimes(log[before + 1]).isEmpty());
    EXPECT_TRUE(log[before + 1].json()["power_actions"].toArray().isEmpty());
    EXPECT_EQ(app.stored("backend.wm.samples"), sampleTimes.last());
    EXPECT_EQ(app.stored("backend.wm.actions"), actionTimes.last());
    EXPECT_EQ(times(server.stored(app.device(), "power_actions")), actionTimes);
}

TEST_F(BackendSyncTest, AGroupLargerThanABatchGoesWhole)
{
    const QDateTime pass = clock.now().addSecs(-3600);
    for (int i = 0; i < 1600; ++i)
        app.addAction(pass, QString("entry %1").arg(i));
    app.addAction(pass.addSecs(1), "after");
    launch();
    ASSERT_EQ(syncs(), 2);
    EXPECT_EQ(server.requests("/v1/sync")[0].json()["power_actions"].toArray().size(), 1600);
    EXPECT_EQ(server.stored(app.device(), "power_actions").size(), 1601);
}

TEST_F(BackendSyncTest, AnAnswerOfTheWrongShapeMovesNothing)
{
    for (int i = 0; i < 20; ++i)
        app.addSample(clock.now().addSecs(-i * 600));
    const QList<Answer> garbage { Answer::raw(200, "not json"),
        Answer::json(200, { { "accepted", QJsonObject { { "samples", "20" } } } }), Answer::raw(200, ""),
        Answer::huge(17 * 1024 * 1024) };
    for (const Answer& answer : garbage)
        server.answerNext("/v1/sync", answer);
    launch();
    for (qsizetype i = 1; i < garbage.size(); ++i) {
        clock.advance(60);
        await(app.sync->tick(true));
        EXPECT_TRUE(app.sync->lastSyncError()) << i;
    }
    EXPECT_EQ(syncs(), 4);
    EXPECT_EQ(app.sync->lastSyncAt(), std::nullopt);
    EXPECT_EQ(app.stored("backend.wm.samples"), 0);

    clock.advance(60);
    await(app.sync->tick(true));
    EXPECT_EQ(app.sync->lastSyncError(), std::nullopt);
    for (const auto& request : server.requests("/v1/sync"))
        EXPECT_EQ(sentSampleTimes(request).size(), 20) << "the same records every time";
    EXPECT_EQ(server.stored(app.device(), "samples").size(), 20);
}

TEST_F(BackendSyncTest, ANewServerAddressForgetsTheWatermarksAndGetsTheWeekAgain)
{
    for (int i = 0; i < 30; ++i)
        app.addSample(clock.now().addSecs(-i * 3600));
    launch();
    const double lastSyncAt = app.stored("backend.lastSyncAt");
    ASSERT_GT(lastSyncAt, 0);
    EXPECT_EQ(app.bed.defaults->string("backend.wm.serverURL"), app.bed.settings->backendURL());

    FakeBackend second;
    ASSERT_TRUE(second.listen());
    second.issueIdentifierAtNextRegistration("second-1");
    app.bed.settings->setBackendURL(second.url().toString());
    clock.advance(60);
    // The new server does not know the device: the retry after registering still names the
    // old one, so this run fails and the next one goes through.
    await(app.sync->tick(true));
    EXPECT_TRUE(app.sync->lastSyncError().value_or("").startsWith("HTTP 404"));
    EXPECT_EQ(app.bed.defaults->string("backend.wm.serverURL"), second.url().toString());
    EXPECT_EQ(app.stored("backend.wm.samples"), 0);
    EXPECT_EQ(app.stored("backend.lastSyncAt"), lastSyncAt);
    await(app.sync->tick(true));
    EXPECT_EQ(app.sync->lastSyncError(), std::nullopt);
    EXPECT_EQ(second.stored(app.device(), "samples").size(), 30);
}

TEST_F(BackendSyncTest, OneBatchCarriesEveryKeyWithItsType)
{
    const QDateTime at = QDateTime(QDate(2026, 3, 2), QTime(8, 30, 15, 123), Qt::UTC);
    app.addSample(at.addSecs(-120));
    app.addSample(at.addSecs(-60), std::numeric_limits<double>::quiet_NaN());
    app.addPlugEvent(at.addSecs(-90), false);
    const QString family = QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467");
    app.addAction(at.addSecs(-30), QString(499, QChar(u'a')) + family + "tail");
    app.addOutcome(at.addSecs(-10), 1.25);
    app.history->accrueSavings(2.5, 30, 3, at); // Tokyo's 2026-03-02 begins at 03-01 15:00 UTC
    app.tracker->setImpactEMA({ { "chrome", 12.5 }, { "broken", std::numeric_limits<double>::quiet_NaN() } });
    app.savings->recordMeasurement("lpm", 1.5);
    app.bed.settings->setManualTargetHours(std::numeric_limits<double>::infinity());
    launch();
    ASSERT_EQ(syncs(), 1);
    const QJsonObject body = server.requests("/v1/sync").first().json();

    EXPECT_EQ(body.keys(),
        (QStringList { "action_outcomes", "device_id", "impact_ema", "learned", "plug_events",
            "power_actions", "samples", "savings_daily", "settings" }));
    auto integer = [](const QJsonValue& v) { return v.toVariant().typeId() == QMetaType::LongLong; };

    const QJsonArray samples = body["samples"].toArray();
    ASSERT_EQ(samples.size(), 1) << "the sample with a NaN temperature is left out";
    const QJsonObject sample = samples[0].toObject();
    EXPECT_EQ(sample.keys(),
        (QStringList { "ac_attached", "cycle_count", "health_percent", "is_charging", "soc", "temperature",
            "ts", "watts" }));
    EXPECT_EQ(sample["ts"].toDouble(), 1772440095.123) << "with its fraction";
    EXPECT_TRUE(integer(sample["soc"]) && integer(sample["cycle_count"]));
    EXPECT_TRUE(sample["is_charging"].isBool() && sample["ac_attached"].isBool());
    EXPECT_EQ(sample["watts"].toDouble(), -7.25);
    EXPECT_EQ(app.stored("backend.wm.samples"), ts(at.addSecs(-60)))
        << "the watermark passes the record left out";

    const QJsonObject plug = body["plug_events"].toArray()[0].toObject();
    EXPECT_EQ(plug.keys(), (QStringList { "plugged", "soc", "ts" }));
    EXPECT_TRUE(plug["plugged"].isBool() && integer(plug["soc"]));
    const QJsonObject action = body["power_actions"].toArray()[0].toObject();
    EXPECT_EQ(action.keys(), (QStringList { "action", "detail", "ts" }));
    EXPECT_EQ(action["detail"].toString(), QString(499, QChar(u'a')) + family) << "cut at 500 characters";
    const QJsonObject outcome = body["action_outcomes"].toArray()[0].toObject();
    EXPECT_EQ(outcome.keys(), (QStringList { "action_key", "delta_w", "ts", "valid" }));
    EXPECT_EQ(outcome["delta_w"].toDouble(), 1.25);
    EXPECT_TRUE(outcome["valid"].isBool());
    const QJsonObject day = body["savings_daily"].toArray()[0].toObject();
    EXPECT_EQ(day.keys(), (QStringList { "actions_count", "day", "extended_minutes", "saved_wh" }));
    EXPECT_EQ(day["day"].toString(), "2026-03-01") << "the day in GMT";
    EXPECT_TRUE(integer(day["actions_count"]));

    EXPECT_EQ(body["impact_ema"].toObject(), (QJsonObject { { "chrome", 12.5 } }));
    EXPECT_TRUE(body["learned"].toObject()["effects"].toObject().contains("lpm"));
    const QJsonObject settings = body["settings"].toObject();
    EXPECT_FALSE(settings.contains("manual_target_hours"));
    EXPECT_EQ(settings.size(), QJsonObject::fromVariantMap(app.bed.settings->exportBackup()).size() - 1);
}

TEST(SyncPayloadTest, TheLedgerDayIsItsGreenwichDate)
{
    const QDateTime noon(QDate(2026, 3, 2), QTime(12, 0), Qt::UTC);
    for (const auto& [zone, expected] :
        { std::pair { "Asia/Tokyo", "2026-03-01" }, std::pair { "America/New_York", "2026-03-02" } }) {
        QTemporaryDir dir;
        test::ManualClock clock(noon);
        auto store = HistoryStore::open(
            dir.filePath("History.store"), nullptr, clock, LocalCalendar(QTimeZone(zone)));
        ASSERT_TRUE(store);
        store->accrueSavings(1.0, 10, 1, noon);
        const auto days = store->recentSavings(7, noon);
        ASSERT_EQ(days.size(), 1);
        EXPECT_EQ(SyncPayload::json(days[0])->value("day").toString(), expected) << zone;
    }
}
