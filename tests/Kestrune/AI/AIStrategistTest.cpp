#include "Kestrune/AI/AIStrategist.h"

#include "Foundation/Epoch.h"
#include "tests/support/BackendTestbed.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrune;
using test::await;
using Answer = FakeBackend::Answer;
using Strategy = AIStrategist::Strategy;

namespace {

QJsonObject telemetry()
{
    QJsonArray processes;
    processes.append(QJsonObject { { "name", "chrome" }, { "impact", 40 } });
    processes.append(QJsonObject { { "name", "node" }, { "impact", 12 } });
    return QJsonObject { { "top_processes", processes }, { "soc", 64 }, { "lang", "ja" } };
}

class AIStrategistTest : public ::testing::Test {
protected:
    test::BackendTestbed bed;
    FakeBackend& server = bed.server;
    // 09:00 UTC is 18:00 in Tokyo; local midnight is 15:00 UTC.
    LocalCalendar tokyo { QTimeZone("Asia/Tokyo") };
    std::unique_ptr<AIStrategist> strategist;

    void SetUp() override
    {
        bed.registerDevice();
        start();
    }

    void start()
    {
        strategist = std::make_unique<AIStrategist>(*bed.settings, *bed.defaults, bed.clock, tokyo);
        strategist->setBackend(bed.client.get());
    }

    // The application quits and starts again: everything is read back from the files.
    void restart()
    {
        strategist.reset();
        bed.open();
        await(bed.client->checkHealth(true));
        start();
    }

    qsizetype calls(const QString& route) const { return server.requests(route).size(); }
    void update(bool force) { await(strategist->maybeUpdateStrategy(telemetry(), force)); }
    QString error() const { return strategist->lastError().value_or("(none)"); }
};

} // namespace

TEST_F(AIStrategistTest, OneStrategyPerLocalDayAtLeast900SecondsApart)
{
    QJsonObject hostile;
    hostile.insert("target_drain_watts", 0.5);
    hostile.insert("throttle_recommended", QJsonArray { "chrome", "evil" });
    hostile.insert("brightness_cap", 0.01);
    hostile.insert("escalate_soc_threshold", 99);
    hostile.insert("reasoning", "<b>暗く</b>");
    server.setStrategy(hostile);
    server.setUsage(1200, 300);

    // A failure leaves the day open; a forced request may follow at once, an unforced one
    // only 900 s after the last attempt.
    server.answerNext("/v1/ai/strategy", Answer::raw(500, "busy"));
    server.answerNext("/v1/ai/strategy", Answer::raw(500, "busy"));
    update(false);
    EXPECT_EQ(error(), "戦略更新エラー: HTTP 500: busy");
    bed.clock.advance(10);
    update(true);
    EXPECT_EQ(calls("/v1/ai/strategy"), 2);
    EXPECT_EQ(strategist->callsToday(), 0) << "a call that failed is not counted";
    bed.clock.advance(899);
    update(false);
    EXPECT_EQ(calls("/v1/ai/strategy"), 2);
    bed.clock.advance(1);
    update(false);
    ASSERT_EQ(calls("/v1/ai/strategy"), 3);

    const QJsonObject sent = server.requests("/v1/ai/strategy").last().json();
    EXPECT_EQ(sent.value("provider").toString(), "openai");
    EXPECT_EQ(sent.value("model").toString(), bed.settings->openAIModel());
    EXPECT_EQ(sent.value("payload").toObject(), telemetry());
    EXPECT_EQ(sent.value("device_id").toString(), *bed.client->deviceID());

    Strategy expected;
    expected.targetDrainWatts = 3.0;
    expected.throttleRecommended = QStringList { "chrome" };
    expected.brightnessCap = 0.5;
    expected.escalateSocThreshold = 60;
    expected.reasoning = "<b>暗く</b>";
    EXPECT_EQ(strategist->currentStrategy(), expected);
    EXPECT_EQ(strategist->activeStrategy(), expected);
    EXPECT_EQ(strategist->strategyUpdatedAt(), bed.clock.now());
    EXPECT_EQ(strategist->lastError(), std::nullopt);
    EXPECT_EQ(strategist->strategyDay(), "2026-03-02");
    EXPECT_EQ(strategist->callsToday(), 1);
    EXPECT_EQ(strategist->tokensToday(), 1500);
    EXPECT_EQ(Strategy::fromJson(*bed.defaults->data("ai.strategyJSON")), expected) << "stored clamped";
    EXPECT_EQ(bed.defaults->real("ai.strategyUpdatedAt"), Epoch::secondsSince1970(bed.clock.now()));
    const QDateTime received = bed.clock.now();

    // The day is closed: a forced request only explains, an unforced one is silent.
    bed.clock.advance(3600);
    update(true);
    EXPECT_EQ(error(), "省電力戦略の生成は1日1回までです(本日分は生成済み)");
    EXPECT_EQ(calls("/v1/ai/strategy"), 3);

    // Local midnight in Tokyo opens the next day.
    bed.clock.set(QDateTime(QDate(2026, 3, 2), QTime(14, 59, 59), Qt::UTC));
    update(false);
    EXPECT_EQ(calls("/v1/ai/strategy"), 3);
    bed.clock.set(QDateTime(QDate(2026, 3, 2), QTime(15, 0), Qt::UTC));
    update(false);
    EXPECT_EQ(calls("/v1/ai/strategy"), 4);
    EXPECT_EQ(strategist->strategyDay(), "2026-03-03");

    // A strategy is followed for one day from its arrival.
    bed.clock.set(strategist->strategyUpdatedAt()->addSecs(86399));
    EXPECT_TRUE(strategist->activeStrategy());
    bed.clock.set(strategist->strategyUpdatedAt()->addSecs(86400));
    EXPECT_FALSE(strategist->activeStrategy());
    EXPECT_TRUE(strategist->currentStrategy()) << "expired, not forgotten";
    EXPECT_NE(strategist->strategyUpdatedAt(), received);
}

