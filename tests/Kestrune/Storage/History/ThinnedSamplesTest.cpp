#include "Kestrune/Storage/HistoryStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

// Every k-th of `samples` (positions 0, k, 2k, ...), k = n / points + 1, once there are more
// than `points`.
QList<BatterySample> thinnedByHand(const QList<BatterySample>& samples, int points)
{
    if (samples.size() <= points)
        return samples;
    const qsizetype k = samples.size() / points + 1;
    QList<BatterySample> kept;
    for (qsizetype i = 0; i < samples.size(); i += k)
        kept << samples[i];
    return kept;
}

} // namespace

TEST(ThinnedSamples, ThinsTheWholePeriodAsFetchingAndThinningWouldUpToTheFetchLimitAndBeyondIt)
{
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store = HistoryStore::open(dir.filePath("History.store"));
    ASSERT_TRUE(store);
    const QDateTime start(QDate(2026, 2, 1), QTime(0, 0), Qt::UTC);
    constexpr int total = 23000;
    for (int i = 0; i < total; ++i) {
        BatterySample sample(start.addSecs(qint64(i) * 55), i % 101, false, false, 30, 92, 187, -7.5);
        ASSERT_TRUE(store->save(sample));
    }
    const auto since = [&](int newest) { return start.addSecs(qint64(total - newest) * 55); };

    // Rows fetched, and rows drawn.
    for (const auto& [rows, drawn] : { std::pair { 800, 800 }, std::pair { 801, 401 },
             std::pair { 1599, 800 }, std::pair { 1600, 534 }, std::pair { 20000, 770 } }) {
        const QList<BatterySample> thinned = store->thinnedSamples(since(rows), 800);
        ASSERT_EQ(thinned.size(), drawn) << rows;
        const QList<BatterySample> byHand = thinnedByHand(store->samples(since(rows)), 800);
        ASSERT_EQ(thinned.size(), byHand.size());
        for (qsizetype i = 0; i < thinned.size(); ++i)
            ASSERT_EQ(thinned[i].id(), byHand[i].id()) << rows << " at " << i;
        EXPECT_EQ(thinned.first().timestamp, since(rows)) << "the first row always stays";
    }

    // Past the fetch limit the period still reaches back to its start, where the capped fetch
    // would have begun only 20000 rows back.
    const QList<BatterySample> all = store->thinnedSamples(start, 800);
    EXPECT_EQ(all.size(), 794); // k = 23000 / 800 + 1 = 29
    EXPECT_EQ(all.first().timestamp, start);
    EXPECT_EQ(all[1].timestamp, start.addSecs(29 * 55));
    EXPECT_EQ(store->samples(start).first().timestamp, since(HistoryStore::sampleFetchLimit));
    EXPECT_GT(all.last().timestamp, start.addSecs(qint64(total - 29) * 55));

    EXPECT_TRUE(store->thinnedSamples(start.addDays(365), 800).isEmpty());
    EXPECT_TRUE(store->thinnedSamples(start, 0).isEmpty());
}
