// What the tray application costs while it idles: the `kestrune` program itself under an X
// server with a tray on its session bus (the popover closed), the real daemon and the
// simulated laptop with its battery model at real speed, at production intervals. Measures
// the time from launch to the tray item's registration, the program's CPU time per hour
// (holding at the limit on AC, then on battery with the autopilot) and its memory. Run by hand
// under an X server of its own:
//
//     xvfb-run -a TrayIdleBench [--warmup-seconds=60] [--window-seconds=600] [benchmark flags]

#include "Foundation/UserDefaults.h"
#include "bench/TrayIdle/FakeStatusNotifierWatcher.h"
#include "bench/support/IdleWindows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/SimProgram.h"
#include "tests/support/TestPaths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace kestrune;

namespace {

// User and system time of the process so far, in seconds.
double cpuSeconds(qint64 pid)
{
    // The fields after the command's closing parenthesis; utime and stime are the 14th and
    // 15th of the line, the 12th and 13th after it.
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray stat = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

void BM_TrayIdle(benchmark::State& state)
{
    for (auto _ : state) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            state.SkipWithError("no X server: run under xvfb-run -a");
            return;
        }
        test::PrivateBus bus;
        QTemporaryDir home;
        FakeStatusNotifierWatcher tray(bus.connect(QStringLiteral("tray")));
        const QString root = home.filePath(QStringLiteral("sys"));
        test::HelperDaemonProcess daemon;
        test::ChildProcess model;
        if (!bus.isRunning() || !tray.isRegistered()
            || !test::SimProgram::run({QStringLiteral("tree"), root, QStringLiteral("--capacity"), QStringLiteral("80")})
            || !daemon.start(bus, root)
            || !model.start(test::SimProgram::path(), {QStringLiteral("run"), root})) {
            state.SkipWithError("the simulated laptop could not be set up");
            return;
        }
        // No backend: the figures are the program's own.
        UserDefaults defaults(home.filePath(QStringLiteral("config/Kestrune/defaults.json")));
        defaults.set(QStringLiteral("backendEnabled"), false);
        defaults.synchronize();

        QProcessEnvironment environment = bus.environment();
        environment.insert(QStringLiteral("KESTRUNE_BUS"), QStringLiteral("session"));
        environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), root);
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        test::ChildProcess program;
        QElapsedTimer startup;
        startup.start();
        if (!program.start(test::buildDir() + QStringLiteral("/Kestrune/Program/kestrune"),
                           {QStringLiteral("--login-item")}, environment)
            || !test::waitUntil([&] { return !tray.registeredItems().isEmpty(); }, 30000)) {
            state.SkipWithError("the program put no item in the tray");
            return;
        }
        state.counters["tray_item_ms"] = double(startup.nsecsElapsed()) / 1e6;

        const qint64 pid = program.pid();
        const auto programCpu = [pid] { return cpuSeconds(pid); };
        state.counters["ac_cpu_s_per_h"] = IdleWindows::cpuSecondsPerHour(programCpu);
        test::SimProgram::run({QStringLiteral("unplug"), root});
        state.counters["battery_cpu_s_per_h"] = IdleWindows::cpuSecondsPerHour(programCpu);
        state.counters["VmRSS_MB"] = IdleWindows::statusMegabytes(QString::number(pid), "VmRSS");
        state.counters["VmHWM_MB"] = IdleWindows::statusMegabytes(QString::number(pid), "VmHWM");
        state.SetIterationTime(2.0 * IdleWindows::seconds());
        // The program quits as at logout: charging and power saving are given back.
        program.stop();
        model.stop();
    }
}
BENCHMARK(BM_TrayIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