TEST_F(AIStrategistTest, UnusableAnswersRestartsAndCountersKeepTheirDay)
{
    update(false);
    const std::optional<Strategy> first = strategist->currentStrategy();
    ASSERT_TRUE(first);

    // A restart on the same day restores the strategy and keeps the day closed, also when
    // the stored record cannot be read back.
    restart();
    EXPECT_EQ(strategist->currentStrategy(), first);
    EXPECT_EQ(strategist->callsToday(), 1);
    update(true);
    EXPECT_EQ(error(), "省電力戦略の生成は1日1回までです(本日分は生成済み)");
    bed.defaults->set("ai.strategyJSON", QByteArray("{\"reasoning\": 5}"));
    restart();
    EXPECT_FALSE(strategist->currentStrategy());
    update(true);
    EXPECT_EQ(calls("/v1/ai/strategy"), 1);

    // The next day: the counters read yesterday's values until the first new call.
    bed.clock.advance(86400);
    restart();
    EXPECT_EQ(strategist->callsToday(), 0);
    EXPECT_EQ(bed.defaults->integer("ai.callsToday"), 1);

    // An answer that is not a strategy record costs a call and keeps what was there.
    server.setStrategy(QJsonObject { { "escalate_soc_threshold", 40.5 } });
    server.setUsage(-5, 100);
    update(false);
    EXPECT_EQ(error(), "戦略JSONの解析に失敗しました");
    EXPECT_EQ(strategist->callsToday(), 1);
    EXPECT_EQ(strategist->tokensToday(), 100) << "a negative count is no usage";
    EXPECT_EQ(bed.defaults->string("ai.usageDay"), "2026-03-03");
    EXPECT_EQ(strategist->strategyDay(), "2026-03-02");
    EXPECT_FALSE(strategist->currentStrategy());

    // The counters stop at their largest value.
    bed.defaults->set("ai.callsToday", std::numeric_limits<qint64>::max());
    bed.defaults->set("ai.tokensToday", std::numeric_limits<qint64>::max() - 10);
    restart();
    server.setStrategy(QJsonObject { { "reasoning", "ok" } });
    update(true);
    EXPECT_EQ(strategist->callsToday(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(strategist->tokensToday(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(strategist->strategyDay(), "2026-03-03");
}

TEST_F(AIStrategistTest, OneModelCallAtATimeAndReportsAsTheyCome)
{
    server.setText("  \n最初のレポート\n\n");
    await(strategist->generateSessionReport(QJsonObject { { "session_minutes", 90 } }));
    EXPECT_EQ(strategist->lastSessionReport(), "最初のレポート");
    EXPECT_EQ(strategist->lastSessionReportAt(), bed.clock.now());
    EXPECT_EQ(bed.defaults->string("ai.lastSessionReport"), "最初のレポート");
    EXPECT_EQ(bed.defaults->real("ai.lastSessionReportAt"), Epoch::secondsSince1970(bed.clock.now()));

    // While a strategy call is under way, a report and a diagnosis are dropped, not queued. Its
    // answer comes a byte at a time, which would take seconds: the call ends at its time-out.
    const QJsonObject slowStrategy { { "strategy", QJsonObject { { "reasoning", QString(100, 'z') } } } };
    server.answerNext("/v1/ai/strategy", Answer::json(200, slowStrategy).trickled(50));
    QElapsedTimer elapsed;
    elapsed.start();
    QCoro::Task<> held = strategist->maybeUpdateStrategy(telemetry(), true);
    ASSERT_TRUE(strategist->isCalling());
    const std::optional<QDateTime> reportAt = strategist->lastSessionReportAt();
    await(strategist->generateSessionReport(QJsonObject { { "session_minutes", 10 } }));
    EXPECT_EQ(await(strategist->diagnoseAnomaly(QJsonObject { { "drain_w", 30 } })), std::nullopt);
    EXPECT_EQ(calls("/v1/ai/report"), 1);
    EXPECT_EQ(calls("/v1/ai/diagnose"), 0);
    EXPECT_EQ(strategist->lastSessionReportAt(), reportAt) << "nothing was received";
    await(std::move(held));
    // A time-out of two seconds or more runs on a coarse timer, which may fire 5 % early.
    EXPECT_GE(elapsed.elapsed(), test::BackendTestbed::timeout.count() * 9 / 10);
    EXPECT_LT(elapsed.elapsed(), test::BackendTestbed::timeout.count() + 1500);
    EXPECT_FALSE(strategist->isCalling());
    EXPECT_EQ(error(), "戦略更新エラー: オフライン(サーバーに到達できません)");
    EXPECT_FALSE(strategist->activeStrategy());

    // Two reports in the same instant still tell their readers apart; blank text is a report.
    await(bed.client->checkHealth(true));
    server.setText(" \n\t ");
    await(strategist->generateSessionReport(QJsonObject()));
    EXPECT_EQ(strategist->lastSessionReport(), "");
    EXPECT_NE(strategist->lastSessionReportAt(), reportAt);
    EXPECT_EQ(strategist->lastError(), std::nullopt);
    EXPECT_EQ(strategist->callsToday(), 2);

    // Reports switched off: no call; diagnoses go on.
    bed.settings->setLlmSessionReports(false);
    await(strategist->generateSessionReport(QJsonObject()));
    EXPECT_EQ(calls("/v1/ai/report"), 2);
    server.setText("診断結果 ");
    EXPECT_EQ(await(strategist->diagnoseAnomaly(QJsonObject())), "診断結果");
    EXPECT_EQ(strategist->lastDiagnosis(), "診断結果");
}

TEST_F(AIStrategistTest, ReportsAndDiagnosesAreKeptAtALengthAPersonReads)
{
    // Cut at a whole character: each is a letter and its combining accent.
    const QString accented = QString::fromUtf8("e\xcc\x81").repeated(50000);
    server.setText(accented);
    await(strategist->generateSessionReport(QJsonObject()));
    await(strategist->diagnoseAnomaly(QJsonObject()));
    const QString kept = accented.left(2 * AIStrategist::longestText);
    EXPECT_TRUE(strategist->lastSessionReport() == kept && strategist->lastDiagnosis() == kept);

    // An answer larger than any text is refused on its way in.
    server.setText(QString(2 * 1024 * 1024, 'x'));
    await(strategist->generateSessionReport(QJsonObject()));
    EXPECT_EQ(error(), "レポート生成エラー: 不正なレスポンス");

    // One an earlier version stored whole is cut at the next start, and stored cut.
    bed.defaults->set("ai.lastSessionReport", QString(13 * 1024 * 1024, 'x'));
    restart();
    EXPECT_TRUE(strategist->lastSessionReport() == QString(AIStrategist::longestText, 'x'));
    ASSERT_TRUE(bed.defaults->synchronize());
    EXPECT_LT(QFileInfo(bed.filePath("defaults.json")).size(), 64 * 1024);
}

TEST_F(AIStrategistTest, ADiagnosisWaits1800SecondsAfterAnyAttempt)
{
    server.answerNext("/v1/ai/diagnose", Answer::raw(500, QByteArray(300, 'e')));
    EXPECT_EQ(await(strategist->diagnoseAnomaly(QJsonObject())), std::nullopt);
    EXPECT_EQ(error(), "診断エラー: " + ("HTTP 500: " + QString(200, 'e')).left(160));
    EXPECT_EQ(strategist->callsToday(), 0);

    bed.clock.advance(1799);
    EXPECT_EQ(await(strategist->diagnoseAnomaly(QJsonObject())), std::nullopt);
    EXPECT_EQ(calls("/v1/ai/diagnose"), 1);
    bed.clock.advance(1);
    server.setText("高負荷のプロセスがあります");
    EXPECT_EQ(await(strategist->diagnoseAnomaly(QJsonObject())), "高負荷のプロセスがあります");
    EXPECT_EQ(strategist->lastError(), std::nullopt) << "a received diagnosis clears an earlier error";
    EXPECT_EQ(strategist->callsToday(), 1);

    // After a restart the first diagnosis is not held back; none is remembered.
    restart();
    EXPECT_EQ(strategist->lastDiagnosis(), std::nullopt);
    EXPECT_TRUE(await(strategist->diagnoseAnomaly(QJsonObject())).has_value());
    EXPECT_EQ(calls("/v1/ai/diagnose"), 3);
}

TEST_F(AIStrategistTest, ReadinessFollowsTheSettingsTheBackendAndItsProviders)
{
    ASSERT_TRUE(strategist->isReady());
    bed.settings->setLlmEnabled(false);
    update(true);
    EXPECT_EQ(strategist->lastError(), std::nullopt) << "a refused request reports nothing";
    bed.settings->setLlmEnabled(true);
    strategist->setBackend(nullptr);
    EXPECT_FALSE(strategist->isReady());
    strategist->setBackend(bed.client.get());

    // The health answer may mark a provider unavailable; one it does not mention is available.
    server.answerAlways(
        "/v1/health", Answer::raw(200, R"({"ok": true, "providers": {"claude": false}, "models": {}})"));
    await(bed.client->checkHealth(true));
    bed.settings->setLlmProvider("claude");
    EXPECT_FALSE(strategist->isReady());
    bed.settings->setLlmProvider("Claude");
    EXPECT_EQ(strategist->provider(), "openai");
    EXPECT_EQ(strategist->model(), bed.settings->openAIModel());
    EXPECT_TRUE(strategist->isReady());
    bed.settings->setLlmProvider("claude");
    bed.settings->setClaudeModel(" claude-x ");
    server.answerAlways("/v1/health", Answer::raw(200, R"({"ok": true, "providers": {}, "models": {}})"));
    await(bed.client->checkHealth(true));
    ASSERT_TRUE(strategist->isReady());
    update(false);
    const QJsonObject sent = server.requests("/v1/ai/strategy").last().json();
    EXPECT_EQ(sent.value("provider").toString(), "claude");
    EXPECT_EQ(sent.value("model").toString(), " claude-x ") << "the model name goes as it is";
}
