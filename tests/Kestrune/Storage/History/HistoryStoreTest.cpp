#include "Kestrune/Storage/HistoryStore.h"

#include "tests/support/ManualClock.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace kestrune;

namespace {

const QTimeZone berlin("Europe/Berlin");

QDateTime utc(int y, int mo, int d, int h, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// A second connection to the store's file, for what the store itself cannot do.
class RawFile {
public:
    explicit RawFile(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawFile() { QSqlDatabase::removeDatabase(name); }
    QVariant run(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(name));
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

private:
    const QString name = "raw";
};

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { reopen(); }
    void reopen()
    {
        store.reset();
        QString error;
        store = HistoryStore::open(path(), &error, clock, LocalCalendar(berlin));
        ASSERT_TRUE(store) << error.toStdString();
    }
    QString path() const { return dir.filePath("data/Kestrune/History.store"); }
    void addSample(const QDateTime& t)
    {
        BatterySample s(t, 50, false, false, 30, 90, 100, -6);
        ASSERT_TRUE(store->save(s));
    }

    QTemporaryDir dir;
    test::ManualClock clock { utc(2026, 3, 2, 9) };
    std::unique_ptr<HistoryStore> store;
};

} // namespace

TEST_F(HistoryStoreTest, DateBoundsLimitsAndOrders)
{
    const QDateTime since = utc(2026, 3, 1, 12);
    for (int minutes : { 2, -1, 0, 1 }) {
        addSample(since.addSecs(minutes * 60));
        PlugEventRecord p(since.addSecs(minutes * 60), minutes % 2 == 0, 40);
        PowerActionRecord a(since.addSecs(minutes * 60), "lpm", QString::number(minutes));
        ASSERT_TRUE(store->save(p) && store->save(a));
    }
    for (int minutes : { 0, 1 }) {
        clock.set(since.addSecs(minutes * 60));
        store->addActionOutcome("dim70", 0.8, true);
    }

    auto times = [](const auto& rows) {
        QList<int> minutes;
        for (const auto& r : rows)
            minutes << int(utc(2026, 3, 1, 12).secsTo(r.timestamp) / 60);
        return minutes;
    };
    // Since includes the row at `since`; the sync queries, which pass their watermark, do not.
    EXPECT_EQ(times(store->samples(since)), QList<int>({ 0, 1, 2 }));
    EXPECT_EQ(times(store->samples(since, 10)), QList<int>({ 1, 2 }));
    EXPECT_EQ(times(store->samples(since.addSecs(-3600), 2)), QList<int>({ -1, 0 }));
    EXPECT_EQ(times(store->plugEvents(since)), QList<int>({ 0, 1, 2 }));
    EXPECT_EQ(times(store->plugEvents(since, 1)), QList<int>({ 1 }));
    EXPECT_EQ(times(store->powerActions(since, 5)), QList<int>({ 1, 2 }));
    EXPECT_EQ(times(store->recentPowerActions(3)), QList<int>({ 2, 1, 0 }));
    EXPECT_EQ(times(store->actionOutcomes(since, 10)), QList<int>({ 1 }));
    EXPECT_TRUE(store->samples(since, 0).isEmpty());
    // The counts answer what those reads would hold, bounds and limits alike.
    EXPECT_EQ(store->sampleCount(since, 10), 2);
    EXPECT_EQ(store->sampleCount(since.addSecs(-3600), 2), 2);
    EXPECT_EQ(store->sampleCount(since, 0), 0);
    EXPECT_EQ(store->powerActionCount(since, 5), 2);
}

TEST_F(HistoryStoreTest, SamplesKeepTheNewestTwentyThousandInAscendingOrder)
{
    // A month of chart data must reach up to now; the oldest rows are the ones to drop.
    const QDateTime start = utc(2026, 2, 1, 0);
    for (int i = 0; i < HistoryStore::sampleFetchLimit + 5; ++i)
        addSample(start.addSecs(i * 55LL));
    const auto rows = store->samples(start);
    ASSERT_EQ(rows.size(), HistoryStore::sampleFetchLimit);
    EXPECT_EQ(rows.first().timestamp, start.addSecs(5 * 55));
    EXPECT_EQ(rows.last().timestamp, start.addSecs((HistoryStore::sampleFetchLimit + 4) * 55LL));
    EXPECT_TRUE(std::is_sorted(
        rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; }));
}

