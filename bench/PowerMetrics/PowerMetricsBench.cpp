// What one sample of the powermetrics stand-in costs, beside the least any sampler of /proc
// pays: two plain walks reading every process's stat, as the tool makes one before and one
// after its interval. The tool runs as the daemon runs it, for the shortest interval (1 ms),
// its output read to the end. The figure to compare is cpu_ms, the CPU time (user and
// system) of one sample: the tool's from wait4, the walks' from their own thread's clock.

#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <dirent.h>
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

// One run of the tool; its CPU time in ms, or a negative number when it failed.
double sampleOnce(const std::string& program)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    const char* const argv[] = {program.c_str(), "--samplers", "tasks", "--show-process-energy", "-i", "1",
                                "-n", "1", "-f", "plist", nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (spawned != 0) {
        ::close(pipe[0]);
        return -1;
    }
    char buffer[64 * 1024];
    size_t total = 0;
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        total += size_t(n);
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || total == 0)
        return -1;
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

void BM_PowermetricsSample(benchmark::State& state)
{
    const std::string program = (kestrune::test::buildDir() + QStringLiteral("/tools/powermetrics/powermetrics")).toStdString();
    double cpu = 0;
    for (auto _ : state) {
        const double ms = sampleOnce(program);
        if (ms < 0) {
            state.SkipWithError("the tool failed");
            return;
        }
        cpu += ms;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PowermetricsSample)->Unit(benchmark::kMillisecond);

// Every process's user and system time, the way a C program reads them.
unsigned long long walkProc()
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    unsigned long long ticks = 0;
    char path[300];
    char stat[1024];
    while (const dirent* entry = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t n = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        stat[n] = '\0';
        const char* field = std::strrchr(stat, ')');
        // utime and stime are the 12th and 13th fields after the name.
        for (int skip = 0; field && skip < 12; ++skip)
            field = std::strchr(field + 1, ' ');
        if (!field)
            continue;
        char* end = nullptr;
        ticks += std::strtoull(field + 1, &end, 10);
        ticks += std::strtoull(end, nullptr, 10);
    }
    ::closedir(proc);
    return ticks;
}

double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void BM_TwoPlainProcWalks(benchmark::State& state)
{
    const double start = threadCpuMs();
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkProc());
        benchmark::DoNotOptimize(walkProc());
    }
    state.counters["cpu_ms"] = benchmark::Counter(threadCpuMs() - start, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TwoPlainProcWalks)->Unit(benchmark::kMillisecond);

} // namespace
