#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

class BatteryModelTest : public ::testing::Test {
protected:
    void make(SimTree::Options options = {})
    {
        ASSERT_TRUE(SimTree::create(root.path(), options));
        model.setThrottledCounter([this] { return throttled; });
    }
    QString battery() const { return SimTree::batteryPath(root.path()); }
    QString read(const QString& attribute) const { return PowerSupplyTree::read(battery(), attribute).value_or("?"); }
    qint64 number(const QString& attribute) const { return PowerSupplyTree::readInteger(battery(), attribute).value_or(-1); }
    void write(const QString& attribute, const QString& value)
    {
        ASSERT_TRUE(PowerSupplyTree::write(battery(), attribute, value));
    }
    void step(double seconds)
    {
        QString error;
        ASSERT_TRUE(model.step(seconds, &error)) << error.toStdString();
    }

    QTemporaryDir root;
    BatteryModel model{root.path()};
    int throttled = 0;
};

} // namespace

TEST_F(BatteryModelTest, ChargesOnMainsUpToTheEndThresholdAndHoldsThere)
{
    SimTree::Options options;
    options.endThreshold = 80;
    make(options);
    const qint64 before = number("energy_now");
    step(60);
    // 30 W for a minute is 0.5 Wh.
    EXPECT_EQ(number("energy_now") - before, 500'000);
    EXPECT_EQ(read("status"), "Charging");
    EXPECT_EQ(number("power_now"), 30'000'000);

    step(3600);
    EXPECT_EQ(number("capacity"), 80);
    EXPECT_EQ(read("status"), "Not charging");
    const qint64 held = number("energy_now");
    // The status stays the same file while it says the same: what watches it for plugging and
    // charging wakes for nothing else.
    const auto statusFile = [&] {
        struct stat status {};
        return ::stat(QFile::encodeName(battery() + "/status").constData(), &status) == 0 ? status.st_ino : 0;
    };
    const ino_t holding = statusFile();
    step(600);
    EXPECT_EQ(number("energy_now"), held);
    EXPECT_EQ(number("power_now"), 0);
    EXPECT_EQ(statusFile(), holding);
}

TEST_F(BatteryModelTest, InhibitHoldsForcedDischargeAndBatteryPowerDrain)
{
    make();
    write("charge_behaviour", "inhibit-charge");
    const qint64 start = number("energy_now");
    step(600);
    EXPECT_EQ(number("energy_now"), start);
    EXPECT_EQ(read("status"), "Not charging");

    write("charge_behaviour", "force-discharge");
    const double draw = model.drawWatts();
    step(3600);
    EXPECT_NEAR(start - number("energy_now"), draw * 1e6, 1);
    EXPECT_EQ(read("status"), "Discharging");

    write("charge_behaviour", "auto");
    ASSERT_TRUE(BatteryModel::setAdapterOnline(root.path(), false));
    const qint64 unplugged = number("energy_now");
    step(60);
    EXPECT_LT(number("energy_now"), unplugged);
    EXPECT_EQ(read("status"), "Discharging");
    ASSERT_TRUE(BatteryModel::setAdapterOnline(root.path(), true));
    step(60);
    EXPECT_EQ(read("status"), "Charging");
}

TEST_F(BatteryModelTest, TheDrawFollowsLoadLowPowerModeBrightnessAndThrottling)
{
    make();
    ASSERT_TRUE(BatteryModel::setLoad(root.path(), 10));
    // Display at 15514 of 19393, keyboard at 1 of 2.
    const double screens = BatteryModel::displayWatts * 15514 / 19393 + BatteryModel::keyboardWatts / 2;
    EXPECT_NEAR(model.drawWatts(), 10 + screens, 1e-9);

    ASSERT_TRUE(PowerSupplyTree::write(QFileInfo(SimTree::platformProfilePath(root.path())).path(), "platform_profile",
                                       "low-power\n"));
    EXPECT_NEAR(model.drawWatts(), 10 * BatteryModel::lowPowerFactor + screens, 1e-9);

    throttled = 2;
    EXPECT_NEAR(model.drawWatts(), 8 + screens - 2 * BatteryModel::throttledWatts, 1e-9);
    throttled = 100;
    EXPECT_NEAR(model.drawWatts(), 8 + screens - BatteryModel::maxThrottledWatts, 1e-9);

    ASSERT_TRUE(BatteryModel::setLoad(root.path(), 0));
    ASSERT_TRUE(PowerSupplyTree::write(SimTree::backlightPath(root.path()), "brightness", "0"));
    ASSERT_TRUE(PowerSupplyTree::write(SimTree::keyboardBacklightPath(root.path()), "brightness", "0"));
    EXPECT_EQ(model.drawWatts(), BatteryModel::minimumDrawWatts);
    EXPECT_FALSE(BatteryModel::setLoad(root.path(), -1));
}

TEST_F(BatteryModelTest, ChargeUnitsMoveToo)
{
    SimTree::Options options;
    options.units = SimTree::Options::Units::Charge;
    options.acOnline = false;
    make(options);
    const qint64 before = number("charge_now");
    step(3600);
    EXPECT_LT(number("charge_now"), before);
    EXPECT_GT(number("current_now"), 0);
    EXPECT_EQ(number("capacity"), qRound(100.0 * number("charge_now") / number("charge_full")));
}

TEST_F(BatteryModelTest, AWrittenModeIsShownTheWayTheKernelShowsIt)
{
    SimTree::Options options;
    options.behaviourModes = {"auto", "inhibit-charge"};
    make(options);
    step(1);
    write("charge_behaviour", "inhibit-charge");
    step(1);
    EXPECT_EQ(read("charge_behaviour"), "auto [inhibit-charge]");

    // A model that never saw the list uses the simulated laptop's own.
    write("charge_behaviour", "auto");
    BatteryModel fresh(root.path());
    ASSERT_TRUE(fresh.step(1));
    EXPECT_EQ(read("charge_behaviour"), "[auto] inhibit-charge force-discharge");
}

namespace {
// Runs the program to its end; its output is not wanted.
int runSim(const QStringList& arguments)
{
    QProcess process;
    process.start(buildDir() + "/tools/kestrune-sim/kestrune-sim", arguments);
    process.waitForFinished(10'000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
} // namespace

TEST(KestruneSimProgram, FastForwardsFromSeventyToEightyPercentInAboutASecond)
{
    QTemporaryDir root;
    ASSERT_EQ(runSim({"tree", root.path(), "--capacity", "70"}), 0);
    QProcess run;
    run.start(buildDir() + "/tools/kestrune-sim/kestrune-sim", {"run", root.path(), "--tick-ms", "50", "--speed", "600"});
    ASSERT_TRUE(run.waitForStarted());
    QElapsedTimer elapsed;
    elapsed.start();
    const QString battery = SimTree::batteryPath(root.path());
    EXPECT_TRUE(waitUntil([&] { return PowerSupplyTree::readInteger(battery, "capacity").value_or(0) >= 80; }, 4000));
    EXPECT_LT(elapsed.elapsed(), 4000);

    // Steering it from outside: unplugged, it drains.
    ASSERT_EQ(runSim({"unplug", root.path()}), 0);
    ASSERT_EQ(runSim({"load", root.path(), "40"}), 0);
    const qint64 level = PowerSupplyTree::readInteger(battery, "energy_now").value_or(0);
    EXPECT_TRUE(waitUntil(
        [&] {
            return PowerSupplyTree::readInteger(battery, "energy_now").value_or(0) < level
                && PowerSupplyTree::read(battery, "status") == "Discharging";
        },
        2000));
    run.kill();
    run.waitForFinished();

    EXPECT_EQ(runSim({"load", root.path(), "lots"}), 2);
    EXPECT_EQ(runSim({"run", root.path(), "--speed", "0"}), 2);
    EXPECT_EQ(runSim({"run", root.path(), "--processes-of", "me"}), 2);
    EXPECT_EQ(runSim({"run", root.path(), "--ticks", "2", "--tick-ms", "1"}), 0);
}

TEST(KestruneSimProgram, AMachineOfItsOwnCountsOnlyItsOwnProcessesAtBackgroundPriority)
{
    QProcess background, other;
    background.start("sleep", {"30"});
    other.start("sleep", {"30"});
    ASSERT_TRUE(background.waitForStarted() && other.waitForStarted());
    ASSERT_EQ(setpriority(PRIO_PROCESS, id_t(background.processId()), 19), 0);
    const qint64 self = QCoreApplication::applicationPid();
    EXPECT_EQ(BatteryModel::countBackgroundProcesses(self), 1);
    EXPECT_EQ(BatteryModel::countBackgroundProcesses(background.processId()), 1);
    EXPECT_EQ(BatteryModel::countBackgroundProcesses(other.processId()), 0);
    EXPECT_GE(BatteryModel::countBackgroundProcesses(), 1) << "every process of the machine";
    background.kill();
    other.kill();
    background.waitForFinished();
    other.waitForFinished();
}