TEST_F(HistoryStoreTest, LedgerRowPerLocalDaySurvivesReopenAndAccrues)
{
    // 23:30 UTC on 2 March is already 3 March in Berlin.
    const QDateTime lateEvening = utc(2026, 3, 2, 22, 30);
    const QDateTime afterMidnight = utc(2026, 3, 2, 23, 30);
    const SavingsDailyRecord first = store->todaySavingsRecord(lateEvening);
    EXPECT_TRUE(first.id().isStored());
    EXPECT_EQ(first.day, QDateTime(QDate(2026, 3, 2), QTime(0, 0), berlin));
    EXPECT_EQ(store->todaySavingsRecord(utc(2026, 3, 1, 23, 0)), first);

    store->accrueSavings(1.5, 12, 3, lateEvening);
    store->accrueSavings(-0.5, -2, 2, lateEvening); // a count, not an increment: 3 stays
    reopen();
    const SavingsDailyRecord again = store->todaySavingsRecord(lateEvening);
    EXPECT_EQ(again, first);
    EXPECT_DOUBLE_EQ(again.savedWh, 1.0);
    EXPECT_DOUBLE_EQ(again.extendedMinutes, 10);
    EXPECT_EQ(again.actionsCount, 3);
    store->accrueSavings(0, 0, 5, lateEvening);
    EXPECT_EQ(store->todaySavingsRecord(lateEvening).actionsCount, 5);

    const SavingsDailyRecord next = store->todaySavingsRecord(afterMidnight);
    EXPECT_NE(next, first);
    EXPECT_EQ(next.savedWh, 0);
    // Windows step back whole days from the start of today, newest first.
    EXPECT_EQ(store->recentSavings(1, afterMidnight), QList<SavingsDailyRecord>({ next }));
    EXPECT_EQ(store->recentSavings(7, afterMidnight), QList<SavingsDailyRecord>({ next, first }));
    EXPECT_TRUE(store->recentSavings(0, afterMidnight).isEmpty());
}

TEST_F(HistoryStoreTest, ReopenKeepsEveryRecordExactly)
{
    BatterySample sample(utc(2026, 3, 2, 8, 59, 59).addMSecs(123), 81, true, true, 33.25, 87.3, 412, 14.5);
    PlugEventRecord plug(utc(2026, 3, 2, 8), false, 92);
    PowerActionRecord action(utc(2026, 3, 2, 8, 30), "share", "共有しました");
    ASSERT_TRUE(store->save(sample) && store->save(plug) && store->save(action));
    store->addActionOutcome("throttle:Safari", std::nan(""), false);
    reopen();

    const QDateTime since = utc(2026, 3, 1, 0);
    ASSERT_EQ(store->samples(since), QList<BatterySample>({ sample }));
    const BatterySample s = store->samples(since)[0];
    EXPECT_EQ(std::tuple(s.timestamp, s.soc, s.isCharging, s.acAttached, s.temperature, s.healthPercent,
                  s.cycleCount, s.watts),
        std::tuple(sample.timestamp, 81LL, true, true, 33.25, 87.3, 412LL, 14.5));
    ASSERT_EQ(store->plugEvents(since), QList<PlugEventRecord>({ plug }));
    EXPECT_EQ(store->plugEvents(since)[0].plugged, false);
    ASSERT_EQ(store->recentPowerActions(5), QList<PowerActionRecord>({ action }));
    EXPECT_EQ(store->recentPowerActions(5)[0].detail, "共有しました");
    const auto outcomes = store->actionOutcomes(since, 5);
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_TRUE(std::isnan(outcomes[0].deltaW)); // not silently 0
    EXPECT_EQ(outcomes[0].timestamp, clock.now());
    EXPECT_EQ(RawFile(path()).run("PRAGMA journal_mode").toString(), "wal");
}

TEST_F(HistoryStoreTest, PruningDeletesRowsStampedBeforeTheCutoff)
{
    const QDateTime cutoff = clock.now().addDays(-90);
    addSample(cutoff.addSecs(-1));
    addSample(cutoff);
    PlugEventRecord oldPlug(cutoff.addMSecs(-1), true, 50), keptPlug(cutoff, false, 50);
    PowerActionRecord oldAction(cutoff.addSecs(-1), "level", "x");
    ASSERT_TRUE(store->save(oldPlug) && store->save(keptPlug) && store->save(oldAction));
    clock.set(cutoff.addSecs(-5));
    store->addActionOutcome("lpm", 1, true);
    store->todaySavingsRecord(cutoff); // its day began before the cutoff
    const auto keptDay = store->todaySavingsRecord(cutoff.addDays(1));
    clock.set(cutoff.addDays(90));

    store->pruneOldData(90);
    const QDateTime longAgo = cutoff.addDays(-400);
    EXPECT_EQ(store->samples(longAgo).size(), 1);
    EXPECT_EQ(store->samples(longAgo).first().timestamp, cutoff);
    EXPECT_EQ(store->plugEvents(longAgo), QList<PlugEventRecord>({ keptPlug }));
    EXPECT_TRUE(store->powerActions(longAgo, 10).isEmpty());
    EXPECT_TRUE(store->actionOutcomes(longAgo, 10).isEmpty());
    EXPECT_EQ(store->recentSavings(1000, clock.now()), QList<SavingsDailyRecord>({ keptDay }));
}

