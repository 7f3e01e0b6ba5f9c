#include "Kestrune/Helper/HelperClient.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/support/Await.h"
#include "tools/kestrune-backend/FakeBackend.h"

namespace kestrune::test {

namespace {

const QString samplePowerMetrics = QString(HelperProtocol::samplePowerMetrics);

} // namespace

using Commands = AppStateFixture;

TEST_F(Commands, InsightsOnlyWhileConnectedAndOneAtATimeOnboardingOnce)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}, {"autopilotEnabled", false}});
    AppState& app = launch();
    app.start();
    int insightNotices = 0;
    int onboardingNotices = 0;
    QObject::connect(&app, &AppState::insightsChanged, [&] { ++insightNotices; });
    QObject::connect(&app, &AppState::onboardingCompletedChanged, [&] { ++onboardingNotices; });

    // No measurement without the helper.
    await(app.refreshInsights());
    EXPECT_FALSE(app.insights() || app.insightsLoading() || insightNotices);
    EXPECT_EQ(daemon.count(samplePowerMetrics), 0);

    services->status = Status::Enabled;
    await(app.reconnectHelperIfNeeded());
    ASSERT_TRUE(app.helper().isConnected());

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

    app.completeOnboarding();
    app.completeOnboarding();
    EXPECT_TRUE(app.onboardingCompleted());
    EXPECT_EQ(onboardingNotices, 1);
    EXPECT_EQ(app.defaults().object(QStringLiteral("onboardingCompleted")), QVariant(true));
}

// A task cut short by the destruction of the engine it waits on resumes while the other
// engines are already gone: it must end there, not go on to evaluate.
TEST_F(Commands, TheCoreCanGoWhileItsStartUpSyncWaits)
{
    FakeBackend backend;
    ASSERT_TRUE(backend.listen());
    backend.answerAlways(QStringLiteral("/v1/sync"), FakeBackend::Answer::hold());
    preset({{"backendURL", backend.url().toString()}});
    launch().start();
    ASSERT_TRUE(waitUntil([&] { return !backend.requests(QStringLiteral("/v1/sync")).isEmpty(); }, 5000));
    state.reset();
    spin(50);
}

} // namespace kestrune::test
