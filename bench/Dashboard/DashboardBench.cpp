#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/DashboardCharts.h"
#include "Kestrune/UI/DashboardView.h"
#include "tools/kestrune-demo/DemoHistory.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

using namespace kestrune;

namespace {

const QDateTime now(QDate(2026, 3, 13), QTime(14, 20));

// Thirty days at one reading per 55 s, as the demo machine has them.
struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;

    Fixture()
    {
        const QString path = dir.filePath(QStringLiteral("History.store"));
        demo::DemoHistory::Options options;
        options.end = now;
        QString error;
        const auto written = demo::DemoHistory::seed(path, options, &error);
        store = written ? HistoryStore::open(path, &error) : nullptr;
        if (!store) {
            std::cerr << "cannot seed the store: " << error.toStdString() << '\n';
            std::exit(1);
        }
        std::cerr << written->samples << " samples seeded\n";
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

DashboardView::Range rangeOf(const benchmark::State& state)
{
    return DashboardView::Range(state.range(0));
}

QDateTime sinceOf(const benchmark::State& state)
{
    return now.addSecs(-DashboardView::spanSeconds(rangeOf(state)));
}

void thinnedFetch(benchmark::State& state)
{
    Fixture& f = fixture();
    qsizetype rows = 0;
    for (auto _ : state) {
        const QList<BatterySample> samples
            = f.store->thinnedSamples(sinceOf(state), DashboardView::chartPoints);
        rows = samples.size();
        benchmark::DoNotOptimize(samples.constData());
    }
    state.counters["points"] = double(rows);
}
BENCHMARK(thinnedFetch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// What the dashboard does at each reload: the thinned fetch and the series of all three charts.
void chartsFromStore(benchmark::State& state)
{
    Fixture& f = fixture();
    DashboardCharts charts;
    const DashboardCharts::TimeAxis time { sinceOf(state), now, QStringLiteral("M/d"), 7 };
    for (auto _ : state)
        charts.setSamples(f.store->thinnedSamples(sinceOf(state), DashboardView::chartPoints), time);
}
BENCHMARK(chartsFromStore)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// For comparison: the capped fetch of the newest 20000 rows that the charts no longer use.
void cappedFetch(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.store->samples(sinceOf(state)).constData());
}
BENCHMARK(cappedFetch)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
