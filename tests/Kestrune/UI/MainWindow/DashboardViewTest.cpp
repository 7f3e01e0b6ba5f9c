#include "Kestrune/UI/DashboardView.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/UI/DashboardCharts.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Platform/Symbols/SystemColors.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"

#include <QAbstractButton>
#include <QAreaSeries>
#include <QChart>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QSignalSpy>

using namespace kestrune;
using namespace kestrune::test;

namespace {

BatterySnapshot reading(bool external, double volts, double amps, std::optional<int> adapter = std::nullopt)
{
    BatterySnapshot s;
    s.date = QDateTime(QDate(2026, 3, 13), QTime(12, 0));
    s.socPercent = 64;
    s.externalConnected = external;
    s.voltageV = volts;
    s.amperageA = amps;
    s.adapterWatts = adapter;
    s.designCapacitymAh = 5000;
    s.nominalCapacitymAh = 4600;
    s.cycleCount = 212;
    s.temperatureC = 30.46;
    return s;
}

QString cardText(const QWidget& view, const char* card, const char* part)
{
    return view.findChild<QWidget*>(card)->findChild<QLabel*>(part)->text();
}

QList<QLabel*> placeholders(const DashboardView& view)
{
    return view.charts()->findChildren<QLabel*>("placeholder");
}

} // namespace

class DashboardViewTest : public ViewFixture { };

TEST_F(DashboardViewTest, TheCardsReadTheSnapshotByTheirRules)
{
    const auto none = DashboardView::cardsFor(std::nullopt, "上限 80% — 充電中");
    EXPECT_EQ(none.charge, "0%");
    EXPECT_EQ(none.chargeDetail, "上限 80% — 充電中") << "the status line shows without a reading too";
    EXPECT_EQ(none.capacity, "0.0%");
    EXPECT_EQ(none.cycles, "0回");
    EXPECT_EQ(none.cycleDetail, "-");
    EXPECT_EQ(none.temperature, "0.0°C");
    EXPECT_EQ(none.powerDetail, "-");

    const auto cards = DashboardView::cardsFor(reading(false, 12.0, -0.5), {});
    EXPECT_EQ(cards.charge, "64%");
    EXPECT_EQ(cards.capacity, "92.0%");
    EXPECT_EQ(cards.cycles, "212回");
    EXPECT_EQ(cards.cycleDetail, "実効 4600 / 設計 5000 mAh");
    EXPECT_EQ(cards.temperature, "30.5°C");
    EXPECT_EQ(cards.powerDetail, "放電 6.0W");
    EXPECT_EQ(DashboardView::cardsFor(reading(false, 12.0, 0), {}).powerDetail, "放電 0.0W");
    EXPECT_EQ(
        DashboardView::cardsFor(reading(true, 12.5, 2.0, 67), {}).powerDetail, "アダプタ67W 充放電 +25.0W");
    EXPECT_EQ(DashboardView::cardsFor(reading(true, 12.5, 2.0), {}).powerDetail, "充放電 +25.0W");
    EXPECT_EQ(DashboardView::cardsFor(reading(true, 12.5, -0.024), {}).powerDetail, "充放電 -0.3W");

    BatterySnapshot worn = reading(true, 12, 0);
    worn.nominalCapacitymAh = 5300;
    EXPECT_EQ(DashboardView::cardsFor(worn, {}).capacity, "100.0%") << "capped";
    worn.designCapacitymAh = 0;
    EXPECT_EQ(DashboardView::cardsFor(worn, {}).capacity, "-");
    EXPECT_EQ(DashboardView::cardsFor(worn, {}).cycleDetail, "-");
    worn.designCapacitymAh = 5000;
    worn.nominalCapacitymAh = 0;
    EXPECT_EQ(DashboardView::cardsFor(worn, {}).capacity, "-");
}

