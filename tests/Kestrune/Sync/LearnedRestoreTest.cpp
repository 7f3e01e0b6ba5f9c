#include "Kestrune/Sync/BackendSync.h"

#include "Foundation/Epoch.h"
#include "tests/Kestrune/Sync/SyncInstall.h"
#include "tests/support/EventLoop.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace kestrune;
using test::await;
using Answer = FakeBackend::Answer;

namespace {

FakeBackend::Options reinstallsRecognized()
{
    FakeBackend::Options options;
    options.recognizeReinstalls = true;
    return options;
}

// An installation that has learned a little of everything, and synced it.
void learnAndSync(test::SyncInstall& a)
{
    const QDateTime now = a.bed.clock.now();
    a.savings->recordMeasurement("dim50", 1.5);
    a.savings->recordPenalty("kbOff", 1.0, now);
    a.savings->recordManualUnthrottle("Slack", false, now.addSecs(-86400));
    a.savings->recordManualUnthrottle("Slack", false, now);
    a.tracker->setImpactEMA({ { "chrome", 30.5 }, { "node", 4.0 } });
    await(a.launch());
    ASSERT_EQ(a.sync->lastSyncError(), std::nullopt);
}

bool restored(const test::SyncInstall& b)
{
    return b.bed.defaults->boolean("backend.didRestoreLearned");
}

} // namespace

TEST(LearnedRestoreTest, AnEmptyInstallationGetsTheLearnedStateBackOnce)
{
    test::SyncInstall a(reinstallsRecognized());
    FakeBackend& server = a.bed.server;
    learnAndSync(a);
    EXPECT_TRUE(restored(a)) << "a model that learned something is never restored over";
    EXPECT_TRUE(server.requests("/v1/state").isEmpty());

    // The same machine, installed afresh.
    test::SyncInstall b(server);
    await(b.launch());
    EXPECT_EQ(b.device(), a.device());
    EXPECT_EQ(b.savings->effects(), a.savings->effects());
    EXPECT_EQ(b.savings->penalties(), a.savings->penalties());
    EXPECT_EQ(b.savings->exclusionSuggestions(), QStringList { "Slack" });
    EXPECT_EQ(b.tracker->impactEMA(), a.tracker->impactEMA());
    EXPECT_TRUE(restored(b));
    EXPECT_EQ(server.requests("/v1/state").size(), 1);

    // Its next launch asks nothing, and neither does an installation that learned something.
    b.restart();
    EXPECT_EQ(b.tracker->impactEMA(), a.tracker->impactEMA()) << "the averages were stored";
    await(b.launch());
    EXPECT_EQ(server.requests("/v1/state").size(), 1);
    test::SyncInstall c(server);
    c.savings->recordMeasurement("lpm", 0.8);
    const qsizetype before = server.requests().size();
    await(c.sync->restoreLearnedIfNeeded());
    EXPECT_TRUE(restored(c));
    EXPECT_EQ(server.requests().size(), before);

    // With the network down at launch the restore waits for the next launch.
    test::SyncInstall d(server);
    d.bed.path->report(false);
    ASSERT_TRUE(test::waitUntil([&] { return !d.bed.client->networkAvailable(); }));
    await(d.launch());
    EXPECT_FALSE(restored(d));
    EXPECT_TRUE(d.savings->effects().isEmpty());
    d.restart();
    await(d.launch());
    EXPECT_TRUE(restored(d));
    EXPECT_EQ(d.savings->effects(), a.savings->effects());
}

