// What the application core costs while it idles, at production intervals on the simulated
// laptop with its battery model at real speed: the time from building the core to its first
// reading, its CPU time per hour (holding at the limit on AC, then on battery with the
// autopilot) and its memory. Run by hand; it takes two warm-ups and two measuring windows:
//
//     AppIdleBench [--warmup-seconds=60] [--window-seconds=600] [benchmark flags]

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "bench/support/IdleWindows.h"
#include "tests/EndToEnd/App/SimulatedApp.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace kestrune;

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
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

        state.counters["ac_cpu_s_per_h"] = IdleWindows::cpuSecondsPerHour(cpuSeconds);
        test::SimProgram::run({QStringLiteral("unplug"), laptop.root});
        state.counters["battery_cpu_s_per_h"] = IdleWindows::cpuSecondsPerHour(cpuSeconds);
        state.counters["VmRSS_MB"] = IdleWindows::statusMegabytes(QStringLiteral("self"), "VmRSS");
        state.counters["VmHWM_MB"] = IdleWindows::statusMegabytes(QStringLiteral("self"), "VmHWM");
        state.SetIterationTime(2.0 * IdleWindows::seconds());

        // As the program does at quit: nothing the autopilot changed stays in force.
        app.helper().synchronousResetChargingDefaults();
    }
}
BENCHMARK(BM_AppIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
