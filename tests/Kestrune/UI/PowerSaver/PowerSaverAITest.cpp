#include "Foundation/Epoch.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Symbols/SystemColors.h"
#include "tests/Kestrune/UI/PowerSaver/PowerSaverViewFixture.h"

#include <QCoro/QCoroTask>
#include <QJsonArray>
#include <QPushButton>
#include <QTextDocument>

namespace kestrune::test {

namespace {
const QString strategyRoute = QStringLiteral("/v1/ai/strategy");
}

TEST_F(PowerSaverViewFixture, AchievementsFollowTheLedgerAndShareOpensTheShareWindow)
{
    open();
    HistoryStore& history = *state->history();
    PowerSaverEngine& engine = state->powerSaver();
    const QDateTime now = clock().now();

    history.accrueSavings(1.0, 0.4, 1, now);
    engine.loadLedgerTotals(now);
    EXPECT_EQ(text("weekSavings"), QStringLiteral("-"));
    EXPECT_LT(colorOf(find("weekSavings")).alphaF(), 0.8) << "secondary";
    EXPECT_FALSE(shown("streakRow"));

    history.accrueSavings(20.0, 89.6, 1, now);
    engine.loadLedgerTotals(now);
    EXPECT_EQ(text("weekSavings"), QStringLiteral("+1時間30分"));
    EXPECT_EQ(colorOf(find("weekSavings")), SystemColors::green());
    EXPECT_FALSE(shown("streakRow")) << "a streak of one day";

    // Yesterday's savings make a streak of two, seen at the next reading.
    history.accrueSavings(5.0, 10, 1, now.addDays(-1));
    demo->readAfter(60);
    EXPECT_TRUE(shown("streakRow"));
    EXPECT_EQ(text("streak"), QStringLiteral("2日連続"));

    find<QPushButton>("share")->click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("share")});
}

TEST_F(PowerSaverViewFixture, TheStrategyButtonAsksOncePerDayAndOnlyOnBattery)
{
    // The autopilot's own requests fail; a press gets its strategy.
    backend.answerAlways(strategyRoute, FakeBackend::Answer::json(500, {{QStringLiteral("error"), QStringLiteral("busy")}}));
    backend.setStrategy({{QStringLiteral("target_drain_watts"), 6.5},
                         {QStringLiteral("reasoning"), QStringLiteral("会議の多い日です。")}});
    open();
    ChargingSettings& settings = state->settings();
    AIStrategist& strategist = state->strategist();
    auto* generate = find<QPushButton>("generateStrategy");

    EXPECT_EQ(text("strategyPlaceholder"), QStringLiteral("バッテリー駆動中に自動で戦略が生成されます。"));
    EXPECT_FALSE(generate->isEnabled()) << "on AC";
    EXPECT_TRUE(text("strategyNote").isEmpty());
    settings.setLlmEnabled(false);
    EXPECT_EQ(text("strategyPlaceholder"), QStringLiteral("LLM未接続(オンデバイス学習のみで動作中)。"));
    settings.setLlmEnabled(true);

    // On battery the autopilot asks by itself and fails: the error, and the button.
    plug(false);
    ASSERT_TRUE(waitUntil([&] { return strategist.lastError().has_value(); }));
    EXPECT_TRUE(generate->isEnabled());
    EXPECT_TRUE(text("strategyNote").startsWith(QStringLiteral("戦略更新エラー"))) << text("strategyNote").toStdString();
    EXPECT_EQ(colorOf(find("strategyNote")), SystemColors::orange());
    EXPECT_FALSE(shown("strategyProgress"));

    backend.answerNext(strategyRoute, FakeBackend::Answer::serve().after(300));
    generate->click();
    ASSERT_TRUE(waitUntil([&] { return strategist.isCalling(); }));
    EXPECT_TRUE(shown("strategyProgress"));
    ASSERT_TRUE(waitUntil([&] { return !strategist.isCalling(); }));
    EXPECT_FALSE(shown("strategyProgress"));
    EXPECT_TRUE(shown("strategyRow"));
    EXPECT_FALSE(shown("strategyPlaceholder"));
    EXPECT_EQ(text("reasoning"), QStringLiteral("会議の多い日です。"));
    EXPECT_EQ(text("strategyFacts"), QStringLiteral("目標 6.5W"));
    EXPECT_EQ(text("strategyUpdated"), QStringLiteral("更新: 9:01"));
    EXPECT_EQ(text("strategyNote"), QStringLiteral("本日分は生成済み(生成は1日1回)"));
    EXPECT_FALSE(generate->isEnabled());
    const int asked = int(backend.requests(strategyRoute).size());

    // A new local day opens it again; the autopilot's own request of that day fails.
    clock().set(QDateTime(QDate(2026, 3, 3), QTime(0, 0, 30), Qt::UTC));
    demo->readAfter(1);
    ASSERT_TRUE(waitUntil([&] { return backend.requests(strategyRoute).size() > asked && !strategist.isCalling(); }));
    EXPECT_TRUE(generate->isEnabled());
    EXPECT_TRUE(text("strategyNote").startsWith(QStringLiteral("戦略更新エラー")));

    // Back on AC it closes.
    plug(true);
    EXPECT_FALSE(generate->isEnabled());
}

