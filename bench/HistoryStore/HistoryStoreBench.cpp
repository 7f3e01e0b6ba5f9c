#include "Kestrune/Storage/HistoryStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

using namespace kestrune;

namespace {

// The application stores a sample at most every 55 s; 30 days of that is the dashboard's
// longest chart.
constexpr qint64 sampleSpacingSeconds = 55;
constexpr qint64 thirtyDays = 30 * 86400;
const QDateTime start(QDate(2026, 2, 1), QTime(0, 0), Qt::UTC);

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    QDateTime next = start;

    Fixture()
    {
        QString error;
        store = HistoryStore::open(dir.filePath("History.store"), &error);
        if (!store) {
            std::cerr << "cannot open the store: " << error.toStdString() << '\n';
            std::exit(1);
        }
        for (qint64 t = 0; t < thirtyDays; t += sampleSpacingSeconds)
            add();
    }

    void add()
    {
        BatterySample sample(next, 50, false, false, 31.5, 92.4, 300, -7.2);
        if (!store->save(sample)) {
            std::cerr << "insert failed\n";
            std::exit(1);
        }
        next = next.addSecs(sampleSpacingSeconds);
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void insertOneSample(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        f.add();
}
BENCHMARK(insertOneSample)->Unit(benchmark::kMicrosecond);

void fetchThirtyDaysOfSamples(benchmark::State& state)
{
    Fixture& f = fixture();
    const QDateTime since = f.next.addSecs(-thirtyDays);
    qsizetype rows = 0;
    for (auto _ : state) {
        const QList<BatterySample> samples = f.store->samples(since);
        rows = samples.size();
        benchmark::DoNotOptimize(samples.constData());
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(fetchThirtyDaysOfSamples)->Unit(benchmark::kMillisecond);

} // namespace
