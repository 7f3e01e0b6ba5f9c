#include "KestruneHelper/PowerSaverOps.h"
#include "KestruneHelper/RegularUsers.h"
#include "tests/KestruneHelper/Ops/FakeSystemTools.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
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

const QByteArray customBatteryOff = "Battery Power:\n lowpowermode         0\nAC Power:\n lowpowermode         1\n";
const QByteArray customBatteryOn = "Battery Power:\n lowpowermode         1\nAC Power:\n lowpowermode         0\n";

constexpr std::uint32_t root = 0;

class PowerSaverOpsTest : public ::testing::Test {
protected:
    FakeSystemTools tools;
    QTemporaryDir scratch;
    PowerSaverOps ops{PowerSaverOps::Config{tools.table(), scratch.filePath("login.defs"), 2000}};

    std::optional<OpsError> errorOf(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const OpsError& e) {
            return e;
        }
        return std::nullopt;
    }
    void writeLoginDefs(const QByteArray& text)
    {
        QFile file(scratch.filePath("login.defs"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
};

// A child process to throttle; it is ended with the test.
class Child {
public:
    explicit Child(const QString& program = QStringLiteral("sleep"), const QStringList& arguments = {"30"},
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        process.waitForStarted();
    }
    ~Child()
    {
        process.kill();
        process.waitForFinished();
    }
    std::int32_t pid() const { return static_cast<std::int32_t>(process.processId()); }
    QProcess process;
};

int niceOf(int tid)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

QList<int> threadsOf(int pid)
{
    QList<int> threads;
    for (const QString& name : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        threads << name.toInt();
    return threads;
}

} // namespace

TEST_F(PowerSaverOpsTest, LowPowerModeSavesTheFormerSettingOnceAndRestoresIt)
{
    tools.setOutput("pmset", customBatteryOn);
    ops.setLowPowerMode(true);
    tools.setOutput("pmset", customBatteryOff); // the tool now reports what we set, wrongly or not
    ops.setLowPowerMode(true);
    EXPECT_EQ(ops.previousBatteryLPM(), std::optional<bool>(true));
    EXPECT_EQ(tools.calls(), (QStringList{"pmset -g custom", "pmset -b lowpowermode 1", "pmset -b lowpowermode 1"}));

    tools.clearCalls();
    EXPECT_FALSE(ops.restoreAll());
    EXPECT_EQ(tools.calls(), QStringList{"pmset -b lowpowermode 1"});
    EXPECT_FALSE(ops.previousBatteryLPM());
    EXPECT_FALSE(ops.holdsAnything());
}

TEST_F(PowerSaverOpsTest, SwitchingLowPowerModeOffForgetsTheSavedSetting)
{
    tools.setOutput("pmset", customBatteryOff);
    ops.setLowPowerMode(true);
    ops.setLowPowerMode(false);
    EXPECT_FALSE(ops.previousBatteryLPM());
    tools.clearCalls();
    EXPECT_FALSE(ops.restoreAll());
    EXPECT_TRUE(tools.calls().isEmpty());
}

TEST_F(PowerSaverOpsTest, UnreadableSettingIsSavedAsOffAndAFailedSwitchKeepsIt)
{
    tools.setStatus("pmset", 1);
    const auto error = errorOf([&] { ops.setLowPowerMode(true); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "/usr/bin/pmset -b lowpowermode 1 失敗 (status=1) ");
    EXPECT_EQ(ops.previousBatteryLPM(), std::optional<bool>(false));

    // A failed restore keeps the value for the next attempt.
    EXPECT_TRUE(ops.restoreAll());
    EXPECT_EQ(ops.previousBatteryLPM(), std::optional<bool>(false));
    tools.setStatus("pmset", 0);
    tools.clearCalls();
    EXPECT_FALSE(ops.restoreAll());
    EXPECT_EQ(tools.calls(), QStringList{"pmset -b lowpowermode 0"});
}

TEST_F(PowerSaverOpsTest, BatteryLowPowerModeIsReadFromTheBatterySectionOnly)
{
    tools.setOutput("pmset", "AC Power:\n lowpowermode 1\nBattery Power:\n  displaysleep 2\n  lowpowermode 0\n");
    EXPECT_EQ(ops.readBatteryLowPowerMode(), std::optional<bool>(false));
    tools.setOutput("pmset", "Battery Power:\n lowpowermode         1\n lowpowermode 0\n");
    EXPECT_EQ(ops.readBatteryLowPowerMode(), std::optional<bool>(true));
    tools.setOutput("pmset", "AC Power:\n lowpowermode 1\n");
    EXPECT_FALSE(ops.readBatteryLowPowerMode());
    tools.setOutput("pmset", customBatteryOn);
    tools.setStatus("pmset", 2);
    EXPECT_FALSE(ops.readBatteryLowPowerMode());
}

TEST_F(PowerSaverOpsTest, RestoreAllGoesOnAfterAFailureAndKeepsWhatItCouldNotUndo)
{
    ops.setSpotlightPaused(true);
    ops.setTimeMachinePaused(true);
    EXPECT_TRUE(ops.spotlightPausedByUs());
    EXPECT_TRUE(ops.timeMachinePausedByUs());

    tools.setStatus("mdutil", 3);
    tools.setOutput("mdutil", QByteArray(200, 'x'));
    tools.clearCalls();
    const auto error = ops.restoreAll();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), OpsError::Kind::CommandFailed);
    EXPECT_EQ(error->text(), "/usr/bin/mdutil -a -i on 失敗 (status=3) " + QString(120, 'x'));
    EXPECT_EQ(tools.calls(), (QStringList{"mdutil -a -i on", "tmutil enable"}));
    EXPECT_TRUE(ops.spotlightPausedByUs());
    EXPECT_FALSE(ops.timeMachinePausedByUs());
    EXPECT_TRUE(ops.holdsAnything());
}

TEST_F(PowerSaverOpsTest, RestoreAllWithNothingHeldRunsNoTool)
{
    EXPECT_FALSE(ops.restoreAll());
    EXPECT_TRUE(tools.calls().isEmpty());
}

TEST_F(PowerSaverOpsTest, ToolsAreBoundedInTimeAndTheirOutputIsReadSafely)
{
    // A tool that never ends is killed at the bound and reported as failed.
    tools.setScript("tmutil", "printf started\nexec sleep 30\n");
    QElapsedTimer elapsed;
    elapsed.start();
    auto error = errorOf([&] { ops.runCommand(SystemTools::tmutil, {"disable"}); });
    EXPECT_LT(elapsed.elapsed(), 10'000);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "/usr/bin/tmutil disable 失敗 (status=9) started");

    // Output that is not UTF-8 reads as empty; standard error is part of the output.
    tools.setScript("mdutil", "printf '\\377\\376'\nexit 4\n");
    error = errorOf([&] { ops.runCommand(SystemTools::mdutil, {"-a"}); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "/usr/bin/mdutil -a 失敗 (status=4) ");
    tools.setScript("mdutil", "echo out; echo err >&2\n");
    EXPECT_EQ(ops.runCommand(SystemTools::mdutil, {}), "out\nerr\n");

    // The message keeps 120 characters, counting a character as the reader sees it.
    tools.setScript("mdutil", "printf '%s' \"" + QString(130, u'あ') + "\"\nexit 1\n");
    error = errorOf([&] { ops.runCommand(SystemTools::mdutil, {}); });
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->text().endsWith(") " + QString(120, u'あ')));

    // A tool that cannot be started gives the launcher's own reason.
    PowerSaverOps missing(PowerSaverOps::Config{SystemTools({{SystemTools::pmset, "/nonexistent/pmset"}})});
    error = errorOf([&] { missing.runCommand(SystemTools::pmset, {"-g", "custom"}); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), OpsError::Kind::LaunchFailed);
    EXPECT_FALSE(error->text().isEmpty());
}

TEST_F(PowerSaverOpsTest, ThrottlingRefusesTheFirstProcessesItselfAndSystemAccounts)
{
    for (std::int32_t pid : {0, 1, -5, static_cast<std::int32_t>(getpid())}) {
        const auto error = errorOf([&] { ops.setProcessThrottled(pid, true, root); });
        ASSERT_TRUE(error) << pid;
        EXPECT_EQ(error->text(), QStringLiteral("不正なPID: %1").arg(pid));
    }

    // No such process: the kernel has no record, so it counts as uid 0.
    Child gone;
    const std::int32_t gonePid = gone.pid();
    gone.process.kill();
    gone.process.waitForFinished();
    auto error = errorOf([&] { ops.setProcessThrottled(gonePid, true, root); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), QStringLiteral("システムプロセスは対象外です (pid=%1, uid=0)").arg(gonePid));

    // A process of an account below UID_MIN.
    Child child;
    const std::uint32_t uid = geteuid();
    writeLoginDefs(QStringLiteral("# accounts\nUID_MIN   %1\n").arg(uid + 1).toUtf8());
    error = errorOf([&] { ops.setProcessThrottled(child.pid(), true, root); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), OpsError::Kind::SystemProcessProtected);
    EXPECT_EQ(error->text(), QStringLiteral("システムプロセスは対象外です (pid=%1, uid=%2)").arg(child.pid()).arg(uid));
    EXPECT_TRUE(ops.throttledPIDs().isEmpty());
    EXPECT_EQ(niceOf(child.pid()), 0);
}

TEST_F(PowerSaverOpsTest, AProcessIsKnownByItsOwnerAndStartTimeHoweverItIsNamedAndWhateverItAllocates)
{
    // A shell under a name with spaces and parentheses, which takes 4 MB more memory for
    // every line it reads.
    const QString name = QStringLiteral("x) (y z");
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable("bash"), scratch.filePath(name)));
    Child child(scratch.filePath(name),
                {"-c", "while read -r; do printf -v more '%s%*s' \"$more\" 4000000 ''; echo grown; done"});
    ASSERT_TRUE(waitUntil([&] { return readTrimmed(QStringLiteral("/proc/%1/comm").arg(child.pid())) == name; }));

    // Fields 22 (start time) and 23 (memory size), read after the name the test knows.
    const auto statField = [&](int field) {
        const QString stat = readTrimmed(QStringLiteral("/proc/%1/stat").arg(child.pid()));
        const QString head = QStringLiteral("%1 (%2) ").arg(child.pid()).arg(name);
        EXPECT_TRUE(stat.startsWith(head)) << stat.toStdString();
        return stat.mid(head.size()).split(u' ').value(field - 3).toULongLong();
    };
    const auto identity = ProcessIdentity::of(child.pid());
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->uid, geteuid());
    EXPECT_EQ(identity->startTime, statField(22));

    const quint64 memory = statField(23);
    child.process.write("\n");
    ASSERT_TRUE(waitUntil([&] { return child.process.readAllStandardOutput().contains("grown"); }, 30'000));
    ASSERT_NE(statField(23), memory);
    EXPECT_EQ(ProcessIdentity::of(child.pid()), identity);
}

TEST_F(PowerSaverOpsTest, ACallerOtherThanRootLowersOnlyItsOwnProcesses)
{
    writeLoginDefs("UID_MIN 0\n");
    Child child;
    const std::uint32_t owner = geteuid();
    // Refused as the kernel would refuse that user, before anything is changed.
    const auto error = errorOf([&] { ops.setProcessThrottled(child.pid(), true, owner + 1); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), QStringLiteral("setpriority失敗 (pid=%1, errno=1)").arg(child.pid()));
    EXPECT_EQ(niceOf(child.pid()), 0);
    EXPECT_TRUE(ops.throttledPIDs().isEmpty());

    ops.setProcessThrottled(child.pid(), true, owner);
    EXPECT_EQ(niceOf(child.pid()), 19);
    EXPECT_EQ(ops.throttledPIDs(), QSet<std::int32_t>{child.pid()});
}

TEST_F(PowerSaverOpsTest, RegularUsersAreBoundedByLoginDefsWithoutTheSystemsOwnAccounts)
{
    const QString path = scratch.filePath("login.defs");
    const auto regular = [&](std::initializer_list<std::uint32_t> uids) {
        QList<std::uint32_t> found;
        const RegularUsers users(path);
        for (std::uint32_t uid : uids) {
            if (users.contains(uid))
                found << uid;
        }
        return found;
    };
    // No file: 1000 to 60000.
    EXPECT_EQ(regular({0, 999, 1000, 60000, 60001}), (QList<std::uint32_t>{1000, 60000}));
    writeLoginDefs("#UID_MIN 10\nUID_MIN\t\t\t 500\nUID_MAX lots\n");
    EXPECT_EQ(regular({499, 500, 60000, 60001}), (QList<std::uint32_t>{500, 60000}));
    // However wide the range, "nobody" and systemd's dynamic service users stay out.
    writeLoginDefs("UID_MIN 1000\nUID_MAX 4000000000\n");
    EXPECT_EQ(regular({61183, 61184, 61200, 65519, 65520, 65534, 65535}), (QList<std::uint32_t>{61183, 65520, 65535}));
}

TEST_F(PowerSaverOpsTest, ThrottlingLowersEveryThreadAndRestoresTheFormerNiceValue)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a process its former, higher priority back needs root";
    writeLoginDefs("UID_MIN 0\n");
    Child child(QStringLiteral("sleep"), {"30"});
    ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(child.pid()), 5), 0);

    ops.setProcessThrottled(child.pid(), true, root);
    ops.setProcessThrottled(child.pid(), true, root); // twice must not lose the value to return to
    EXPECT_EQ(niceOf(child.pid()), 19);
    EXPECT_EQ(ops.throttledPIDs(), QSet<std::int32_t>{child.pid()});
    ops.setProcessThrottled(child.pid(), false, root);
    EXPECT_EQ(niceOf(child.pid()), 5);
    EXPECT_TRUE(ops.throttledPIDs().isEmpty());

    // Linux keeps a nice value per thread. The daemon is a process with several threads;
    // on a bus of its own it waits to be ended.
    PrivateBus bus;
    QTemporaryDir machine;
    QProcessEnvironment env = bus.environment();
    env.insert("KESTRUNE_SYSFS_ROOT", machine.path());
    Child threaded(buildDir() + "/KestruneHelper/kestrune-helper", {}, env);
    ASSERT_TRUE(waitUntil([&] { return threadsOf(threaded.pid()).size() >= 3; }, 5000));
    const QList<int> threads = threadsOf(threaded.pid());
    ops.setProcessThrottled(threaded.pid(), true, root);
    for (int tid : threads)
        EXPECT_EQ(niceOf(tid), 19) << tid;
    EXPECT_FALSE(ops.restoreAll());
    for (int tid : threads)
        EXPECT_EQ(niceOf(tid), 0) << tid;
    EXPECT_FALSE(ops.holdsAnything());
}

TEST_F(PowerSaverOpsTest, AProcessThatEndedIsDroppedFromTheThrottledSet)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a process its former, higher priority back needs root";
    writeLoginDefs("UID_MIN 0\n");
    auto child = std::make_unique<Child>();
    const std::int32_t pid = child->pid();
    ops.setProcessThrottled(pid, true, root);
    child.reset();
    // restoreAll ignores a process that is gone and empties the set all the same.
    EXPECT_FALSE(ops.restoreAll());
    EXPECT_TRUE(ops.throttledPIDs().isEmpty());
}
