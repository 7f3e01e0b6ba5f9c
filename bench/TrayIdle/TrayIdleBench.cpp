// What the tray application costs on a laptop, beside a minimal tray program (minimal-tray,
// which reads one sysfs file every 30 s) in the same run: the `kestrune` program itself under
// an X server with a tray on its session bus (the popover closed), the real daemon and the
// simulated laptop with its battery model at real speed, at production intervals, for a user
// of three months (90 days of history).
//
// BM_TrayIdle: with an application's window in front and a heavy process of a regular user
// (two busy threads), so that the power saver samples processes and weighs throttling them,
// each program's CPU time, wake-ups (context switches) and file syncs (fsync, fdatasync,
// sync_file_range, syncfs, sync) per hour, counted by perf in the kernel without stopping the
// programs; the daemon's figures include the tools it starts. One window holding at the limit
// on AC, then one on battery with the autopilot, each after a warm-up; then the memory.
// BM_TrayStartup: the time from launch to the tray item's registration, and the CPU time the
// program has taken by then, for each program: ten launches, each on a machine of its own after
// a first launch there that ended as at logout; the mean, median, spread, least and most.
//
// Run by hand; the script installs perf where it is missing, builds, and runs this under an X
// server of its own, passing its arguments on:
//
//     bench/TrayIdle/measure [--warmup-seconds=N] [--window-seconds=N] [benchmark flags]
//
// The warm-up is 60 s and each window 600 s unless they say otherwise: e.g.
// --window-seconds=300 --benchmark_repetitions=2 for two runs of five-minute windows,
// --window-seconds=20 for a short try, --benchmark_filter=BM_TrayStartup for the start-up alone.

#include "bench/TrayIdle/ActiveWindow.h"
#include "bench/TrayIdle/MeteredProgram.h"
#include "bench/TrayIdle/TrayMachine.h"
#include "bench/support/IdleWindows.h"
#include "tests/support/BusyProcess.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/SimProgram.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace kestrune;

