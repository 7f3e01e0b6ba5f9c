#include "KestruneHelper/HelperService.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/SMCChargingState.h"
#include "tests/KestruneHelper/Ops/FakeSystemTools.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

// The service in this process on a private bus, with a watchdog that looks every 50 ms and
// acts after 500 ms of silence, and fake system tools.
class HelperServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(SimTree::create(machine.path(), {}));
        tools.setOutput("pmset", "Battery Power:\n lowpowermode 0\n");
        HelperService::Config config;
        config.sysfsRoot = machine.path();
        config.tools = tools.table();
        config.watchdogPeriodMs = 50;
        config.watchdogSilenceMs = 500;
        service = std::make_unique<HelperService>(config);
        QString error;
        ASSERT_TRUE(service->registerOn(bus.connect("service"), &error)) << error.toStdString();
        client = bus.connect("client");
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QString(HelperProtocol::label),
                                                              QString(HelperProtocol::objectPath),
                                                              QString(HelperProtocol::label), method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message);
        waitUntil([&] { return pending.isFinished(); }, 10'000);
        return pending.reply();
    }

    std::optional<HelperCommandResult> command(const QString& method, const QVariantList& arguments = {})
    {
        const QDBusMessage reply = call(method, arguments);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return std::nullopt;
        return HelperCommandResult::fromJson(reply.arguments().constFirst().toByteArray());
    }

    QString behaviour() const
    {
        return ChargeBehaviour::parse(
                   PowerSupplyTree::read(SimTree::batteryPath(machine.path()), "charge_behaviour").value_or(""))
            .active;
    }

    PrivateBus bus;
    QTemporaryDir machine;
    FakeSystemTools tools;
    std::unique_ptr<HelperService> service;
    QDBusConnection client{QString()};
};

} // namespace

TEST_F(HelperServiceTest, AfterSilenceChargingIsAllowedAgainAndIdlePowerSavingIsLeftAlone)
{
    ASSERT_TRUE(command("setChargingEnabled", {false})->success);
    EXPECT_EQ(behaviour(), "inhibit-charge");
    EXPECT_TRUE(waitUntil([&] { return behaviour() == "auto"; }, 3000));
    spin(200);
    EXPECT_TRUE(tools.calls().isEmpty());
}

TEST_F(HelperServiceTest, AfterSilenceHeldPowerSavingIsRestoredOnce)
{
    ASSERT_TRUE(command("setLowPowerMode", {true})->success);
    EXPECT_EQ(tools.calls(), (QStringList{"pmset -g custom", "pmset -b lowpowermode 1"}));
    EXPECT_TRUE(waitUntil([&] { return tools.calls().size() == 3; }, 3000));
    EXPECT_EQ(tools.calls().value(2), "pmset -b lowpowermode 0");
    // Nothing is held any more, so later looks run no tool.
    spin(300);
    EXPECT_EQ(tools.calls().size(), 3);
}

TEST_F(HelperServiceTest, CallsKeepTheWatchdogQuiet)
{
    ASSERT_TRUE(command("setChargingEnabled", {false})->success);
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 1200) {
        ASSERT_EQ(call("getVersion").arguments().value(0).toLongLong(), 2);
        spin(40);
        ASSERT_EQ(behaviour(), "inhibit-charge") << "after " << elapsed.elapsed() << " ms";
    }
    EXPECT_TRUE(waitUntil([&] { return behaviour() == "auto"; }, 3000));
}

TEST_F(HelperServiceTest, PowerSavingWorkDoesNotHoldUpTheController)
{
    tools.setScript("tmutil", "sleep 2\n");
    QDBusMessage slow = QDBusMessage::createMethodCall(QString(HelperProtocol::label), "/",
                                                       QString(HelperProtocol::label), "setTimeMachinePaused");
    slow << true;
    QDBusPendingCall pending = client.asyncCall(slow);
    spin(100);
    QElapsedTimer elapsed;
    elapsed.start();
    const QDBusMessage state = call("readChargingState");
    EXPECT_LT(elapsed.elapsed(), 1500);
    EXPECT_FALSE(pending.isFinished());
    EXPECT_TRUE(SMCChargingState::fromJson(state.arguments().value(0).toByteArray()));
    EXPECT_TRUE(waitUntil([&] { return pending.isFinished(); }, 10'000));
}