TEST_F(HistoryStoreTest, UnreadableLedgerNeitherDuplicatesTodayNorAccrues)
{
    store->accrueSavings(5, 30, 2, clock.now());
    {
        // The ledger table becomes unreadable while inserts into it still work.
        RawFile raw(path());
        raw.run("ALTER TABLE SavingsDailyRecord RENAME TO Ledger");
        raw.run("CREATE VIEW SavingsDailyRecord AS SELECT * FROM Ledger WHERE abs(-9223372036854775808) > 0");
        raw.run("CREATE TRIGGER ledgerInsert INSTEAD OF INSERT ON SavingsDailyRecord BEGIN"
                " INSERT INTO Ledger (day, savedWh, extendedMinutes, actionsCount)"
                " VALUES (NEW.day, NEW.savedWh, NEW.extendedMinutes, NEW.actionsCount); END");
    }
    const SavingsDailyRecord today = store->todaySavingsRecord(clock.now());
    EXPECT_FALSE(today.id().isStored());
    EXPECT_EQ(
        std::tuple(today.savedWh, today.extendedMinutes, today.actionsCount), std::tuple(0.0, 0.0, 0LL));
    store->accrueSavings(1, 1, 9, clock.now());
    EXPECT_TRUE(store->recentSavings(7, clock.now()).isEmpty());

    RawFile raw(path());
    EXPECT_EQ(raw.run("SELECT count(*) FROM Ledger").toInt(), 1);
    EXPECT_EQ(raw.run("SELECT savedWh FROM Ledger").toDouble(), 5.0);
}

