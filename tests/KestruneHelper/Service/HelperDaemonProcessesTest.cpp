#include "tests/KestruneHelper/Service/HelperDaemonFixture.h"
#include "tests/support/FakePolkitAuthority.h"
#include "tests/support/TestPaths.h"

#include <QProcess>
#include <QStandardPaths>

#include <linux/sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

bool canSwitchUsers()
{
    return geteuid() == 0 && !QStandardPaths::findExecutable("setpriv").isEmpty();
}

QString commandOf(qint64 pid)
{
    return readTrimmed(QStringLiteral("/proc/%1/comm").arg(pid));
}

// A `sleep` (or another command) of another user at a given nice value, ended with the test:
// setpriv switches the user and `nice` the priority before the command takes over the same pid.
class Sleeper {
public:
    explicit Sleeper(std::uint32_t uid, int nice = 0, const QStringList& command = {"sleep", "60"})
    {
        const QString id = QString::number(uid);
        process.start("setpriv", QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups", "nice", "-n",
                                             QString::number(nice)}
                                     + command);
        pid = process.waitForStarted() ? process.processId() : 0;
        started = pid > 0 && waitUntil([&] { return commandOf(pid) == command.first(); }, 5000);
    }
    ~Sleeper()
    {
        process.kill();
        process.waitForFinished();
    }

    QProcess process;
    qint64 pid = 0;
    bool started = false;
};

