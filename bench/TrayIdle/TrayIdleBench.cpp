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
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/SimProgram.h"
#include "tests/support/TestPaths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <vector>

using namespace kestrune;

namespace {

int warmupSeconds = 60;
int windowSeconds = 600;

QByteArray procFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// User and system time of the process so far, in seconds.
double cpuSeconds(qint64 pid)
{
    // The fields after the command's closing parenthesis; utime and stime are the 14th and
    // 15th of the line, the 12th and 13th after it.
    const QByteArray stat = procFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status ("VmRSS:    41236 kB"), in MB.
double statusMegabytes(qint64 pid, const char* field)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(procFile(pid, "status"))).captured(1).toDouble() / 1024.0;
}

// CPU seconds the program spends per hour of idling, after a warm-up.
double cpuSecondsPerHour(qint64 pid)
{
    test::spin(warmupSeconds * 1000);
    const double before = cpuSeconds(pid);
    test::spin(windowSeconds * 1000);
    return (cpuSeconds(pid) - before) / windowSeconds * 3600.0;
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
        state.counters["ac_cpu_s_per_h"] = cpuSecondsPerHour(pid);
        test::SimProgram::run({QStringLiteral("unplug"), root});
        state.counters["battery_cpu_s_per_h"] = cpuSecondsPerHour(pid);
        state.counters["VmRSS_MB"] = statusMegabytes(pid, "VmRSS");
        state.counters["VmHWM_MB"] = statusMegabytes(pid, "VmHWM");
        state.SetIterationTime(2.0 * (warmupSeconds + windowSeconds));
        // The program quits as at logout: charging and power saving are given back.
        program.stop();
        model.stop();
    }
}
BENCHMARK(BM_TrayIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Takes this program's own flags out of the arguments.
void readFlags(int& argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--warmup-seconds=", 17) == 0)
            warmupSeconds = std::atoi(argv[i] + 17);
        else if (std::strncmp(argv[i], "--window-seconds=", 17) == 0)
            windowSeconds = std::max(1, std::atoi(argv[i] + 17));
        else
            rest.push_back(argv[i]);
    }
    argc = int(rest.size());
    std::copy(rest.begin(), rest.end(), argv);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    readFlags(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