TEST(LearnedRestoreTest, AStateAnswerOfTheWrongShapeKeepsTheRestoreRules)
{
    QJsonObject valid;
    {
        test::SyncInstall source;
        source.savings->recordMeasurement("dim50", 1.5);
        valid = source.savings->exportBackup();
    }
    auto withPayload = [&](const QJsonValue& impacts) {
        QJsonObject payload = valid;
        payload.insert("impact_ema", impacts);
        return Answer::json(200, QJsonObject { { "payload", payload } });
    };
    struct Case {
        const char* what;
        Answer answer;
        bool flagged, imported, trackerTaken;
    };
    const QList<Case> cases {
        { "not JSON", Answer::raw(200, "<html>"), false, false, false },
        { "a bare array", Answer::raw(200, "[]"), false, false, false },
        { "a server error", Answer::raw(500, "oops"), false, false, false },
        { "payload not an object", Answer::json(200, { { "payload", "learned" } }), true, false, false },
        { "no payload", Answer::json(200, {}), true, false, false },
        { "sections of the wrong shape",
            Answer::json(200,
                { { "payload",
                    QJsonObject { { "effects", "x" }, { "penalties", QJsonArray { 1 } },
                        { "impact_ema", QJsonObject { { "chrome", 3 } } } } } }),
            true, false, true },
        { "text under impact_ema", withPayload("chrome"), true, true, false },
        { "a boolean in impact_ema", withPayload(QJsonObject { { "chrome", true }, { "node", 2 } }), true,
            true, false },
        { "numbers in impact_ema", withPayload(QJsonObject { { "chrome", 3 }, { "node", 2.5 } }), true, true,
            true },
    };
    for (const Case& c : cases) {
        test::SyncInstall app;
        app.tracker->setImpactEMA({ { "kept", 1.0 } });
        app.bed.registerDevice();
        app.bed.server.answerNext("/v1/state", c.answer);
        await(app.sync->restoreLearnedIfNeeded());
        EXPECT_EQ(restored(app), c.flagged) << c.what;
        EXPECT_EQ(app.savings->effects().contains("dim50"), c.imported) << c.what;
        EXPECT_EQ(!app.tracker->impactEMA().contains("kept"), c.trackerTaken) << c.what;
    }
}

TEST(LearnedRestoreTest, ATickAtLaunchWaitsForTheRestore)
{
    test::SyncInstall a(reinstallsRecognized());
    FakeBackend& server = a.bed.server;
    learnAndSync(a);

    // The first reading's tick starts before the start-up task and is still in its health
    // check when start-up registers and restores; or it is the one that registers.
    const QList<std::pair<const char*, const char*>> lateAnswers { { "/v1/health", "/v1/state" },
        { "/v1/devices/register", "/v1/state" } };
    for (const auto& [first, second] : lateAnswers) {
        server.answerNext(first, Answer::serve().after(150));
        server.answerNext(second, Answer::serve().after(300));
        test::SyncInstall b(server);
        const qsizetype mark = server.requests().size();
        QCoro::Task<> tick = b.sync->tick(false);
        QCoro::Task<> startup = b.launch();
        await(std::move(tick));
        await(std::move(startup));

        EXPECT_TRUE(restored(b)) << first;
        EXPECT_EQ(b.savings->effects(), a.savings->effects()) << first;
        const auto log = server.requests().mid(mark);
        qsizetype fetched = -1;
        for (qsizetype i = 0; i < log.size(); ++i) {
            if (log[i].route() == "/v1/state")
                fetched = i;
            if (log[i].route() != "/v1/sync")
                continue;
            EXPECT_GT(i, fetched) << first << ": a batch went out before the restore";
            EXPECT_TRUE(log[i].json()["learned"].toObject()["effects"].toObject().contains("dim50")) << first;
        }
        EXPECT_TRUE(server.learnedState(a.device())->value("effects").toObject().contains("dim50")) << first;
        server.clearScripts();
    }
}

TEST(LearnedRestoreTest, AHostileStateBringsOnlyWhatThisMachineCouldHaveLearned)
{
    test::SyncInstall app;
    const double now = Epoch::secondsSince1970(app.bed.clock.now());
    auto effect = [](double deltaW, double samples, double at) {
        return QJsonObject { { "deltaW", deltaW }, { "samples", samples }, { "updatedAt", at } };
    };
    const QJsonObject hostile {
        { "effects",
            QJsonObject { { "dim50", effect(1.5, 3, now - 60) }, { "lpm", effect(1e308, 9, now - 60) },
                { "kbOff", effect(-50, 9, now - 60) }, { "dim70", effect(0.8, -4, now - 60) },
                { "spotlight", effect(0.3, 2, now + 86400) } } },
        { "penalties",
            QJsonObject { { "lpm",
                QJsonArray { QJsonObject { { "date", now + 86400 }, { "weight", 1 } },
                    QJsonObject { { "date", now - 60 }, { "weight", 1e300 } } } } } },
        { "manual_unthrottles", QJsonObject { { "Slack", QJsonArray { now + 86400 } } } },
    };
    app.bed.registerDevice();
    app.bed.server.answerNext("/v1/state", Answer::json(200, QJsonObject { { "payload", hostile } }));
    await(app.sync->restoreLearnedIfNeeded());

    EXPECT_TRUE(restored(app));
    EXPECT_EQ(app.savings->effects().keys(), QList<QString> { "dim50" });
    EXPECT_TRUE(app.savings->penalties().isEmpty());
    EXPECT_TRUE(app.savings->manualUnthrottleDates().isEmpty());
}
