#pragma once

#include "Foundation/Clock.h"
#include "Foundation/LocalCalendar.h"
#include "Kestrune/Storage/ActionOutcomeRecord.h"
#include "Kestrune/Storage/BatterySample.h"
#include "Kestrune/Storage/PlugEventRecord.h"
#include "Kestrune/Storage/PowerActionRecord.h"
#include "Kestrune/Storage/SavingsDailyRecord.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <memory>
#include <optional>

class QSqlQuery;

namespace kestrune {

// The application's history: battery samples, plug events, the action log, measured action
// outcomes and the daily savings ledger, in one SQLite file.
//
// Everything runs on the main thread. Queries answer an empty list when the file cannot be
// read; writes that fail are dropped, because history is a convenience the application
// keeps working without. Each write reaches the file before it returns.
class HistoryStore {
public:
    // The most samples `samples(since)` returns (about 12.7 days at one per 55 s): a chart
    // over a longer period shows its most recent part.
    static constexpr int sampleFetchLimit = 20000;
    // The schema this build writes. A file of a newer schema is left alone.
    static constexpr int schemaVersion = 1;
    // How long a store that is closed cleanly each time goes without being read through.
    static constexpr qint64 fullCheckSpacingDays = 7;

    // $XDG_DATA_HOME/Kestrune/History.store
    static QString defaultFilePath();

    // Opens the store, creating its folder, file and tables as needed. Answers nothing, and
    // the reason in `error`, when the folder cannot be made or the file cannot be used for
    // reading and writing (damaged, not a database, a database of another program or without
    // our tables, read-only, from a newer build); the file is then left as it was. `clock` stamps outcomes and places the pruning cutoff;
    // `calendar` decides where a day of the savings ledger begins.
    //
    // Reading the whole file for damage takes longer the more history it holds, so it is done
    // only when the last session did not close the store, when the file changed after that,
    // and otherwise once every fullCheckSpacingDays; other opens check the header and our
    // tables. A note beside the file ("History.store-state") keeps what that takes.
    static std::unique_ptr<HistoryStore> open(const QString& filePath, QString* error = nullptr,
        const Clock& clock = Clock::system(), LocalCalendar calendar = LocalCalendar());
    // Closes the store cleanly (also done by the destructor); nothing is read or written
    // after it.
    ~HistoryStore();
    void close();

    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    QString filePath() const { return m_filePath; }

    // Writes a record the caller made: a new one becomes a row (and takes that row as its
    // identity), a stored one writes its attributes back to its row. False when nothing
    // was written.
    bool save(BatterySample& sample);
    bool save(PlugEventRecord& event);
    bool save(PowerActionRecord& action);

    // The newest `sampleFetchLimit` samples at or after `since`, oldest first.
    QList<BatterySample> samples(const QDateTime& since) const;
    // Every sample at or after `since`, oldest first, thinned to at most `points` of them
    // without a cap on the rows looked at, so that a chart of a month reaches back a month:
    // of n > points rows, those at the positions (from 0) that are multiples of
    // n / points + 1 (the first row always among them).
    QList<BatterySample> thinnedSamples(const QDateTime& since, int points) const;
    // For sync watermarks the bound is strict: the row at `since` was already handed out.
    // These answer at most `limit` rows, none for a limit below 1.
    QList<BatterySample> samples(const QDateTime& since, int limit) const;
    QList<PlugEventRecord> plugEvents(const QDateTime& since) const;
    QList<PlugEventRecord> plugEvents(const QDateTime& since, int limit) const;
    QList<PowerActionRecord> powerActions(const QDateTime& since, int limit) const;
    QList<ActionOutcomeRecord> actionOutcomes(const QDateTime& since, int limit) const;
    // How many rows the two queries above would answer, counted without reading them.
    qint64 sampleCount(const QDateTime& since, int limit) const;
    qint64 powerActionCount(const QDateTime& since, int limit) const;
    // Newest first.
    QList<PowerActionRecord> recentPowerActions(int limit) const;
    // The ledger rows from the start of today back over days - 1 more (fixed 24 h steps),
    // newest first.
    QList<SavingsDailyRecord> recentSavings(int days, const QDateTime& now) const;

    // The ledger row of the day that contains `now`, made when there is none. When the
    // ledger cannot be read, a zero row that is not stored: making one then could give the
    // day a second row and count its savings twice.
    SavingsDailyRecord todaySavingsRecord(const QDateTime& now);
    // Adds to today's row; `actionsCount` is the number of actions in force, and the row
    // keeps the day's largest. Skipped when today's row cannot be read; false when nothing
    // was added.
    bool accrueSavings(double deltaWh, double deltaMinutes, qint64 actionsCount, const QDateTime& now);
    void addActionOutcome(const QString& actionKey, double deltaW, bool valid);
    // Deletes every row stamped before now - olderThanDays × 24 h.
    void pruneOldData(int olderThanDays);

private:
    HistoryStore(QString filePath, QString connectionName, const Clock& clock, LocalCalendar calendar);
    bool initialize(QString* error);
    // Whether this open must read the whole file for damage, from the note of the last
    // session and the file as it is now; when not, takes the time of the last such check.
    bool fullCheckDue(const QDateTime& now);
    // The note beside the file: that the store is in use, or that it was closed cleanly and
    // how the file looked then.
    void writeNote(bool closed) const;
    // Why the open file cannot serve as a store of schema `version` (damaged, or not a store
    // of ours); empty when it can. Reads only; reads the whole file only when `throughout`.
    QString damageOf(qint64 version, bool throughout) const;

    // Rows of one type matching `clause` (WHERE / ORDER BY / LIMIT with ? placeholders);
    // nothing when the read failed, as opposed to an empty list when nothing matched.
    template <typename Record>
    std::optional<QList<Record>> fetch(const QString& clause, const QVariantList& values) const;
    // The records stamped strictly after `since`, oldest first, at most `limit`; empty on failure.
    template <typename Record>
    QList<Record> fetchAfter(const QDateTime& since, int limit) const;
    // The size of fetchAfter's answer; 0 on failure.
    template <typename Record>
    qint64 countAfter(const QDateTime& since, int limit) const;
    template <typename Record> bool saveRecord(Record& record);
    // Prepares, binds and executes one statement on `query`; false when any step failed.
    static bool run(QSqlQuery& query, const QString& sql, const QVariantList& values);
    // Runs one statement; the rows it changed, or nothing when it failed.
    std::optional<int> exec(const QString& sql, const QVariantList& values = {}) const;
    std::optional<qint64> insert(const QString& sql, const QVariantList& values) const;

    template <typename Record> static Record read(const QSqlQuery& row);
    static QVariantList values(const BatterySample& record);
    static QVariantList values(const PlugEventRecord& record);
    static QVariantList values(const PowerActionRecord& record);

    QString m_filePath;
    QString m_connectionName;
    const Clock& m_clock;
    LocalCalendar m_calendar;
    QSqlDatabase m_db;
    // When the file was last read through for damage.
    QDateTime m_checkedAt;
    // Opened and accepted, not closed yet.
    bool m_inUse = false;
};

} // namespace kestrune
