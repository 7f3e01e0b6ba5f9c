#include "Kestrune/Storage/HistoryStore.h"

#include <QFile>
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

// The store as ninety days of use leave it (the application prunes older rows at start): a
// sample every 55 s, and each day's plug events, action log, measured outcomes and ledger row.
struct NinetyDays {
    QTemporaryDir dir;
    QString path = dir.filePath("History.store");
    // The files beside the store as a session that never closed it leaves them.
    QByteArray noteInUse;

    NinetyDays()
    {
        QString error;
        std::unique_ptr<HistoryStore> store = HistoryStore::open(path, &error);
        if (!store) {
            std::cerr << "cannot open the store: " << error.toStdString() << '\n';
            std::exit(1);
        }
        const QDateTime first = start.addDays(-90);
        for (qint64 t = 0; t < 90 * 86400; t += sampleSpacingSeconds) {
            BatterySample sample(first.addSecs(t), 50, false, false, 31.5, 92.4, 300, -7.2);
            store->save(sample);
        }
        for (int day = 0; day < 90; ++day) {
            const QDateTime morning = first.addDays(day).addSecs(8 * 3600);
            for (int i = 0; i < 4; ++i) {
                PlugEventRecord event(morning.addSecs(i * 3 * 3600), i % 2 == 0, 80 - 10 * i);
                store->save(event);
            }
            for (int i = 0; i < 20; ++i) {
                PowerActionRecord action(morning.addSecs(i * 600), QStringLiteral("apply"),
                                         QStringLiteral("キーボードバックライトOFF を適用"));
                store->save(action);
            }
            store->accrueSavings(1.5, 12, 3, morning);
        }
        QFile note(path + "-state");
        if (note.open(QIODevice::ReadOnly))
            noteInUse = note.readAll();
    }

    void leaveAsACrashDoes() const
    {
        QFile note(path + "-state");
        if (!noteInUse.isEmpty() && note.open(QIODevice::WriteOnly | QIODevice::Truncate))
            note.write(noteInUse);
    }
};

NinetyDays& ninetyDays()
{
    static NinetyDays instance;
    return instance;
}

// The open at a launch, after `before` (untimed) has left the files as the last session did.
template <typename Before> void openAt(benchmark::State& state, Before before)
{
    NinetyDays& h = ninetyDays();
    for (auto _ : state) {
        state.PauseTiming();
        before(h);
        state.ResumeTiming();
        std::unique_ptr<HistoryStore> store = HistoryStore::open(h.path);
        state.PauseTiming();
        if (!store)
            state.SkipWithError("the store was refused");
        // Closed as at a quit.
        store.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = double(QFile(h.path).size()) / 1e6;
}

void openNinetyDaysAfterACleanQuit(benchmark::State& state)
{
    openAt(state, [](const NinetyDays&) {});
}
BENCHMARK(openNinetyDaysAfterACleanQuit)->Unit(benchmark::kMillisecond);

void openNinetyDaysAfterACrash(benchmark::State& state)
{
    openAt(state, [](const NinetyDays& h) { h.leaveAsACrashDoes(); });
}
BENCHMARK(openNinetyDaysAfterACrash)->Unit(benchmark::kMillisecond);

} // namespace
