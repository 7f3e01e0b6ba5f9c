#include "Foundation/Clock.h"
#include "Kestrune/Backend/BackendJson.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Kestrune/Sync/SyncPayload.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

using namespace kestrune;

namespace {

constexpr int limit = BackendSync::batchLimit;
const QDateTime start(QDate(2026, 2, 25), QTime(0, 0), Qt::UTC);

// Stamps the outcomes the store records.
class SteppedClock final : public Clock {
public:
    QDateTime now() const override { return at; }
    QDateTime at = start;
};

// The first `limit` records, as a batch keeps them after looking one further.
template <typename Record> QList<Record> batchOf(QList<Record> records)
{
    if (records.size() > limit)
        records.erase(records.begin() + limit, records.end());
    return records;
}

// A store holding more than a full batch of every list, as after a week offline.
struct Fixture {
    QTemporaryDir dir;
    SteppedClock clock;
    std::unique_ptr<HistoryStore> store;
    SyncPayload state;

    Fixture()
    {
        store = HistoryStore::open(dir.filePath("History.store"), nullptr, clock);
        if (!store) {
            std::cerr << "cannot open the store\n";
            std::exit(1);
        }
        const QString detail
            = QString::fromUtf8("プロセス「com.example.helper」の優先度を下げました(推定 1.2 W の節約)");
        for (int i = 0; i <= limit; ++i) {
            const QDateTime at = start.addSecs(i * 55);
            BatterySample sample(at, 40 + i % 60, false, false, 31.5, 92.4, 300, -7.2);
            PlugEventRecord event(at, i % 2 == 0, 50);
            PowerActionRecord action(at, "throttle", detail.repeated(4));
            if (!store->save(sample) || !store->save(event) || !store->save(action)) {
                std::cerr << "insert failed\n";
                std::exit(1);
            }
            clock.at = at;
            store->addActionOutcome("throttle:com.example.helper", 0.85, true);
        }
        for (int i = 0; i < 200; ++i)
            state.impactEMA.insert(QString("process-%1").arg(i), i * 0.75);
        QJsonObject effects;
        for (const char* key : { "lpm", "kbOff", "dim70", "dim50", "spotlight", "timemachine" })
            effects.insert(
                key, QJsonObject { { "watts", 1.25 }, { "samples", 7 }, { "updated_at", 1.77e9 } });
        state.learned.insert("effects", effects);
        state.settings = QVariantMap { { "charge_limit", 80 }, { "llm_provider", "openai" } };
    }
};

// What one batch does on the main thread: four fetches, the payload and its encoding.
void buildAndEncodeOneBatch(benchmark::State& bench)
{
    static Fixture f;
    const QDateTime since = start.addSecs(-1);
    qsizetype bytes = 0;
    for (auto _ : bench) {
        SyncPayload payload = f.state;
        payload.samples = batchOf(f.store->samples(since, limit + 1));
        payload.plugEvents = batchOf(f.store->plugEvents(since, limit + 1));
        payload.powerActions = batchOf(f.store->powerActions(since, limit + 1));
        payload.actionOutcomes = batchOf(f.store->actionOutcomes(since, limit + 1));
        payload.savingsDaily = f.store->recentSavings(7, start);
        const BackendResult<QByteArray> body = BackendJson::encode(payload.toJson());
        bytes = body ? body.value().size() : 0;
        benchmark::DoNotOptimize(bytes);
    }
    bench.counters["body_bytes"] = double(bytes);
}

} // namespace

BENCHMARK(buildAndEncodeOneBatch)->Unit(benchmark::kMillisecond);
