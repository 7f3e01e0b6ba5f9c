#include "tools/kestrune-demo/DemoApp.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::demo;

TEST(DemoApp, AMonthOfUseReachesEveryEngine)
{
    DemoApp demo;
    QString error;
    ASSERT_TRUE(demo.launch(&error)) << error.toStdString();
    AppState& app = demo.state();
    ASSERT_NE(app.history(), nullptr);
    const QDateTime now = demo.clock().now();

    // A reading every 55 s for thirty days up to the launch, the launch's own included.
    const QList<BatterySample> month = app.history()->thinnedSamples(now.addDays(-31), 1000000);
    EXPECT_NEAR(double(month.size()), 30.0 * 86400 / 55, 3);
    EXPECT_GE(month.first().timestamp, now.addDays(-30));
    EXPECT_EQ(month.last().timestamp, now);
    int charging = 0;
    int draining = 0;
    for (const BatterySample& sample : month) {
        ASSERT_GE(sample.soc, 5);
        ASSERT_LE(sample.soc, 80);
        ASSERT_GT(sample.temperature, 25);
        ASSERT_LT(sample.temperature, 40);
        // Power flows into the battery only on the adapter, out of it only on battery.
        if (sample.watts > 1) {
            ASSERT_TRUE(sample.acAttached && sample.isCharging);
        } else if (sample.watts < -1) {
            ASSERT_FALSE(sample.acAttached);
        }
        charging += sample.watts > 1;
        draining += sample.watts < -1;
    }
    EXPECT_GT(charging, 1000);
    EXPECT_GT(draining, 10000);

    QSet<QString> kinds;
    for (const PowerActionRecord& record : app.history()->recentPowerActions(100000))
        kinds << record.action;
    EXPECT_EQ(kinds,
        (QSet<QString> { "level", "lpm", "dim", "service", "throttle", "unthrottle", "restore", "measure",
            "strategy", "report", "suggest", "share" }));
    EXPECT_GE(app.history()->recentSavings(30, now).size(), 28);
    EXPECT_FALSE(app.history()->actionOutcomes(now.addDays(-31), 1000).isEmpty());

    // The engines found what they learn from, and the helper holds the charge at the limit.
    EXPECT_TRUE(app.adaptive().predictedUnplug().has_value());
    EXPECT_GE(app.adaptive().unplugSampleCount(), 30);
    EXPECT_EQ(app.savings().learnedEffectList().size(), 5u);
    EXPECT_FALSE(app.savings().dislikedActions(0.5, now).empty());
    EXPECT_TRUE(app.strategist().activeStrategy().has_value());
    EXPECT_TRUE(app.strategist().lastSessionReport().has_value());
    ASSERT_TRUE(app.snapshot().has_value());
    EXPECT_EQ(app.snapshot()->socPercent, 80);
    EXPECT_TRUE(app.helper().isConnected());
    EXPECT_TRUE(app.controller().isHolding());

    demo.measureInsights();
    ASSERT_TRUE(app.insights().has_value());
    EXPECT_EQ(app.insights()->processes.size(), 16u);
}
