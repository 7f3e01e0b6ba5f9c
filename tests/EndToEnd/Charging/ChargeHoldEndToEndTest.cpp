#include "Foundation/Clock.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/SimProgram.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

QString attribute(const QString& root, const char* name)
{
    QFile file(SimTree::batteryPath(root) + u'/' + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

QString activeBehaviour(const QString& root) { return ChargeBehaviour::parse(attribute(root, "charge_behaviour")).active; }
int capacity(const QString& root) { return attribute(root, "capacity").toInt(); }

} // namespace

// The simulated laptop on AC at 70 %, its battery model running fast, the real daemon over it
// on a private bus, and the application's real battery monitor, helper client and controller:
// the charge stops at the 80 % limit and unplugging releases the hold.
TEST(ChargingEndToEnd, HoldsAtTheLimitAndReleasesOnUnplug)
{
    if (!HelperDaemonProcess::isBuilt() || !SimProgram::isBuilt())
        GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";

    PrivateBus bus;
    QTemporaryDir machine;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(machine.isValid());
    const QString root = machine.path();
    ASSERT_TRUE(SimProgram::run({QStringLiteral("tree"), root, QStringLiteral("--capacity"), QStringLiteral("70")}));
    ASSERT_EQ(activeBehaviour(root), QStringLiteral("auto"));

    HelperDaemonProcess daemon;
    ASSERT_TRUE(daemon.start(bus, root));
    QDBusConnection appBus = bus.connect(QStringLiteral("app"));
    BusServiceManagement services(appBus, HelperDaemonProcess::serviceOptions(machine.filePath(QStringLiteral("services"))));
    UserDefaults defaults(machine.filePath(QStringLiteral("defaults.json")));
    ChargingSettings settings(defaults);
    HelperClient client(appBus, services, defaults);
    AdaptiveEngine adaptive(nullptr, defaults);
    ChargeController controller(settings, client, adaptive);
    QList<ChargeController::Event> events;
    controller.onEvent = [&](const ChargeController::Event& event) { events.append(event); };
    ASSERT_TRUE(QCoro::waitFor(client.ensureConnected()));
    ASSERT_TRUE(client.capabilities() && client.capabilities()->chargingControlMethod);

    // As the application shell does: every reading starts one evaluation.
    BatteryMonitor monitor(root, Clock::system(), 50ms);
    monitor.onUpdate = [&controller](const BatterySnapshot& snapshot) {
        QTimer::singleShot(0, &controller, [&controller, snapshot] { controller.evaluate(snapshot, snapshot.date); });
    };
    monitor.start(0.1);

    // About 3 % a second: from 70 % to the limit in a few seconds.
    ChildProcess model;
    ASSERT_TRUE(model.start(SimProgram::path(),
        {QStringLiteral("run"), root, QStringLiteral("--tick-ms"), QStringLiteral("50"), QStringLiteral("--speed"),
            QStringLiteral("200")}));

    ASSERT_TRUE(waitUntil([&] { return activeBehaviour(root) == QLatin1String(ChargeBehaviour::inhibitCharge); }, 15000))
        << "capacity " << capacity(root) << ", status " << controller.statusText().toStdString();
    const int heldAt = capacity(root);
    EXPECT_GE(heldAt, 80);
    EXPECT_LE(heldAt, 81);
    EXPECT_TRUE(waitUntil([&] { return controller.isHolding(); }, 2000));
    EXPECT_TRUE(controller.statusText().startsWith(QStringLiteral("上限 80% — 充電停止中(")))
        << controller.statusText().toStdString();

    // Held: at this speed an unheld battery would gain several percent in a second.
    spin(1000);
    EXPECT_EQ(model.process().state(), QProcess::Running);
    EXPECT_EQ(capacity(root), heldAt);
    EXPECT_EQ(activeBehaviour(root), QLatin1String(ChargeBehaviour::inhibitCharge));

    ASSERT_TRUE(SimProgram::run({QStringLiteral("unplug"), root}));
    EXPECT_TRUE(waitUntil([&] { return activeBehaviour(root) == QLatin1String(ChargeBehaviour::automatic); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return controller.statusText() == QStringLiteral("バッテリー駆動中"); }, 2000));
    EXPECT_FALSE(controller.isHolding());

    monitor.stop();
    monitor.onUpdate = nullptr;
    // Let an evaluation still in flight finish while everything it uses is alive.
    spin(200);
    EXPECT_TRUE(events.contains(ChargeController::Event::startedHolding(80)));
    for (const ChargeController::Event& event : events)
        EXPECT_NE(event.kind, ChargeController::Event::Kind::HelperError) << event.message.toStdString();
}

} // namespace kestrune::test
