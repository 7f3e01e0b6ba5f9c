#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/SMCChargingState.h"
#include "tests/support/EventLoop.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

// The real daemon program on a private bus over a simulated laptop, with the stand-in tools
// of the build tree.
class HelperDaemonTest : public ::testing::Test {
protected:
    explicit HelperDaemonTest(PrivateBus::Users users = PrivateBus::Users::Owner)
        : bus(users)
    {
    }

    void start()
    {
        ASSERT_TRUE(bus.isRunning());
        client = bus.connect("client");
        ASSERT_TRUE(daemon.start(bus, machine.path()));
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QString(HelperProtocol::label),
                                                              QString(HelperProtocol::objectPath),
                                                              QString(HelperProtocol::label), method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message, 40'000);
        waitUntil([&] { return pending.isFinished(); }, 40'000);
        return pending.reply();
    }
    QByteArray data(const QString& method, const QVariantList& arguments = {})
    {
        const QDBusMessage reply = call(method, arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method.toStdString() << ": "
                                                            << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), "ay") << method.toStdString();
        return reply.arguments().value(0).toByteArray();
    }
    HelperCommandResult command(const QString& method, const QVariantList& arguments = {})
    {
        const auto result = HelperCommandResult::fromJson(data(method, arguments));
        EXPECT_TRUE(result) << method.toStdString();
        return result.value_or(HelperCommandResult{});
    }
    SMCChargingState state()
    {
        const auto value = SMCChargingState::fromJson(data("readChargingState"));
        EXPECT_TRUE(value);
        return value.value_or(SMCChargingState{});
    }

    QString battery() const { return SimTree::batteryPath(machine.path()); }
    QString attribute(const QString& name) const { return PowerSupplyTree::read(battery(), name).value_or("?"); }
    QString stateFile(const QString& name) const
    {
        QFile file(SimTree::statePath(machine.path(), name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString("?");
    }
    QString profile() const
    {
        QFile file(SimTree::platformProfilePath(machine.path()));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString("?");
    }

    PrivateBus bus;
    QTemporaryDir machine;
    HelperDaemonProcess daemon;
    QDBusConnection client{QString()};
};

class HelperDaemonOtherUserTest : public HelperDaemonTest {
protected:
    HelperDaemonOtherUserTest()
        : HelperDaemonTest(PrivateBus::Users::Anyone)
    {
    }
};

int niceOf(qint64 pid)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
}

} // namespace

TEST_F(HelperDaemonTest, AnswersAllThirteenMethodsOnASimulatedLaptop)
{
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    start();

    const QDBusMessage version = call("getVersion");
    EXPECT_EQ(version.signature(), "x");
    EXPECT_EQ(version.arguments().value(0).toLongLong(), 2);

    const auto capabilities = ChargingCapabilities::fromJson(data("probeCapabilities"));
    ASSERT_TRUE(capabilities);
    EXPECT_EQ(*capabilities, (ChargingCapabilities{true, "CH0B/CH0C", "CHIE", true, {}}));

    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
    EXPECT_EQ(attribute("charge_behaviour"), "inhibit-charge");
    EXPECT_EQ(state(), (SMCChargingState{true, false, false}));

    EXPECT_TRUE(command("setForceDischarge", {true}).success);
    EXPECT_EQ(attribute("charge_behaviour"), "force-discharge");
    EXPECT_TRUE(command("setAppleLimit80", {true}).success);
    EXPECT_EQ(attribute("charge_control_end_threshold"), "80");
    EXPECT_EQ(state(), (SMCChargingState{false, true, true}));

    const HelperCommandResult reset = command("resetChargingDefaults");
    EXPECT_TRUE(reset.success);
    EXPECT_FALSE(reset.message);
    EXPECT_EQ(attribute("charge_behaviour"), "auto");
    EXPECT_EQ(state(), (SMCChargingState{false, false, true}));

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const auto report = PowerMetricsReport::fromJson(data("samplePowerMetrics", {qlonglong(0)}));
    ASSERT_TRUE(report);
    EXPECT_GE(report->durationSeconds, 1.0);
    EXPECT_LT(qAbs(before.msecsTo(report->timestamp)), 5000);
    for (std::size_t i = 1; i < report->processes.size(); ++i)
        EXPECT_GE(report->processes[i - 1].energyImpact, report->processes[i].energyImpact);
    for (const ProcessPowerSample& sample : report->processes)
        EXPECT_NE(sample.name, "powermetrics");

    EXPECT_TRUE(command("setLowPowerMode", {true}).success);
    EXPECT_EQ(profile(), "low-power");
    EXPECT_TRUE(command("setSpotlightPaused", {true}).success);
    EXPECT_EQ(stateFile("indexing"), "off");
    EXPECT_TRUE(command("setTimeMachinePaused", {true}).success);
    EXPECT_EQ(stateFile("backups"), "disabled");

    HelperCommandResult throttle = command("setProcessThrottled", {qlonglong(1), true});
    EXPECT_FALSE(throttle.success);
    EXPECT_EQ(throttle.message, "不正なPID: 1");
    throttle = command("setProcessThrottled", {qlonglong(1) << 40, true});
    EXPECT_EQ(throttle.message, "不正なPID: 1099511627776");
    throttle = command("setProcessThrottled", {qlonglong(daemon.pid()), true});
    EXPECT_EQ(throttle.message, QStringLiteral("不正なPID: %1").arg(daemon.pid()));

    // A process of a regular user is lowered to background priority; root's own are not.
    QProcess sleeper;
    if (geteuid() == 0 && !QStandardPaths::findExecutable("setpriv").isEmpty())
        sleeper.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "sleep", "30"});
    else
        sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    spin(100);
    throttle = command("setProcessThrottled", {qlonglong(sleeper.processId()), true});
    if (geteuid() == 0 && sleeper.program() == "sleep") {
        EXPECT_EQ(throttle.message,
                  QStringLiteral("システムプロセスは対象外です (pid=%1, uid=0)").arg(sleeper.processId()));
    } else {
        EXPECT_TRUE(throttle.success) << throttle.message.value_or("").toStdString();
        EXPECT_EQ(niceOf(sleeper.processId()), 19);
    }

    const HelperCommandResult restored = command("restoreAllPowerSaving");
    EXPECT_TRUE(restored.success) << restored.message.value_or("").toStdString();
    EXPECT_EQ(profile(), "balanced");
    EXPECT_EQ(stateFile("indexing"), "on");
    EXPECT_EQ(stateFile("backups"), "enabled");
    if (geteuid() == 0) {
        EXPECT_EQ(niceOf(sleeper.processId()), 0);
    }
    sleeper.kill();
    sleeper.waitForFinished();

    // The daemon is still there after all of it.
    EXPECT_EQ(call("getVersion").arguments().value(0).toLongLong(), 2);
}

