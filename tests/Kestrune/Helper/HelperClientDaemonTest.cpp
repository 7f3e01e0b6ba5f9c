#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

// The client against the real daemon, on a private bus over a simulated laptop.
TEST(HelperClientWithDaemon, ConnectsProbesAndHoldsTheCharge)
{
    const QString program = buildDir() + QStringLiteral("/KestruneHelper/kestrune-helper");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "kestrune-helper is not built";

    PrivateBus bus;
    QTemporaryDir machine;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(machine.isValid());
    ASSERT_TRUE(SimTree::create(machine.path(), SimTree::Options()));

    QProcess daemon;
    QProcessEnvironment environment = bus.environment();
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), machine.path());
    daemon.setProcessEnvironment(environment);
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.start(program, {});
    ASSERT_TRUE(daemon.waitForStarted(5000));

    QDBusConnection appBus = bus.connect(QStringLiteral("app"));
    ASSERT_TRUE(waitUntil([&] { return appBus.interface()->isServiceRegistered(HelperProtocol::label).value(); }));

    BusServiceManagement::Options options;
    options.systemBus = false;
    options.label = HelperProtocol::label;
    options.program = program;
    options.activationDirectory = machine.filePath(QStringLiteral("services"));
    BusServiceManagement services(appBus, options);
    UserDefaults defaults(machine.filePath(QStringLiteral("defaults.json")));
    HelperClient client(appBus, services, defaults);

    EXPECT_TRUE(QCoro::waitFor(client.ensureConnected()));
    EXPECT_EQ(client.status(), HelperClient::Status::Enabled);
    EXPECT_EQ(client.helperVersion(), HelperProtocol::version);
    EXPECT_EQ(client.lastError(), std::nullopt);
    ASSERT_TRUE(client.capabilities());
    EXPECT_TRUE(client.capabilities()->smcAvailable);
    EXPECT_TRUE(client.capabilities()->chargingControlMethod);

    const auto held = QCoro::waitFor(client.setChargingEnabled(false));
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->success) << held->message.value_or(QString()).toStdString();
    const auto state = QCoro::waitFor(client.readChargingState());
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->chargingInhibited);

    client.synchronousResetChargingDefaults();
    const auto reset = QCoro::waitFor(client.readChargingState());
    ASSERT_TRUE(reset);
    EXPECT_FALSE(reset->chargingInhibited);

    daemon.terminate();
    if (!daemon.waitForFinished(3000)) {
        daemon.kill();
        daemon.waitForFinished(3000);
    }
}

} // namespace kestrune::test
