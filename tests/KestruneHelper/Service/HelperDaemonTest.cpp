#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/PowerMetricsReport.h"
#include "tests/KestruneHelper/Service/HelperDaemonFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <plist/plist.h>

#include <tuple>
#include <unistd.h>

using namespace kestrune;
using namespace kestrune::test;

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

    // The user runs on "performance"; low power mode replaces it only for a while.
    ASSERT_TRUE(PowerSupplyTree::write(QFileInfo(SimTree::platformProfilePath(machine.path())).path(),
                                       "platform_profile", "performance"));
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

    const HelperCommandResult restored = command("restoreAllPowerSaving");
    EXPECT_TRUE(restored.success) << restored.message.value_or("").toStdString();
    EXPECT_EQ(profile(), "performance");
    EXPECT_EQ(stateFile("indexing"), "on");
    EXPECT_EQ(stateFile("backups"), "enabled");

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

TEST_F(HelperDaemonTest, HoldsEveryPresentBatteryAndFindsOneTheKernelRenumbered)
{
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    start();
    const QString bat0 = battery();
    const QString bat1 = QFileInfo(bat0).dir().filePath("BAT1");
    const auto behaviour = [](const QString& path) {
        return ChargeBehaviour::parse(PowerSupplyTree::read(path, "charge_behaviour").value_or("")).active;
    };
    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
    EXPECT_EQ(behaviour(bat0), "inhibit-charge");

    // A driver reload brings the battery back as BAT1 under the running daemon.
    ASSERT_TRUE(QDir(bat0).removeRecursively());
    SimTree::Options renumbered;
    renumbered.batteryName = "BAT1";
    ASSERT_TRUE(SimTree::create(machine.path(), renumbered));
    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
    EXPECT_EQ(behaviour(bat1), "inhibit-charge");
    EXPECT_TRUE(state().chargingInhibited);

    // An empty first bay hides nothing: the battery that is there is the one held.
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    ASSERT_TRUE(PowerSupplyTree::write(bat0, "present", "0"));
    EXPECT_TRUE(state().chargingInhibited);
    EXPECT_TRUE(command("setChargingEnabled", {true}).success);
    EXPECT_EQ(behaviour(bat1), "auto");

    // Two batteries: both are held, and the hold reads as such only while both are.
    ASSERT_TRUE(PowerSupplyTree::write(bat0, "present", "1"));
    EXPECT_TRUE(command("setChargingEnabled", {false}).success);
    EXPECT_EQ(behaviour(bat0), "inhibit-charge");
    EXPECT_EQ(behaviour(bat1), "inhibit-charge");
    EXPECT_TRUE(state().chargingInhibited);
    ASSERT_TRUE(PowerSupplyTree::write(bat1, "charge_behaviour", "auto"));
    EXPECT_FALSE(state().chargingInhibited);
    EXPECT_TRUE(command("resetChargingDefaults").success);
    EXPECT_EQ(behaviour(bat0), "auto");
    EXPECT_EQ(behaviour(bat1), "auto");
}

TEST_F(HelperDaemonTest, AProcessNameWithANulLeavesOnlyThatTaskOutOfTheReport)
{
    // A property list whose first task's name holds a NUL. The non-ASCII "é" makes the
    // writer store the name as UTF-16, in which the "X" is patched to a NUL.
    plist_t root = plist_new_dict();
    plist_t tasks = plist_new_array();
    for (const auto& [name, pid, impact] : {std::tuple{"éXb", 5, 100.0}, std::tuple{"ok", 6, 50.0}}) {
        plist_t task = plist_new_dict();
        plist_dict_set_item(task, "name", plist_new_string(name));
        plist_dict_set_item(task, "pid", plist_new_uint(pid));
        plist_dict_set_item(task, "energy_impact", plist_new_real(impact));
        plist_array_append_item(tasks, task);
    }
    plist_dict_set_item(root, "tasks", tasks);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray output(bytes, length);
    plist_to_bin_free(bytes);
    plist_free(root);
    const QByteArray utf16("\x00\xe9\x00X\x00\x62", 6);
    ASSERT_TRUE(output.contains(utf16));
    output.replace(utf16, QByteArray("\x00\xe9\x00\x00\x00\x62", 6));

    // A copy of the daemon runs the stand-in tools beside it: here, one that prints that list.
    QTemporaryDir programs;
    const QString daemonCopy = programs.filePath("kestrune-helper");
    ASSERT_TRUE(QFile::copy(HelperDaemonProcess::program(), daemonCopy));
    QFile fixture(programs.filePath("sample.plist"));
    ASSERT_TRUE(fixture.open(QIODevice::WriteOnly) && fixture.write(output) == output.size());
    fixture.close();
    QFile tool(programs.filePath("powermetrics"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\ncat '" + fixture.fileName().toUtf8() + "'\n");
    tool.close();
    for (const QString& program : {tool.fileName(), daemonCopy})
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    HelperDaemonProcess::Options options;
    options.program = daemonCopy;
    start(options);

    const auto report = PowerMetricsReport::fromJson(data("samplePowerMetrics", {qlonglong(1)}));
    ASSERT_TRUE(report);
    ASSERT_EQ(report->processes.size(), 1u);
    EXPECT_EQ(report->processes[0].name, "ok");
    EXPECT_EQ(report->processes[0].pid, 6);
    EXPECT_EQ(call("getVersion").arguments().value(0).toLongLong(), 2);
}