TEST_F(PowerSaverViewFixture, AStoredStrategyShowsOnlyWhatItHoldsBesideTheReportAndTheDiagnosis)
{
    demo::DemoApp::Options options = fresh();
    const QDateTime receivedAt = options.now.addSecs(-3600);
    options.defaults.insert({{QStringLiteral("ai.strategyJSON"),
                              QByteArray(R"({"target_drain_watts":6.5,"throttle_recommended":[],"throttle_avoid":["Slack","Zoom"]})")},
                             {QStringLiteral("ai.strategyUpdatedAt"), Epoch::secondsSince1970(receivedAt)},
                             {QStringLiteral("ai.strategyDay"), QStringLiteral("2026-03-02")},
                             {QStringLiteral("ai.lastSessionReport"), QStringLiteral("2時間の駆動で18分延命しました。")},
                             {QStringLiteral("ai.lastSessionReportAt"), Epoch::secondsSince1970(receivedAt.addSecs(-600))}});
    backend.setText(QStringLiteral("ブラウザのタブが電力を使っています。"));
    open(options);

    EXPECT_TRUE(shown("strategyRow"));
    EXPECT_FALSE(shown("reasoning"));
    EXPECT_EQ(text("strategyFacts").split(QStringLiteral("   ")),
              (QStringList{QStringLiteral("目標 6.5W"), QStringLiteral("回避: Slack、Zoom")}));
    EXPECT_EQ(text("strategyUpdated"), QStringLiteral("更新: 8:00"));
    EXPECT_EQ(text("strategyNote"), QStringLiteral("本日分は生成済み(生成は1日1回)"));
    EXPECT_EQ(text("sessionReport"), QStringLiteral("2時間の駆動で18分延命しました。"));
    EXPECT_TRUE(textsIn(find("sessionReport")->parentWidget()).contains(QStringLiteral("2026/03/02 7:50")));
    EXPECT_FALSE(shown(find("diagnosis")->parentWidget()));
    EXPECT_EQ(text("usage"), QStringLiteral("0回 / 約0トークン"));

    QCoro::waitFor(state->strategist().diagnoseAnomaly({}));
    EXPECT_TRUE(shown(find("diagnosis")->parentWidget()));
    EXPECT_EQ(text("diagnosis"), QStringLiteral("ブラウザのタブが電力を使っています。"));
    EXPECT_EQ(text("usage"), QStringLiteral("1回 / 約150トークン"));
}

TEST_F(PowerSaverViewFixture, TextsOfTheBackendARestoredStateAndTheUserShowAsTheirOwnCharactersTooltipsToo)
{
    const QString hostile = QStringLiteral(R"(<h1 style="font-size:72px">Big</h1>)"
                                           R"(<img src="file:///usr/share/pixmaps/debian-logo.png">)"
                                           R"(<table><tr><td>t</td></tr></table>)");
    backend.answerAlways(strategyRoute, FakeBackend::Answer::raw(500, hostile.toUtf8()));
    open();
    const QJsonObject learned{{QStringLiteral("deltaW"), 1.0},
                              {QStringLiteral("samples"), 3},
                              {QStringLiteral("updatedAt"), Epoch::secondsSince1970(clock().now().addSecs(-60))}};
    const QJsonObject effects{{QStringLiteral("throttle:") + hostile, learned}};
    state->savings().importBackup({{QStringLiteral("effects"), effects}});
    state->settings().setPowerExclusions({hostile});
    plug(false);
    ASSERT_TRUE(waitUntil([&] { return state->strategist().lastError().has_value(); }));
    const QString error = *state->strategist().lastError();
    ASSERT_TRUE(error.contains(hostile)) << error.toStdString();

    // What a tooltip shows: Qt renders it when it takes it for markup.
    const auto shownAs = [](const QString& toolTip) {
        if (!Qt::mightBeRichText(toolTip))
            return toolTip;
        QTextDocument document;
        document.setHtml(toolTip);
        return document.toPlainText();
    };
    EXPECT_EQ(shownAs(find("strategyNote")->toolTip()), error);
    EXPECT_TRUE(text("effectName").contains(hostile));
    EXPECT_EQ(shownAs(find("effectName")->toolTip()), text("effectName"));
    EXPECT_EQ(shownAs(find("removeExclusion")->toolTip()), hostile);
    for (const QLabel* label : view->findChildren<QLabel*>())
        EXPECT_TRUE(!label->text().contains(hostile) || label->textFormat() == Qt::PlainText)
            << label->objectName().toStdString();
}

} // namespace kestrune::test
