// What one sample of the powermetrics stand-in costs, beside the least any sampler of /proc
// pays: two plain walks reading every process's stat, as the tool makes one before and one
// after its interval, once as a program of their own started the same way (what a sampler
// program cannot go below) and once in this process (the walks alone, warm). The tool runs as
// the daemon runs it, for the shortest interval (1 ms), its output read to the end. The
// figure to compare is cpu_ms, the CPU time (user and system) of one sample: a program's from
// wait4, the in-process walks' from their thread's clock.

#include "bench/PowerMetrics/PlainProcWalk.h"
#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double milliseconds(const timeval& t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
}

struct Run {
    double cpuMs = -1; // negative when the program failed
    size_t outputBytes = 0;
};

// One run of a program, its output read to the end as the daemon reads it.
Run runOnce(const std::vector<const char*>& argv)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (spawned != 0) {
        ::close(pipe[0]);
        return {};
    }
    Run run;
    char buffer[64 * 1024];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        run.outputBytes += size_t(n);
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.cpuMs = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
    return run;
}

void measureProgram(benchmark::State& state, const std::vector<const char*>& argv, bool writesOutput)
{
    double cpu = 0;
    for (auto _ : state) {
        const Run run = runOnce(argv);
        if (run.cpuMs < 0 || (writesOutput && run.outputBytes == 0)) {
            state.SkipWithError("the program failed");
            return;
        }
        cpu += run.cpuMs;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

std::string program(const char* path)
{
    return (kestrune::test::buildDir() + QLatin1String(path)).toStdString();
}

void BM_PowermetricsSample(benchmark::State& state)
{
    const std::string tool = program("/tools/powermetrics/powermetrics");
    measureProgram(state, {tool.c_str(), "--samplers", "tasks", "--show-process-energy", "-i", "1", "-n", "1", "-f",
                           "plist", nullptr},
                   true);
}
BENCHMARK(BM_PowermetricsSample)->Unit(benchmark::kMillisecond);

void BM_TwoPlainProcWalksProgram(benchmark::State& state)
{
    const std::string walker = program("/bench/PowerMetrics/proc-walk");
    measureProgram(state, {walker.c_str(), nullptr}, false);
}
BENCHMARK(BM_TwoPlainProcWalksProgram)->Unit(benchmark::kMillisecond);

double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void BM_TwoPlainProcWalksInProcess(benchmark::State& state)
{
    const double start = threadCpuMs();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrune::bench::plainProcWalk());
        benchmark::DoNotOptimize(kestrune::bench::plainProcWalk());
    }
    state.counters["cpu_ms"] = benchmark::Counter(threadCpuMs() - start, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TwoPlainProcWalksInProcess)->Unit(benchmark::kMillisecond);

} // namespace
