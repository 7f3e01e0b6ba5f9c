#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/MainWindowView.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "tests/EndToEnd/App/SimulatedApp.h"
#include "tests/support/Await.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

QString behaviour(const QString& root)
{
    QFile file(SimTree::batteryPath(root) + QStringLiteral("/charge_behaviour"));
    return file.open(QIODevice::ReadOnly) ? ChargeBehaviour::parse(QString::fromUtf8(file.readAll())).active
                                          : QString();
}

} // namespace

// The window over the whole application on the simulated laptop, on the adapter at 85 % with
// the real daemon: the charge rules hold the charge, and the General tab's reset lets the
// machine charge for no longer than the evaluation that follows it takes.
TEST(MainWindowEndToEnd, TheRulesHoldTheChargeAndTheResetDoesNotLeaveItCharging)
{
    if (!SimulatedApp::canRun())
        GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";
    // Readings only at start: every evaluation below is one the window or the test asked for.
    SimulatedApp laptop({ .capacityPercent = 85,
        .monitorIntervalSeconds = 3600,
        .powerSourcePoll = std::nullopt,
        .defaults = { { "chargeLimit", 95 }, { "autopilotEnabled", false } } });
    ASSERT_TRUE(laptop.setUp());
    AppState& app = laptop.launch();
    const QString root = laptop.root;
    app.start();
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }, 10000));
    spin(200);
    EXPECT_EQ(behaviour(root), ChargeBehaviour::automatic) << "85 % under a limit of 95 %";

    MainWindowView window(app, {});
    window.show();
    window.tabs()->setCurrentIndex(2);
    auto* slider = window.findChild<QSlider*>("limitSlider");
    ASSERT_NE(slider, nullptr);
    slider->setValue(80 / 5);
    EXPECT_EQ(app.settings().chargeLimit(), 80);
    ASSERT_TRUE(waitUntil([&] { return behaviour(root) == ChargeBehaviour::inhibitCharge; }, 5000));

    // What the reset alone leaves behind: charging allowed, and an evaluation that trusts
    // what it applied before writes nothing.
    ASSERT_TRUE(await(app.helper().resetChargingDefaults()).has_value());
    EXPECT_EQ(behaviour(root), ChargeBehaviour::automatic);
    await(app.evaluateNow());
    EXPECT_EQ(behaviour(root), ChargeBehaviour::automatic);
    EXPECT_TRUE(app.controller().isHolding()) << "the controller believes it holds";

    // The General tab's reset: charging is held again at once.
    window.tabs()->setCurrentIndex(4);
    auto* reset = window.findChild<QPushButton*>("resetCharging");
    ASSERT_NE(reset, nullptr);
    ASSERT_TRUE(reset->isEnabled());
    reset->click();
    EXPECT_TRUE(waitUntil([&] { return behaviour(root) == ChargeBehaviour::inhibitCharge; }, 5000));
    EXPECT_TRUE(app.controller().isHolding());
}

} // namespace kestrune::test