TEST_F(DashboardViewTest, ReloadsOnShowOnAPeriodAndOnEachNewReadingWhileShown)
{
    demo::DemoApp::Options options = ViewFixture::options();
    options.historyDays = 30;
    options.battery = false; // the first reading arrives after the tab is shown
    AppState& app = launch(options);
    DashboardView view(app);
    QSignalSpy reloads(&view, &DashboardView::reloaded);
    EXPECT_EQ(cardText(view, "chargeCard", "value"), "0%");
    EXPECT_EQ(cardText(view, "temperatureCard", "detail"), "-");
    EXPECT_EQ(cardText(view, "chargeCard", "detail"), app.controller().statusText());

    view.show();
    EXPECT_EQ(reloads.size(), 1);
    // A day: from 24 hours back up to now, at most 800 points.
    const QDateTime now = demo->clock().now();
    EXPECT_LE(view.samples().size(), DashboardView::chartPoints);
    EXPECT_GE(view.samples().first().timestamp, now.addDays(-1));
    EXPECT_LT(view.samples().first().timestamp, now.addDays(-1).addSecs(120));

    // The month reaches back the whole thirty days, thinned.
    view.periodPicker()->segment("month")->click();
    EXPECT_EQ(reloads.size(), 2);
    ASSERT_FALSE(view.samples().isEmpty());
    EXPECT_LE(view.samples().size(), DashboardView::chartPoints);
    EXPECT_LT(view.samples().first().timestamp, now.addDays(-29));
    EXPECT_GT(view.samples().last().timestamp, now.addSecs(-3600));
    view.periodPicker()->segment("month")->click();
    EXPECT_EQ(reloads.size(), 2) << "the period chosen already";

    // The first reading after showing, then every new one, fetches once each.
    ASSERT_TRUE(SimTree::create(demo->sysfsRoot(), demo::DemoApp::standardMachine()));
    demo->readAfter(30);
    ASSERT_TRUE(app.snapshot().has_value());
    EXPECT_EQ(reloads.size(), 3);
    EXPECT_EQ(cardText(view, "chargeCard", "value"), "80%");
    demo->readAfter(30);
    EXPECT_EQ(reloads.size(), 4);
    EXPECT_EQ(view.range(), DashboardView::Range::Month) << "the same period again";

    // Hidden, the tab fetches nothing; the cards still follow.
    view.hide();
    SimTree::Options fuller = demo::DemoApp::standardMachine();
    fuller.capacityPercent = 83;
    ASSERT_TRUE(SimTree::create(demo->sysfsRoot(), fuller));
    demo->readAfter(30);
    EXPECT_EQ(reloads.size(), 4);
    EXPECT_EQ(cardText(view, "chargeCard", "value"), "83%");
}

