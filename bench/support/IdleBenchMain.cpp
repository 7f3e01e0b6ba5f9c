#include "bench/support/IdleWindows.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

// The main of the idle benchmarks: a Qt application object, the windows' flags, then Google
// Benchmark.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    kestrune::IdleWindows::readFlags(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