namespace {

struct Program {
    std::string name;
    MeteredProgram* program;
};

// CPU time the process's threads have taken, in ms (their first field of schedstat, in ns).
double cpuMilliseconds(qint64 pid)
{
    double ns = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + u'/' + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

bool launch(MeteredProgram& program, TrayMachine& machine, const QString& path, const QStringList& arguments,
    bool metered, const QString& counts)
{
    return program.start(path, arguments, machine.programEnvironment(), metered, machine.path(counts))
        && test::waitUntil([&] { return machine.tray().registeredAt(program.pid()).has_value(); }, 30000);
}

bool launchKestrune(MeteredProgram& program, TrayMachine& machine, bool metered)
{
    return launch(program, machine, TrayMachine::kestrune(), { QStringLiteral("--login-item") }, metered,
        QStringLiteral("kestrune.counts"));
}

bool launchMinimal(MeteredProgram& program, TrayMachine& machine, bool metered)
{
    return launch(program, machine, TrayMachine::minimalTray(),
        { machine.sysfsRoot() + QStringLiteral("/class/power_supply/BAT0/capacity") }, metered,
        QStringLiteral("minimal.counts"));
}

// One window of the programs' counts after a warm-up, per hour, as counters named
// "<phase>_<program>_<figure>", with the application and its daemon beside the minimal
// program; and the same as a table on standard error. Also how many cores the heavy process
// kept busy: on a machine busy with other work it may get too little CPU time to count as
// heavy (an impact of 150, one and a half cores), and then no process is weighed for
// throttling.
bool measurePhase(
    benchmark::State& state, const std::string& phase, const std::vector<Program>& programs, qint64 heavyPid)
{
    std::vector<MeteredProgram::Counts> before(programs.size());
    std::vector<MeteredProgram::Counts> after(programs.size());
    double heavyBefore = 0;
    double heavyAfter = 0;
    IdleWindows::measure(
        [&] {
            for (size_t i = 0; i < programs.size(); ++i)
                before[i] = programs[i].program->counts();
            heavyBefore = cpuMilliseconds(heavyPid);
        },
        [&] {
            for (size_t i = 0; i < programs.size(); ++i)
                after[i] = programs[i].program->counts();
            heavyAfter = cpuMilliseconds(heavyPid);
        });
    const double hours = IdleWindows::windowSeconds / 3600.0;
    const double heavyCores = (heavyAfter - heavyBefore) / 1000.0 / IdleWindows::windowSeconds;
    state.counters[phase + "_heavy_cores"] = heavyCores;
    std::fprintf(stderr, "\n%-8s %-8s %10s %12s %9s   (the heavy process kept %.2f cores busy)\n",
        phase.c_str(), "", "CPU-s/h", "wake-ups/h", "syncs/h", heavyCores);
    std::vector<MeteredProgram::Counts> perHour;
    for (size_t i = 0; i < programs.size(); ++i) {
        if (!programs[i].program->isRunning()) {
            state.SkipWithError((programs[i].name + " ended during the window").c_str());
            return false;
        }
        const MeteredProgram::Counts c = after[i] - before[i];
        perHour.push_back({ c.cpuSeconds / hours, c.contextSwitches / hours, c.syncs / hours });
        const std::string prefix = phase + '_' + programs[i].name + '_';
        state.counters[prefix + "cpu_s_per_h"] = perHour.back().cpuSeconds;
        state.counters[prefix + "wakeups_per_h"] = perHour.back().contextSwitches;
        state.counters[prefix + "syncs_per_h"] = perHour.back().syncs;
        std::fprintf(stderr, "%-8s %-8s %10.3f %12.0f %9.0f\n", "", programs[i].name.c_str(),
            perHour.back().cpuSeconds, perHour.back().contextSwitches, perHour.back().syncs);
    }
    // The programs are listed as the application, its daemon, the minimal program.
    const double cpu = (perHour[0].cpuSeconds + perHour[1].cpuSeconds) / perHour[2].cpuSeconds;
    const double wakeups
        = (perHour[0].contextSwitches + perHour[1].contextSwitches) / perHour[2].contextSwitches;
    state.counters[phase + "_cpu_x_minimal"] = cpu;
    state.counters[phase + "_wakeups_x_minimal"] = wakeups;
    std::fprintf(
        stderr, "%-8s app+daemon: %.1fx the minimal program's CPU, %.1fx its wake-ups\n", "", cpu, wakeups);
    return true;
}

void BM_TrayIdle(benchmark::State& state)
{
    for (auto _ : state) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            state.SkipWithError("no X server: run bench/TrayIdle/measure");
            return;
        }
        if (!MeteredProgram::canMeter()) {
            state.SkipWithError("perf cannot count here: run bench/TrayIdle/measure");
            return;
        }
        TrayMachine machine;
        if (!machine.setUp(true)) {
            state.SkipWithError("the simulated laptop could not be set up");
            return;
        }
        // A build of the user's in the background and an editor in front, say.
        test::BusyProcess heavy;
        test::ChildProcess front;
        ActiveWindow window;
        if (!heavy.start(QStringLiteral("heavyjob"), 2)
            || !front.start(
                QStandardPaths::findExecutable(QStringLiteral("sleep")), { QStringLiteral("infinity") })
            || !window.show(front.pid())) {
            state.SkipWithError("no heavy process or no window in front");
            return;
        }
        // On a machine busy with other work the heavy process would get too small a share to
        // count as heavy; where the benchmark may, its scheduling group (its session) gets the
        // weight of one that has the laptop to itself. It asks for two cores at most.
        QFile autogroup(QStringLiteral("/proc/%1/autogroup").arg(heavy.pid()));
        if (autogroup.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            autogroup.write("-10");
        MeteredProgram kestrune;
        MeteredProgram minimal;
        if (!launchKestrune(kestrune, machine, true) || !launchMinimal(minimal, machine, true)) {
            state.SkipWithError("a program put no item in the tray");
            return;
        }

        const std::vector<Program> programs { { "app", &kestrune }, { "daemon", &machine.daemon() },
            { "minimal", &minimal } };
        if (!measurePhase(state, "ac", programs, heavy.pid()))
            return;
        test::SimProgram::run({ QStringLiteral("unplug"), machine.sysfsRoot() });
        if (!measurePhase(state, "battery", programs, heavy.pid()))
            return;
        for (const auto& [name, program] :
            { std::pair { "app", &kestrune }, std::pair { "minimal", &minimal } }) {
            state.counters[std::string(name) + "_VmRSS_MB"]
                = IdleWindows::statusMegabytes(QString::number(program->pid()), "VmRSS");
            state.counters[std::string(name) + "_VmHWM_MB"]
                = IdleWindows::statusMegabytes(QString::number(program->pid()), "VmHWM");
        }
        state.SetIterationTime(2.0 * IdleWindows::seconds());
        // The program quits as at logout: charging and power saving are given back.
        kestrune.stop();
    }
}
BENCHMARK(BM_TrayIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The launch's time to the tray item in ms and the CPU time the program took by then.
std::optional<std::pair<double, double>> timedLaunch(
    bool (*launcher)(MeteredProgram&, TrayMachine&, bool), TrayMachine& machine)
{
    MeteredProgram program;
    const auto start = FakeStatusNotifierWatcher::Clock::now();
    if (!launcher(program, machine, false))
        return std::nullopt;
    const double cpu = cpuMilliseconds(program.pid());
    const std::chrono::duration<double, std::milli> wall
        = *machine.tray().registeredAt(program.pid()) - start;
    return std::pair { wall.count(), cpu };
}

void BM_TrayStartup(benchmark::State& state)
{
    for (auto _ : state) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            state.SkipWithError("no X server: run bench/TrayIdle/measure");
            return;
        }
        TrayMachine machine;
        // The launches measured follow one that ended as at logout, as every launch at login does.
        if (!machine.setUp(false) || !timedLaunch(launchKestrune, machine)
            || !timedLaunch(launchMinimal, machine)) {
            state.SkipWithError("the simulated laptop could not be set up");
            return;
        }
        const auto kestrune = timedLaunch(launchKestrune, machine);
        const auto minimal = timedLaunch(launchMinimal, machine);
        if (!kestrune || !minimal) {
            state.SkipWithError("a program put no item in the tray");
            return;
        }
        state.counters["app_tray_item_ms"] = kestrune->first;
        state.counters["app_cpu_ms"] = kestrune->second;
        state.counters["minimal_tray_item_ms"] = minimal->first;
        state.counters["minimal_cpu_ms"] = minimal->second;
        state.counters["tray_item_x_minimal"] = kestrune->first / minimal->first;
        state.counters["cpu_x_minimal"] = kestrune->second / minimal->second;
        state.SetIterationTime(kestrune->first / 1000.0);
    }
}

double smallest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

double largest(const std::vector<double>& v)
{
    return *std::max_element(v.begin(), v.end());
}

BENCHMARK(BM_TrayStartup)
    ->Iterations(1)
    ->Repetitions(10)
    ->ComputeStatistics("min", smallest)
    ->ComputeStatistics("max", largest)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
