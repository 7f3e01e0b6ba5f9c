// What the application core costs while it idles, at production intervals on the simulated
// laptop with its battery model at real speed: the time from building the core to its first
// reading, its CPU time per hour (holding at the limit on AC, then on battery with the
// autopilot) and its memory. Run by hand; it takes two warm-ups and two measuring windows:
//
//     AppIdleBench [--warmup-seconds=60] [--window-seconds=600] [benchmark flags]

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "tests/EndToEnd/App/SimulatedApp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstring>
#include <vector>

using namespace kestrune;

namespace {

int warmupSeconds = 60;
int windowSeconds = 600;

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A line of /proc/self/status ("VmRSS:    41236 kB"), in MB.
double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(QLatin1String(field)),
        QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1024.0;
}

// Runs the event loop as the program does, sleeping until there is work.
void idle(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU seconds the process spends per hour of idling, after a warm-up.
double cpuSecondsPerHour()
{
    idle(warmupSeconds);
    const double before = cpuSeconds();
    idle(windowSeconds);
    return (cpuSeconds() - before) / windowSeconds * 3600.0;
}

void BM_AppIdle(benchmark::State& state)
{
    for (auto _ : state) {
        test::SimulatedApp laptop({.capacityPercent = 80, .defaults = {}});
        if (!test::SimulatedApp::canRun() || !laptop.setUp()) {
            state.SkipWithError("the simulated laptop could not be set up");
            return;
        }
        QElapsedTimer startup;
        startup.start();
        AppState& app = laptop.launch();
        app.start();
        state.counters["startup_ms"] = double(startup.nsecsElapsed()) / 1e6;

        state.counters["ac_cpu_s_per_h"] = cpuSecondsPerHour();
        test::SimProgram::run({QStringLiteral("unplug"), laptop.root});
        state.counters["battery_cpu_s_per_h"] = cpuSecondsPerHour();
        state.counters["VmRSS_MB"] = statusMegabytes("VmRSS");
        state.counters["VmHWM_MB"] = statusMegabytes("VmHWM");
        state.SetIterationTime(2.0 * (warmupSeconds + windowSeconds));

        // As the program does at quit: nothing the autopilot changed stays in force.
        app.helper().synchronousResetChargingDefaults();
    }
}
BENCHMARK(BM_AppIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

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
