#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

// The client against the real daemon, on a private bus over a simulated laptop.
TEST(HelperClientWithDaemon, ConnectsProbesAndHoldsTheCharge)
{
    if (!HelperDaemonProcess::isBuilt())
        GTEST_SKIP() << "kestrune-helper is not built";

    PrivateBus bus;
    QTemporaryDir machine;
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(machine.isValid());
    ASSERT_TRUE(SimTree::create(machine.path(), SimTree::Options()));

    HelperDaemonProcess daemon;
    ASSERT_TRUE(daemon.start(bus, machine.path()));

    QDBusConnection appBus = bus.connect(QStringLiteral("app"));
    BusServiceManagement services(appBus, HelperDaemonProcess::serviceOptions(machine.filePath(QStringLiteral("services"))));
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
}

} // namespace kestrune::test
