#include "KestruneHelper/HelperService.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/SMCChargingState.h"
#include "tests/KestruneHelper/Ops/FakeSystemTools.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePolkitAuthority.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

// The service in this process on a private bus, with fake system tools and a watchdog that
// looks every 50 ms and acts after 500 ms of silence on a clock the test moves.
class HelperServiceTest : public ::testing::Test {
protected:
    explicit HelperServiceTest(PrivateBus::Users users = PrivateBus::Users::Owner)
        : bus(users)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(SimTree::create(machine.path(), {}));
        tools.setOutput("pmset", "Battery Power:\n lowpowermode 0\n");
        config.sysfsRoot = machine.path();
        config.tools = tools.table();
        config.watchdogPeriodMs = 50;
        config.watchdogSilenceMs = 500;
        config.clock = &clock;
    }

    void start()
    {
        service = std::make_unique<HelperService>(config);
        QString error;
        ASSERT_TRUE(service->registerOn(bus.connect("service"), &error)) << error.toStdString();
        client = bus.connect("client");
    }

    QDBusPendingCall send(const QString& method, const QVariantList& arguments = {},
                          QDBusConnection* from = nullptr)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QString(HelperProtocol::label),
                                                              QString(HelperProtocol::objectPath),
                                                              QString(HelperProtocol::label), method);
        message.setArguments(arguments);
        return (from ? *from : client).asyncCall(message);
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusPendingCall pending = send(method, arguments);
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
    ManualClock clock;
    HelperService::Config config;
    std::unique_ptr<HelperService> service;
    QDBusConnection client{QString()};
};

class HelperServiceOtherUserTest : public HelperServiceTest {
protected:
    HelperServiceOtherUserTest()
        : HelperServiceTest(PrivateBus::Users::Anyone)
    {
    }
};

// A tool that says it started and then waits until the test lets it finish.
QString blockingTool(const FakeSystemTools& tools, const QString& name)
{
    return QStringLiteral("echo %1 >> '%2/started'\n"
                          "while [ ! -f '%2/release' ]; do sleep 0.02; done\n")
        .arg(name, tools.path());
}

int startedCount(const FakeSystemTools& tools)
{
    QFile file(tools.path() + "/started");
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

void release(const FakeSystemTools& tools)
{
    QFile(tools.path() + "/release").open(QIODevice::WriteOnly);
}

} // namespace

TEST_F(HelperServiceTest, AfterSilenceChargingIsAllowedAgainAndIdlePowerSavingIsLeftAlone)
{
    start();
    ASSERT_TRUE(command("setChargingEnabled", {false})->success);
    EXPECT_EQ(behaviour(), "inhibit-charge");
    clock.advance(0.501);
    EXPECT_TRUE(waitUntil([&] { return behaviour() == "auto"; }, 5000));
    EXPECT_TRUE(tools.calls().isEmpty());
}

TEST_F(HelperServiceTest, AfterSilenceHeldPowerSavingIsRestoredOnce)
{
    start();
    ASSERT_TRUE(command("setLowPowerMode", {true})->success);
    EXPECT_EQ(tools.calls(), (QStringList{"pmset -g custom", "pmset -b lowpowermode 1"}));
    // The answer came from the power queue; the contact is recorded on the controller queue,
    // which answers this call only after it.
    ASSERT_TRUE(SMCChargingState::fromJson(call("readChargingState").arguments().value(0).toByteArray()));
    clock.advance(0.501);
    EXPECT_TRUE(waitUntil([&] { return tools.calls().size() == 3; }, 5000));
    EXPECT_EQ(tools.calls().value(2), "pmset -b lowpowermode 0");
    // Nothing is held any more, so later looks run no tool.
    spin(300);
    EXPECT_EQ(tools.calls().size(), 3);
}

TEST_F(HelperServiceTest, CallsKeepTheWatchdogQuiet)
{
    start();
    ASSERT_TRUE(command("setChargingEnabled", {false})->success);
    for (int i = 0; i < 5; ++i) {
        clock.advance(0.4);
        // The reply comes from the controller queue after the contact was recorded there.
        ASSERT_TRUE(SMCChargingState::fromJson(call("readChargingState").arguments().value(0).toByteArray()));
        spin(120); // two looks of the watchdog
        ASSERT_EQ(behaviour(), "inhibit-charge") << "after " << i + 1 << " calls";
    }
    clock.advance(0.501);
    EXPECT_TRUE(waitUntil([&] { return behaviour() == "auto"; }, 5000));
}

