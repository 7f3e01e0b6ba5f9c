#include "Foundation/UserDefaults.h"
#include "Kestrune/Program/SingleInstance.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusConnectionInterface>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace kestrune::test {

// The `kestrune` program itself, on a private session bus that carries the fake daemon too,
// over a simulated machine, with a home of its own.
TEST(Program, ASecondLaunchBringsTheFirstForwardAndEndsAndATermSignalGivesChargingBack)
{
    PrivateBus bus;
    QTemporaryDir home;
    ASSERT_TRUE(bus.isRunning() && home.isValid());
    FakeHelperDaemon daemon(bus.connect("daemon"));
    ASSERT_TRUE(SimTree::create(home.filePath("sys"), {}));
    UserDefaults stored(home.filePath("config/Kestrune/defaults.json"));
    stored.set("backendEnabled", false);
    ASSERT_TRUE(stored.synchronize());

    QProcessEnvironment environment = bus.environment();
    environment.insert("KESTRUNE_BUS", "session");
    environment.insert("KESTRUNE_SYSFS_ROOT", home.filePath("sys"));
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString program = buildDir() + "/Kestrune/Program/kestrune";
    QDBusConnection watcher = bus.connect("watcher");
    auto running = [&] {
        return watcher.interface()->isServiceRegistered(QString::fromLatin1(SingleInstance::serviceName)).value();
    };

    ChildProcess first;
    ASSERT_TRUE(first.start(program, {"--login-item"}, environment));
    ASSERT_TRUE(waitUntil([&] { return running() && daemon.count(HelperProtocol::probeCapabilities) > 0; }, 30000));

    ChildProcess second;
    ASSERT_TRUE(second.start(program, {}, environment));
    ASSERT_TRUE(waitUntil([&] { return second.process().state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(first.process().state(), QProcess::Running);
    EXPECT_TRUE(running());

    spin(200);
    daemon.clearCalls();
    ::kill(pid_t(first.pid()), SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return first.process().state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
    EXPECT_EQ(daemon.methods(), (QStringList{HelperProtocol::resetChargingDefaults, HelperProtocol::restoreAllPowerSaving}));
    EXPECT_FALSE(running()) << "the name is let go";
}

} // namespace kestrune::test