// A root `sleep` at a given nice value under exactly the pid a process that ended had, as the
// kernel hands out pids again (clone3 with set_tid; root only).
class ProcessAtPid {
public:
    ProcessAtPid(pid_t wanted, int nice)
    {
        clone_args args{};
        args.exit_signal = SIGCHLD;
        args.set_tid = reinterpret_cast<std::uint64_t>(&wanted);
        args.set_tid_size = 1;
        const long child = syscall(SYS_clone3, &args, sizeof args);
        if (child == 0) {
            setpriority(PRIO_PROCESS, 0, nice);
            execlp("sleep", "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        pid = static_cast<pid_t>(child);
        started = pid == wanted && waitUntil([&] { return commandOf(pid) == "sleep"; }, 5000);
    }
    ~ProcessAtPid()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    pid_t pid = -1;
    bool started = false;
};

} // namespace

TEST_F(HelperDaemonTest, ThrottlesOnlyRegularUsersProcessesAndRestoresExactlyWhatItChanged)
{
    if (!canSwitchUsers())
        GTEST_SKIP() << "running processes of other users needs root and setpriv";
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    start();
    const auto throttle = [&](qint64 pid, bool on) { return command("setProcessThrottled", {pid, on}); };

    // The overflow user and a systemd dynamic user are system accounts.
    for (std::uint32_t uid : {65534u, 61200u}) {
        Sleeper system(uid);
        ASSERT_TRUE(system.started);
        EXPECT_EQ(throttle(system.pid, true).message,
                  QStringLiteral("システムプロセスは対象外です (pid=%1, uid=%2)").arg(system.pid).arg(uid));
        EXPECT_EQ(niceOf(system.pid), 0);
    }

    // A regular user's process goes to background priority, and back to its own once
    // released, though it took more memory meanwhile.
    Sleeper grower(1000, 3, {"bash", "-c", "read -r; printf -v more '%*s' 4000000 ''; echo grown; sleep 60"});
    ASSERT_TRUE(grower.started);
    EXPECT_TRUE(throttle(grower.pid, true).success);
    EXPECT_EQ(niceOf(grower.pid), 19);
    grower.process.write("\n");
    ASSERT_TRUE(waitUntil([&] { return grower.process.readAllStandardOutput().contains("grown"); }, 30'000));
    EXPECT_TRUE(throttle(grower.pid, false).success);
    EXPECT_EQ(niceOf(grower.pid), 3);

    Sleeper regular(1000, 3);
    ASSERT_TRUE(regular.started);
    EXPECT_TRUE(throttle(regular.pid, true).success);
    EXPECT_EQ(niceOf(regular.pid), 19);

    // Releasing a process the daemon has no record of (as after its restart) undoes only
    // background priority; any other value is the owner's own.
    Sleeper niceTen(1000, 10), background(1000, 19);
    ASSERT_TRUE(niceTen.started && background.started);
    EXPECT_TRUE(throttle(niceTen.pid, false).success);
    EXPECT_EQ(niceOf(niceTen.pid), 10);
    EXPECT_TRUE(throttle(background.pid, false).success);
    EXPECT_EQ(niceOf(background.pid), 0);

    // A throttled process ends and a root process gets its pid: that one is no business of
    // the restore.
    auto ended = std::make_unique<Sleeper>(1000);
    ASSERT_TRUE(ended->started);
    const pid_t reused = static_cast<pid_t>(ended->pid);
    EXPECT_TRUE(throttle(reused, true).success);
    ended.reset();
    const ProcessAtPid successor(reused, 7);
    ASSERT_TRUE(successor.started) << "pid " << reused << " was not handed out again";

    const HelperCommandResult restored = command("restoreAllPowerSaving");
    EXPECT_TRUE(restored.success) << restored.message.value_or("").toStdString();
    EXPECT_EQ(niceOf(regular.pid), 3);
    EXPECT_EQ(niceOf(successor.pid), 7);
}

TEST_F(HelperDaemonOtherUserTest, ACallerOtherThanRootActsOnlyOnItsOwnProcesses)
{
    if (!canSwitchUsers())
        GTEST_SKIP() << "calling as another user needs root and setpriv";
    ASSERT_TRUE(SimTree::create(machine.path(), {}));
    // The private bus poses as the system bus, with an authority that allows everyone asked.
    FakePolkitAuthority authority;
    ASSERT_TRUE(authority.registerOn(bus.connect("authority")));
    HelperDaemonProcess::Options options;
    options.asSystemBus = true;
    start(options);

    const auto callAs = [&](std::uint32_t uid, const QStringList& calls) {
        const QString id = QString::number(uid);
        QProcess caller;
        caller.setProcessEnvironment(bus.environment());
        caller.setProcessChannelMode(QProcess::MergedChannels);
        caller.start("setpriv", QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups",
                                            buildDir() + "/tools/kestrune-call/kestrune-call"}
                                    + calls);
        // The authority answers from this thread's event loop, so the wait keeps it running.
        waitUntil([&] { return caller.state() == QProcess::NotRunning; }, 20'000);
        return QString::fromUtf8(caller.readAll());
    };

    Sleeper own(1000), others(1001);
    ASSERT_TRUE(own.started && others.started);
    const QString answers = callAs(1000, {"setProcessThrottled", QString::number(others.pid), "true", "--",
                                          "setProcessThrottled", QString::number(own.pid), "true", "--",
                                          "readChargingState"});
    // The kernel's own answer to a user who lowers someone else's process.
    const QString refusal = QStringLiteral(R"json({"message":"setpriority失敗 (pid=%1, errno=1)","success":false})json");
    EXPECT_TRUE(answers.startsWith(refusal.arg(others.pid))) << answers.toStdString();
    EXPECT_TRUE(answers.contains(R"({"success":true})")) << answers.toStdString();
    EXPECT_EQ(niceOf(others.pid), 0);
    EXPECT_EQ(niceOf(own.pid), 19);
    // One question to the authority per caller, however many calls it makes.
    EXPECT_EQ(authority.checks, 1);

    // A system account is refused without asking: the authority would never allow it.
    const QString refused = callAs(65534, {"setChargingEnabled", "false"});
    EXPECT_TRUE(refused.contains("org.freedesktop.DBus.Error.AccessDenied")) << refused.toStdString();
    EXPECT_EQ(authority.checks, 1);
    EXPECT_EQ(attribute("charge_behaviour"), "[auto] inhibit-charge force-discharge");
}
