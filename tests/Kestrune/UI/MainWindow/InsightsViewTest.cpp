#include "Kestrune/UI/InsightsView.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Kestrune/UI/Stepper.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"
#include "tests/support/Await.h"
#include "tests/support/EventLoop.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

using namespace kestrune;
using namespace kestrune::test;

namespace {

PowerMetricsReport reportOf(const QList<double>& impacts)
{
    PowerMetricsReport report;
    report.timestamp = QDateTime(QDate(2026, 3, 13), QTime(14, 0));
    report.durationSeconds = 3;
    qint64 pid = 100;
    for (const double impact : impacts)
        report.processes.push_back({ ++pid, QStringLiteral("p%1").arg(pid), impact, 0 });
    return report;
}

} // namespace

class InsightsViewTest : public ViewFixture { };

TEST_F(InsightsViewTest, TheLearningRowsFollowTheEngineAndTheReading)
{
    // The prediction's text depends on nothing but the date, the count notwithstanding.
    EXPECT_EQ(InsightsView::predictionText(std::nullopt), "学習中(取り外しイベントが3件以上必要)");
    const QDateTime monday(QDate(2026, 3, 16), QTime(8, 35));
    EXPECT_EQ(InsightsView::predictionText(monday), QLocale().toString(monday, "M/d(ddd) H:mm"));
    EXPECT_EQ(InsightsView::remainingPercent(std::nullopt), 0);
    EXPECT_EQ(InsightsView::remainingPercent(80), 20);
    EXPECT_EQ(InsightsView::remainingPercent(104), 0) << "never negative";

    demo::DemoApp::Options options = ViewFixture::options();
    options.historyDays = 30;
    AppState& app = launch(options);
    app.adaptive().setMinutesPerPercent(1.5);
    InsightsView view(app);
    view.show();
    const std::optional<QDateTime> predicted = app.adaptive().predictedUnplug();
    ASSERT_TRUE(predicted.has_value());
    EXPECT_EQ(child<QLabel>(&view, "prediction")->text(), InsightsView::predictionText(predicted));
    EXPECT_EQ(child<QLabel>(&view, "sampleCount")->text(),
        QStringLiteral("%1件の取り外しイベント").arg(app.adaptive().unplugSampleCount()));
    // At 80 %: 20 % left, 30 minutes at 1.5 minutes per percent.
    EXPECT_EQ(child<QLabel>(&view, "chargeSpeed")->text(), "約1.5分/%(100%まで残り20%なら約30分)");
    EXPECT_EQ(child<QLabel>(&view, "typicalDrain")->text(), "約7.8W");
    QWidget* jit = child(&view, "jitActive");
    EXPECT_FALSE(jit->isVisible()) << "four rows outside a just-in-time charge";

    // A charge so slow that the full charge must already have begun: the fifth row.
    app.settings().setAdaptiveEnabled(true);
    app.adaptive().setMinutesPerPercent(60);
    await(app.evaluateNow());
    ASSERT_TRUE(app.controller().jitActive());
    EXPECT_TRUE(jit->isVisible());

    // Each showing asks for the prediction afresh: a store without the unplugs has none.
    view.hide();
    demo->clock().advance(60.0 * 86400);
    view.show();
    EXPECT_EQ(child<QLabel>(&view, "prediction")->text(), "学習中(取り外しイベントが3件以上必要)");

    // The margin moves in steps of 5 minutes between 10 and 180.
    auto* buffer = child<Stepper>(&view, "bufferStepper");
    app.settings().setAdaptiveBufferMinutes(15);
    buffer->downButton()->click();
    EXPECT_EQ(app.settings().adaptiveBufferMinutes(), 10);
    EXPECT_FALSE(buffer->downButton()->isEnabled());
    EXPECT_EQ(buffer->text(), "余裕時間: 10分前に完了");
}

TEST_F(InsightsViewTest, TheApplicationListShowsOneOfFourStatesAndScalesToTheWholeReport)
{
    // Twenty processes, the heaviest one outside the first twelve: twelve bars against it.
    QList<double> impacts;
    for (int i = 0; i < 20; ++i)
        impacts << 10.0 - i * 0.25;
    impacts[15] = 40;
    const QList<double> shares = InsightsView::barShares(reportOf(impacts));
    ASSERT_EQ(shares.size(), 12);
    EXPECT_DOUBLE_EQ(shares[0], 10.0 / 40);
    EXPECT_DOUBLE_EQ(shares[11], 7.25 / 40);
    // All but nothing: the divisor is 0.001, and half of it is half a bar.
    EXPECT_DOUBLE_EQ(InsightsView::barShares(reportOf({ 0.0005 }))[0], 0.5);
    EXPECT_DOUBLE_EQ(InsightsView::barShares(reportOf({ 0, 0 }))[1], 0);

    AppState& app = launch();
    InsightsView view(app);
    view.show();
    auto* measure = child<QPushButton>(&view, "measure");
    auto* progress = child<QProgressBar>(&view, "measuring");
    QWidget* warning = child(&view, "helperWarning");
    QWidget* hint = child(&view, "hint");
    QWidget* empty = child(&view, "empty");
    QWidget* list = child(&view, "processList");
    const auto shown = [&] {
        QStringList names;
        for (const QWidget* row : { warning, hint, empty, list })
            if (row->isVisible())
                names << row->objectName();
        return names;
    };
    EXPECT_EQ(shown(), QStringList { "hint" });
    EXPECT_TRUE(measure->isEnabled());
    EXPECT_TRUE(progress->isHidden());

    // A slow measurement: the indicator and a disabled button until the list comes.
    demo->daemon().setAnswer(HelperProtocol::samplePowerMetrics,
        FakeHelperDaemon::Answer::bytes(*reportOf(impacts).toJson()).after(300));
    measure->click();
    ASSERT_TRUE(waitUntil([&] { return app.insightsLoading(); }));
    EXPECT_FALSE(progress->isHidden());
    EXPECT_FALSE(measure->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !app.insightsLoading(); }));
    EXPECT_TRUE(progress->isHidden());
    EXPECT_EQ(shown(), QStringList { "processList" });
    const QList<QWidget*> rows = list->findChildren<QWidget*>("process", Qt::FindDirectChildrenOnly);
    ASSERT_EQ(rows.size(), 12);
    EXPECT_EQ(rows[0]->findChild<QLabel*>("name")->text(), "p101");
    EXPECT_DOUBLE_EQ(rows[0]->findChild<ProportionalBar*>("bar")->value(), 0.25);
    EXPECT_EQ(rows[0]->findChild<QLabel*>("impact")->text(), "10.0");

    // A report without processes, then a failed measurement: the hint is back.
    demo->daemon().setAnswer(
        HelperProtocol::samplePowerMetrics, FakeHelperDaemon::Answer::bytes(*reportOf({}).toJson()));
    await(app.refreshInsights());
    EXPECT_EQ(shown(), QStringList { "empty" });
    demo->daemon().setAnswer(HelperProtocol::samplePowerMetrics, FakeHelperDaemon::Answer::empty());
    await(app.refreshInsights());
    EXPECT_EQ(shown(), QStringList { "hint" });

    // An earlier report stays hidden behind the warning once the helper is gone.
    demo->daemon().setAnswer(
        HelperProtocol::samplePowerMetrics, FakeHelperDaemon::Answer::bytes(*reportOf(impacts).toJson()));
    await(app.refreshInsights());
    app.helper().unregister();
    EXPECT_EQ(shown(), QStringList { "helperWarning" });
    EXPECT_FALSE(measure->isEnabled());
}