TEST(HistoryStoreOpenTest, UnusableFilesAreRefusedAndLeftAsTheyWere)
{
    QTemporaryDir dir;
    QString error;

    // The folder cannot be made: a file stands where it should be.
    QFile blocker(dir.filePath("Kestrune"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(HistoryStore::open(dir.filePath("Kestrune/History.store"), &error));
    EXPECT_TRUE(error.contains("folder")) << error.toStdString();

    QFile corrupt(dir.filePath("corrupt.store"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly) && corrupt.write(QByteArray(8192, 'x')) == 8192);
    corrupt.close();
    EXPECT_FALSE(HistoryStore::open(corrupt.fileName(), &error));
    EXPECT_TRUE(error.contains("not a database")) << error.toStdString();
    ASSERT_TRUE(corrupt.open(QIODevice::ReadOnly));
    EXPECT_EQ(corrupt.readAll(), QByteArray(8192, 'x'));

    // A later build's schema is not ours to write into.
    const QString newer = dir.filePath("newer.store");
    ASSERT_TRUE(HistoryStore::open(newer));
    RawFile(newer).run("PRAGMA user_version = 2");
    error.clear();
    EXPECT_FALSE(HistoryStore::open(newer, &error));
    EXPECT_TRUE(error.contains("newer")) << error.toStdString();
    EXPECT_EQ(RawFile(newer).run("PRAGMA user_version").toInt(), 2);
}

TEST(HistoryStoreOpenTest, DamagedAndForeignDatabasesAreRefusedAndLeftAsTheyWere)
{
    QTemporaryDir dir;
    QString error;
    const auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // A store with some history, whose sample table's pages are then overwritten: the b-tree
    // is damaged, though the file still opens and carries our version.
    const QString damaged = dir.filePath("damaged.store");
    {
        auto store = HistoryStore::open(damaged);
        ASSERT_TRUE(store);
        for (int i = 0; i < 2000; ++i) {
            BatterySample sample(utc(2026, 3, 1, 0).addSecs(55 * i), 50, false, false, 30, 90, 100, -6);
            ASSERT_TRUE(store->save(sample));
        }
    }
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pageSize = 4096;
    ASSERT_GT(file.size(), 12 * pageSize);
    for (qint64 page = 4; page < 12; ++page) {
        file.seek(page * pageSize);
        file.write(QByteArray(pageSize, static_cast<char>(0xa5)));
    }
    file.close();
    const QByteArray damagedBytes = bytesOf(damaged);
    EXPECT_FALSE(HistoryStore::open(damaged, &error));
    EXPECT_TRUE(error.contains("damaged")) << error.toStdString();
    EXPECT_EQ(bytesOf(damaged), damagedBytes);

    // A database of another program, and an empty one, that merely carry our version.
    const QString foreign = dir.filePath("foreign.store");
    RawFile(foreign).run("CREATE TABLE Notes (id INTEGER PRIMARY KEY, text TEXT)");
    RawFile(foreign).run("PRAGMA user_version = 1");
    const QString empty = dir.filePath("empty.store");
    RawFile(empty).run("PRAGMA user_version = 1");
    for (const QString& path : {foreign, empty}) {
        const QByteArray before = bytesOf(path);
        error.clear();
        EXPECT_FALSE(HistoryStore::open(path, &error)) << path.toStdString();
        EXPECT_TRUE(error.contains("BatterySample")) << error.toStdString();
        EXPECT_EQ(bytesOf(path), before);
    }
    // One without a version is not made into a store either.
    RawFile(foreign).run("PRAGMA user_version = 0");
    error.clear();
    EXPECT_FALSE(HistoryStore::open(foreign, &error));
    EXPECT_TRUE(error.contains("another program")) << error.toStdString();
    EXPECT_EQ(RawFile(foreign).run("SELECT count(*) FROM sqlite_master").toInt(), 1);
}

TEST(HistoryStoreOpenTest, TheWholeFileIsReadAfterAnUncleanEndOrAWeekAndOtherwiseOnlyItsHeaderAndTables)
{
    QTemporaryDir dir;
    test::ManualClock clock { utc(2026, 3, 2, 9) };
    QString error;
    // Fills a store and closes it; answers the note beside it as it was while the store was open.
    const auto fill = [&](const QString& path) {
        auto store = HistoryStore::open(path, &error, clock);
        EXPECT_TRUE(store) << error.toStdString();
        for (int i = 0; store && i < 2000; ++i) {
            BatterySample sample(utc(2026, 3, 1, 0).addSecs(55 * i), 50, false, false, 30, 90, 100, -6);
            EXPECT_TRUE(store->save(sample));
        }
        QFile note(path + "-state");
        return note.open(QIODevice::ReadOnly) ? note.readAll() : QByteArray();
    };
    // Damage only a read of the whole file finds: the sample table's pages, the header and the
    // schema intact, the file's size and time of change as the last close left them.
    const auto damage = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
        for (qint64 page = 4; page < 12; ++page) {
            file.seek(page * 4096);
            file.write(QByteArray(4096, static_cast<char>(0xa5)));
        }
        file.flush();
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    };

    // Closed cleanly a day after its last full check: the header and tables are all that is read.
    const QString clean = dir.filePath("clean.store");
    fill(clean);
    damage(clean);
    clock.advance(6 * 86400);
    EXPECT_TRUE(HistoryStore::open(clean, &error, clock)) << error.toStdString();
    // A week after the last full check, the next open reads it through.
    clock.advance(86400);
    EXPECT_FALSE(HistoryStore::open(clean, &error, clock));
    EXPECT_TRUE(error.contains("damaged")) << error.toStdString();

    // A session that ended without closing its store: the note as a crash leaves it.
    const QString crashed = dir.filePath("crashed.store");
    const QByteArray inUse = fill(crashed);
    ASSERT_FALSE(inUse.isEmpty());
    damage(crashed);
    QFile note(crashed + "-state");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly | QIODevice::Truncate) && note.write(inUse) == inUse.size());
    note.close();
    EXPECT_FALSE(HistoryStore::open(crashed, &error, clock));
    EXPECT_TRUE(error.contains("damaged")) << error.toStdString();
}

TEST(HistoryStoreOpenTest, ReadOnlyFileIsRefusedRatherThanDroppingEveryWrite)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    QTemporaryDir dir;
    QString error;
    const QString readOnly = dir.filePath("readonly.store");
    ASSERT_TRUE(HistoryStore::open(readOnly));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
    error.clear();
    EXPECT_FALSE(HistoryStore::open(readOnly, &error));
    EXPECT_TRUE(error.contains("write")) << error.toStdString();
}
