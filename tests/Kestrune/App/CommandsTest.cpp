#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/support/Await.h"

namespace kestrune::test {

namespace {

const QString samplePowerMetrics = QString(HelperProtocol::samplePowerMetrics);
const QString setChargingEnabled = QString(HelperProtocol::setChargingEnabled);

} // namespace

using Commands = AppStateFixture;

TEST_F(Commands, ActOnlyWhenTheyCanAndNotifyOnlyOnChange)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}, {"autopilotEnabled", false}});
    SimTree::Options above;
    above.capacityPercent = 85;
    setMachine(above);
    AppState& app = launch();
    app.start();
    int insightNotices = 0;
    int onboardingNotices = 0;
    int topUpNotices = 0;
    QObject::connect(&app, &AppState::insightsChanged, [&] { ++insightNotices; });
    QObject::connect(&app, &AppState::onboardingCompletedChanged, [&] { ++onboardingNotices; });
    QObject::connect(&app.controller(), &ChargeController::topUpActiveChanged, [&] { ++topUpNotices; });

    // No measurement without the helper.
    await(app.refreshInsights());
    EXPECT_FALSE(app.insights() || app.insightsLoading() || insightNotices);
    EXPECT_EQ(daemon.count(samplePowerMetrics), 0);

    services->status = Status::Enabled;
    await(app.reconnectHelperIfNeeded());
    ASSERT_TRUE(app.helper().isConnected());
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1); // held above the limit

    // One measurement at a time; a failed one clears the last report.
    const PowerMetricsReport report{clock.now(), 3, {{42, QStringLiteral("yes"), 12.5, 900}}};
    daemon.setAnswer(samplePowerMetrics, FakeHelperDaemon::Answer::bytes(*report.toJson()).after(100));
    QCoro::Task<> measuring = app.refreshInsights();
    EXPECT_TRUE(app.insightsLoading());
    await(app.refreshInsights());
    await(std::move(measuring));
    EXPECT_EQ(daemon.count(samplePowerMetrics), 1);
    ASSERT_TRUE(app.insights());
    EXPECT_EQ(app.insights()->processes.front().name, "yes");
    EXPECT_FALSE(app.insightsLoading());
    daemon.setAnswer(samplePowerMetrics, FakeHelperDaemon::Answer::bytes("not a report"));
    await(app.refreshInsights());
    EXPECT_FALSE(app.insights());
    EXPECT_EQ(insightNotices, 2);

    // A full charge on request, asked twice, then cancelled.
    app.requestTopUp();
    app.requestTopUp();
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);
    app.cancelTopUp();
    EXPECT_EQ(callsOf(setChargingEnabled, 3), 3);
    EXPECT_EQ(topUpNotices, 2);

    app.recordShare(SharePeriod::Week);
    const QList<PowerActionRecord> log = app.history()->recentPowerActions(1);
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].action, "share");
    EXPECT_EQ(log[0].detail, "week");

    app.completeOnboarding();
    app.completeOnboarding();
    EXPECT_TRUE(app.onboardingCompleted());
    EXPECT_EQ(onboardingNotices, 1);
    EXPECT_EQ(app.defaults().object(QStringLiteral("onboardingCompleted")), QVariant(true));
}

} // namespace kestrune::test