TEST_F(HelperServiceTest, PowerSavingWorkDoesNotHoldUpTheController)
{
    start();
    tools.setScript("tmutil", blockingTool(tools, "tmutil"));
    QDBusPendingCall slow = send("setTimeMachinePaused", {true});
    ASSERT_TRUE(waitUntil([&] { return startedCount(tools) == 1; }, 5000));
    const QDBusMessage state = call("readChargingState");
    EXPECT_TRUE(SMCChargingState::fromJson(state.arguments().value(0).toByteArray()));
    EXPECT_FALSE(slow.isFinished());
    release(tools);
    EXPECT_TRUE(waitUntil([&] { return slow.isFinished(); }, 10'000));
}

TEST_F(HelperServiceTest, SamplingsTakeTurnsPerCallerWithinABound)
{
    start();
    tools.setScript("powermetrics", blockingTool(tools, "powermetrics"));
    const auto isError = [](const QDBusPendingCall& pending, const char* name) {
        return pending.isFinished() && pending.isError() && pending.error().name() == QLatin1String(name);
    };

    // One sampling of a caller runs; its next four wait their turn; a sixth is turned away.
    QList<QDBusPendingCall> own;
    for (int i = 0; i < 5; ++i)
        own << send("samplePowerMetrics", {qlonglong(1)});
    ASSERT_TRUE(waitUntil([&] { return startedCount(tools) == 1; }, 5000));
    QDBusPendingCall tooMany = send("samplePowerMetrics", {qlonglong(1)});
    EXPECT_TRUE(waitUntil([&] { return isError(tooMany, "org.freedesktop.DBus.Error.LimitsExceeded"); }, 5000));

    // Another caller's sampling does not wait for them.
    QDBusConnection other = bus.connect("other");
    QDBusPendingCall others = send("samplePowerMetrics", {qlonglong(1)}, &other);
    EXPECT_TRUE(waitUntil([&] { return startedCount(tools) == 2; }, 5000));
    spin(200);
    EXPECT_EQ(startedCount(tools), 2);

    release(tools);
    EXPECT_TRUE(waitUntil([&] {
        return others.isFinished() && std::all_of(own.begin(), own.end(), [](const QDBusPendingCall& p) {
                   return p.isFinished();
               });
    }, 20'000));
    EXPECT_EQ(startedCount(tools), 6);
    for (const QDBusPendingCall& pending : own)
        EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
}

TEST_F(HelperServiceOtherUserTest, CallsWaitingForTheirCallersAuthorisationAreBounded)
{
    if (geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty()
        || QStandardPaths::findExecutable("dbus-send").isEmpty())
        GTEST_SKIP() << "calling as another user needs root, setpriv and dbus-send";
    FakePolkitAuthority authority;
    ASSERT_TRUE(authority.registerOn(bus.connect("authority")));
    authority.hold();
    config.consultPolkit = true;
    config.maxWaitingCalls = 3;
    start();

    // Five callers of a regular user, whose authorisations all wait on the authority.
    std::vector<std::unique_ptr<QProcess>> callers;
    for (int i = 0; i < 5; ++i) {
        auto caller = std::make_unique<QProcess>();
        caller->setProcessChannelMode(QProcess::MergedChannels);
        caller->start("setpriv", {"--reuid=1000", "--regid=1000", "--clear-groups", "dbus-send",
                                  "--bus=" + bus.address(), "--print-reply", "--reply-timeout=20000",
                                  "--dest=" + QString(HelperProtocol::label), "/",
                                  "org.kestrune.helper.readChargingState"});
        callers.push_back(std::move(caller));
    }
    const auto finished = [&] {
        return std::count_if(callers.begin(), callers.end(),
                             [](const auto& c) { return c->state() == QProcess::NotRunning; });
    };
    // Three wait; the two beyond the bound are told at once.
    ASSERT_TRUE(waitUntil([&] { return authority.checks == 3 && finished() == 2; }, 10'000));
    authority.release();
    ASSERT_TRUE(waitUntil([&] { return finished() == 5; }, 10'000));
    int busy = 0, answered = 0;
    for (const auto& caller : callers) {
        const QString output = QString::fromUtf8(caller->readAll());
        busy += output.contains("org.freedesktop.DBus.Error.LimitsExceeded");
        answered += output.contains("array of bytes");
    }
    EXPECT_EQ(busy, 2);
    EXPECT_EQ(answered, 3);
}
