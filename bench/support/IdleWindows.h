#pragma once

#include <QString>

#include <functional>

namespace kestrune {

// The measuring windows of the idle benchmarks, which take their lengths from the command
// line (--warmup-seconds=N, --window-seconds=N), and the measurement they make.
class IdleWindows {
public:
    static inline int warmupSeconds = 60;
    static inline int windowSeconds = 600;

    // Takes the two flags out of the arguments, leaving the rest to Google Benchmark.
    static void readFlags(int& argc, char** argv);

    // How many seconds `cpuSeconds` grows by per hour while the event loop idles, measured
    // over one window after a warm-up.
    static double cpuSecondsPerHour(const std::function<double()>& cpuSeconds);
    // Runs the event loop through a warm-up, calls `atStart`, runs it through one window and
    // calls `atEnd`.
    static void measure(const std::function<void()>& atStart, const std::function<void()>& atEnd);

    // Both windows, as the benchmarks' manual iteration time.
    static double seconds() { return warmupSeconds + windowSeconds; }

    // A memory figure of /proc/<process>/status ("VmRSS", "VmHWM") in MB; `process` is a pid
    // or "self".
    static double statusMegabytes(const QString& process, const char* field);
};

} // namespace kestrune