TEST_F(DashboardViewTest, WithoutReadingsEveryChartSaysSoAndBarsTakeTheColourOfTheirSign)
{
    demo::DemoApp::Options options = ViewFixture::options();
    options.historyStore = false;
    AppState& withoutStore = launch(options);
    {
        DashboardView view(withoutStore);
        view.show();
        EXPECT_TRUE(view.samples().isEmpty());
        ASSERT_EQ(placeholders(view).size(), 3);
        for (QLabel* placeholder : placeholders(view)) {
            EXPECT_TRUE(placeholder->isVisible());
            EXPECT_EQ(placeholder->text(), "データを収集中です(1分ごとに記録されます)");
        }
        EXPECT_EQ(cardText(view, "chargeCard", "value"), "80%") << "the cards go on without a store";
    }

    options.historyStore = true;
    options.historyDays = 0;
    AppState& app = launch(options);
    DashboardView view(app);
    view.show();
    // The launch's own reading is the store's only one, which draws no line yet: then an
    // empty period.
    EXPECT_EQ(view.samples().size(), 1);
    for (QLabel* placeholder : placeholders(view))
        EXPECT_TRUE(placeholder->isVisible());
    EXPECT_TRUE(view.charts()->chargeBars()->upperSeries()->points().isEmpty());
    demo->clock().advance(2 * 86400);
    view.periodPicker()->segment("week")->click();
    EXPECT_EQ(view.samples().size(), 1);
    view.periodPicker()->segment("day")->click();
    EXPECT_TRUE(view.samples().isEmpty());
    for (QLabel* placeholder : placeholders(view))
        EXPECT_TRUE(placeholder->isVisible());

    const QDateTime at(QDate(2026, 3, 13), QTime(9, 0));
    DashboardCharts& charts = *view.charts();
    charts.setSamples({ BatterySample(at, 70, true, true, 30, 92, 187, 12.5),
                          BatterySample(at.addSecs(55), 70, false, true, 30, 92, 187, 0),
                          BatterySample(at.addSecs(110), 69, false, false, 30, 92, 187, -7.25) },
        { at, at.addSecs(165), "H:mm", 4 });
    for (QLabel* placeholder : placeholders(view))
        EXPECT_FALSE(placeholder->isVisible());
    EXPECT_EQ(charts.chargeBars()->color(), SystemColors::green());
    EXPECT_EQ(charts.drainBars()->color(), SystemColors::orange());
    const auto heights = [](const QLineSeries* steps) {
        QList<double> found;
        for (const QPointF& point : steps->points())
            if (!found.contains(point.y()))
                found << point.y();
        return found;
    };
    // Charging and exactly 0 W stand among the green bars; only the drain hangs in orange.
    EXPECT_EQ(heights(charts.chargeBars()->upperSeries()), (QList<double> { 0, 12.5 }));
    EXPECT_EQ(heights(charts.drainBars()->lowerSeries()), (QList<double> { 0, -7.25 }));
    EXPECT_EQ(charts.chargeBars()->upperSeries()->points().first().x(), double(at.toMSecsSinceEpoch()));
}

TEST_F(DashboardViewTest, AHistoryYoungerThanThePeriodSpansTheWholeWidth)
{
    demo::DemoApp::Options options = ViewFixture::options();
    options.historyDays = 20.0 / (24 * 60);
    AppState& app = launch(options);
    DashboardView view(app);
    view.show();
    const QDateTime now = demo->clock().now();
    // The first twenty minutes of use: the three charts run from the first reading to now,
    // whichever period is chosen.
    ASSERT_GE(view.samples().size(), 20);
    for (const char* period : { "day", "month" }) {
        view.periodPicker()->segment(period)->click();
        for (QChart* chart : { view.charts()->socChart(), view.charts()->temperatureChart(), view.charts()->wattsChart() }) {
            auto* axis = qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
            EXPECT_EQ(axis->min(), view.samples().first().timestamp) << period;
            EXPECT_EQ(axis->max(), now);
            EXPECT_EQ(axis->format(), "H:mm");
        }
    }

    // A history of a minute spans a quarter of an hour; three days into a week, a label a
    // day. A history older than the period keeps the period, however late in it the first
    // reading is.
    using Range = DashboardView::Range;
    EXPECT_EQ(DashboardView::timeAxis(Range::Day, now, now.addSecs(-60)).from, now.addSecs(-15 * 60));
    const DashboardCharts::TimeAxis days = DashboardView::timeAxis(Range::Week, now, now.addSecs(-(3 * 86400 + 600)));
    EXPECT_EQ(days.from, now.addSecs(-(3 * 86400 + 600)));
    EXPECT_EQ(days.ticks, 4);
    const DashboardCharts::TimeAxis month = DashboardView::timeAxis(Range::Month, now, now.addDays(-45));
    EXPECT_EQ(month.from, now.addSecs(-2592000));
    EXPECT_EQ(month.format, "M/d");
    EXPECT_EQ(month.ticks, 7);
    EXPECT_EQ(DashboardView::timeAxis(Range::Day, now, std::nullopt).from, now.addDays(-1));
}