TEST_F(HelperDaemonTest, WithoutABatteryTheControllerCannotBeOpenedUntilOneAppears)
{
    start();
    const QString noService = "AppleSMCサービスが見つかりません";
    EXPECT_EQ(call("getVersion").arguments().value(0).toLongLong(), 2);
    EXPECT_EQ(ChargingCapabilities::fromJson(data("probeCapabilities")),
              (ChargingCapabilities{false, std::nullopt, std::nullopt, false, {"SMC接続エラー: " + noService}}));
    for (const char* method : {"setChargingEnabled", "setForceDischarge", "setAppleLimit80"}) {
        const HelperCommandResult result = command(method, {true});
        EXPECT_FALSE(result.success) << method;
        EXPECT_EQ(result.message, noService) << method;
    }
    EXPECT_EQ(command("resetChargingDefaults").message, noService);
    EXPECT_EQ(data("readChargingState"), R"({"chargingInhibited":false,"forceDischarging":false})");

    // The next call tries to open again.
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    EXPECT_TRUE(ChargingCapabilities::fromJson(data("probeCapabilities"))->smcAvailable);
    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
}

TEST_F(HelperDaemonOtherUserTest, ACallerOfAnotherUserIsRefusedAndNothingChanges)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "calling as another user needs root to switch users";
    if (QStandardPaths::findExecutable("setpriv").isEmpty() || QStandardPaths::findExecutable("dbus-send").isEmpty())
        GTEST_SKIP() << "setpriv or dbus-send is not installed";
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    start();

    const auto callAsNobody = [&](const QStringList& message) {
        QProcess caller;
        caller.setProcessChannelMode(QProcess::MergedChannels);
        caller.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "dbus-send",
                                            "--bus=" + bus.address(), "--print-reply",
                                            "--dest=" + QString(HelperProtocol::label), "/"}
                                    + message);
        caller.waitForFinished(10'000);
        return QString::fromUtf8(caller.readAll());
    };

    const QString refused = callAsNobody({"org.kestrune.helper.setChargingEnabled", "boolean:false"});
    EXPECT_TRUE(refused.contains("org.freedesktop.DBus.Error.AccessDenied")) << refused.toStdString();
    EXPECT_EQ(attribute("charge_behaviour"), "[auto] inhibit-charge force-discharge");
    const QString alsoRefused = callAsNobody({"org.kestrune.helper.setLowPowerMode", "boolean:true"});
    EXPECT_TRUE(alsoRefused.contains("AccessDenied")) << alsoRefused.toStdString();
    EXPECT_EQ(profile(), "balanced");

    // The version is no secret.
    EXPECT_TRUE(callAsNobody({"org.kestrune.helper.getVersion"}).contains("int64 2"));
    // The daemon's own user is still served.
    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
}
