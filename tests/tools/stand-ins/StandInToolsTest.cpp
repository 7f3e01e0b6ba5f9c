#include "KestruneHelper/PowerMetricsSampler.h"
#include "tests/support/BusyProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

// The stand-ins on a simulated laptop in a temporary folder.
class StandInToolsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SimTree::create(root.path(), {})); }

    ToolRun run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTRUNE_SYSFS_ROOT", root.path());
        process.setProcessEnvironment(env);
        process.start(buildDir() + "/tools/" + tool + "/" + tool, arguments);
        process.waitForFinished(20'000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    QString profile() const { return readTrimmed(SimTree::platformProfilePath(root.path())); }
    void writeFile(const QString& path, const QString& text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8() + '\n');
    }
    void setProfile(const QString& name) { writeFile(SimTree::platformProfilePath(root.path()), name); }

    QTemporaryDir root;
};

} // namespace

TEST_F(StandInToolsTest, PmsetSwitchesTheSimulatedLowPowerModeAndGivesBackTheProfileItReplaced)
{
    EXPECT_EQ(run("pmset", {"-g", "custom"}).out,
              "Battery Power:\n lowpowermode         0\nAC Power:\n lowpowermode         0\n");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "1"}).status, 0);
    EXPECT_EQ(profile(), "low-power");
    EXPECT_TRUE(run("pmset", {"-g", "custom"}).out.startsWith("Battery Power:\n lowpowermode         1\n"));
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(profile(), "balanced");

    // A user on "performance" gets it back, however often low power mode is switched on.
    setProfile("performance");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "1"}).status, 0);
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "1"}).status, 0);
    EXPECT_EQ(profile(), "low-power");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(profile(), "performance");

    // A profile the user picked while low power mode was on stays.
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "1"}).status, 0);
    setProfile("balanced");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(profile(), "balanced");
    // ...and is not brought back by a later switch-off.
    setProfile("low-power");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(profile(), "balanced");

    // A replaced profile the machine no longer offers gives way to "balanced".
    setProfile("performance");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "1"}).status, 0);
    writeFile(SimTree::platformProfilePath(root.path()) + "_choices", "low-power balanced");
    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(profile(), "balanced");

    EXPECT_EQ(run("pmset", {"-b", "lowpowermode", "2"}).status, 64);
    EXPECT_EQ(run("pmset", {"-a", "lowpowermode", "1"}).status, 64);
    QFile::remove(SimTree::platformProfilePath(root.path()));
    const ToolRun missing = run("pmset", {"-g", "custom"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("platform_profile")) << missing.err.toStdString();
}

TEST_F(StandInToolsTest, MdutilAndTmutilResumeOnlyWhatTheyPaused)
{
    const QString indexing = SimTree::statePath(root.path(), "indexing");
    const QString backups = SimTree::statePath(root.path(), "backups");
    EXPECT_EQ(run("mdutil", {"-a", "-i", "off"}).status, 0);
    EXPECT_EQ(readTrimmed(indexing), "off");
    EXPECT_EQ(run("mdutil", {"-a", "-i", "on"}).status, 0);
    EXPECT_EQ(readTrimmed(indexing), "on");
    EXPECT_EQ(run("mdutil", {"-i", "off"}).status, 64);

    EXPECT_EQ(run("tmutil", {"disable"}).status, 0);
    EXPECT_EQ(run("tmutil", {"disable"}).status, 0);
    EXPECT_EQ(readTrimmed(backups), "disabled");
    EXPECT_EQ(run("tmutil", {"enable"}).status, 0);
    EXPECT_EQ(readTrimmed(backups), "enabled");
    EXPECT_EQ(run("tmutil", {"stop"}).status, 64);

    // Jobs the administrator had stopped stay stopped through a pause and its resume.
    writeFile(indexing, "off");
    writeFile(backups, "disabled");
    EXPECT_EQ(run("mdutil", {"-a", "-i", "off"}).status, 0);
    EXPECT_EQ(run("tmutil", {"disable"}).status, 0);
    EXPECT_EQ(run("mdutil", {"-a", "-i", "on"}).status, 0);
    EXPECT_EQ(run("tmutil", {"enable"}).status, 0);
    EXPECT_EQ(readTrimmed(indexing), "off");
    EXPECT_EQ(readTrimmed(backups), "disabled");

    // A pause that cannot note what it stops stops nothing: a job stopped without its note
    // would stay stopped for good.
    writeFile(indexing, "on");
    ASSERT_TRUE(QDir().mkpath(SimTree::statePath(root.path(), "mdutil.paused")));
    EXPECT_EQ(run("mdutil", {"-a", "-i", "off"}).status, 1);
    EXPECT_EQ(readTrimmed(indexing), "on");
}

TEST_F(StandInToolsTest, PowermetricsReportsABusyProcessInThePropertyListTheDaemonReads)
{
    // A name with the characters XML reserves, which the kernel cuts inside its last one.
    QProcess busy;
    busy.start(BusyProcess::program(), {QStringLiteral("<&>aテスト中"), "1"});
    ASSERT_TRUE(busy.waitForStarted());
    const qint64 busyPid = busy.processId();
    ASSERT_TRUE(waitUntil([&] { return readTrimmed(QStringLiteral("/proc/%1/comm").arg(busyPid)).startsWith("<&>a"); }));
    const ToolRun sample = run("powermetrics", PowerMetricsSampler::arguments(1).replaceInStrings("1000", "400"));
    busy.kill();
    busy.waitForFinished();
    ASSERT_EQ(sample.status, 0) << sample.err.toStdString();

    const auto processes = PowerMetricsSampler::parse(sample.out.toUtf8());
    const auto found = std::find_if(processes.begin(), processes.end(),
                                    [&](const ProcessPowerSample& p) { return p.pid == busyPid; });
    ASSERT_NE(found, processes.end());
    EXPECT_EQ(found->name, QStringLiteral("<&>aテスト\uFFFD\uFFFD")) << "one U+FFFD for each byte left of the cut character";
    // How much of a core the loop gets depends on the machine's load; one thread never gets
    // more than one core (the tick count allows for a tick of rounding either way).
    EXPECT_GT(found->cpuMsPerS, 0);
    EXPECT_LE(found->cpuMsPerS, 1000 + 2 * 10 / 0.4);
    EXPECT_NEAR(found->energyImpact, found->cpuMsPerS / 10, 1e-9);
    EXPECT_TRUE(sample.out.contains("<string>ALL_TASKS</string>"));

    // A sample that cannot be written whole is a failure.
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(buildDir() + "/tools/powermetrics/powermetrics", PowerMetricsSampler::arguments(1).replaceInStrings("1000", "1"));
    ASSERT_TRUE(full.waitForFinished(20'000));
    EXPECT_EQ(full.exitCode(), 1);

    EXPECT_EQ(run("powermetrics", {"--samplers", "cpu_power", "-i", "100", "-n", "1", "-f", "plist"}).status, 64);
    EXPECT_EQ(run("powermetrics", {"--samplers", "tasks", "-i", "100", "-n", "3", "-f", "plist"}).status, 64);
}
