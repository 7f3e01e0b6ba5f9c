#include "Kestrune/Storage/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

// Dates are whole milliseconds since 1970 UTC: integers compare and order exactly, so the
// ≥ and > bounds of the queries hold to the millisecond a QDateTime carries.
qint64 toStored(const QDateTime& date)
{
    return date.toMSecsSinceEpoch();
}

QDateTime fromStored(const QVariant& value)
{
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

// SQLite keeps a NaN as NULL; reading it back as NaN returns what was stored.
double realFrom(const QVariant& value)
{
    return value.isNull() ? std::numeric_limits<double>::quiet_NaN() : value.toDouble();
}

template <typename Record> struct Table;

template <> struct Table<BatterySample> {
    static constexpr const char* name = "BatterySample";
    static QStringList columns()
    {
        return { "timestamp", "soc", "isCharging", "acAttached", "temperature", "healthPercent", "cycleCount",
            "watts" };
    }
};

template <> struct Table<PlugEventRecord> {
    static constexpr const char* name = "PlugEventRecord";
    static QStringList columns() { return { "timestamp", "plugged", "soc" }; }
};

template <> struct Table<PowerActionRecord> {
    static constexpr const char* name = "PowerActionRecord";
    static QStringList columns() { return { "timestamp", "action", "detail" }; }
};

template <> struct Table<ActionOutcomeRecord> {
    static constexpr const char* name = "ActionOutcomeRecord";
    static QStringList columns() { return { "timestamp", "actionKey", "deltaW", "valid" }; }
};

template <> struct Table<SavingsDailyRecord> {
    static constexpr const char* name = "SavingsDailyRecord";
    static QStringList columns() { return { "day", "savedWh", "extendedMinutes", "actionsCount" }; }
};

template <typename Record> QString selectSql()
{
    return QStringLiteral("SELECT id, %1 FROM %2")
        .arg(Table<Record>::columns().join(QStringLiteral(", ")), QLatin1String(Table<Record>::name));
}

template <typename Record> QString insertSql()
{
    const QStringList columns = Table<Record>::columns();
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(QLatin1String(Table<Record>::name), columns.join(QStringLiteral(", ")),
            marks.join(QStringLiteral(", ")));
}

template <typename Record> QString updateSql()
{
    QStringList assignments;
    for (const QString& column : Table<Record>::columns())
        assignments << column + QStringLiteral(" = ?");
    return QStringLiteral("UPDATE %1 SET %2 WHERE id = ?")
        .arg(QLatin1String(Table<Record>::name), assignments.join(QStringLiteral(", ")));
}

// Version 1. Real columns may hold NULL, which is how SQLite stores a NaN. Each table is
// indexed on the date its queries bound and order by.
const char* const schemaV1[] = {
    "CREATE TABLE BatterySample (id INTEGER PRIMARY KEY AUTOINCREMENT, timestamp INTEGER NOT NULL,"
    " soc INTEGER NOT NULL, isCharging INTEGER NOT NULL, acAttached INTEGER NOT NULL,"
    " temperature REAL, healthPercent REAL, cycleCount INTEGER NOT NULL, watts REAL)",
    "CREATE INDEX BatterySample_timestamp ON BatterySample (timestamp)",
    "CREATE TABLE PlugEventRecord (id INTEGER PRIMARY KEY AUTOINCREMENT, timestamp INTEGER NOT NULL,"
    " plugged INTEGER NOT NULL, soc INTEGER NOT NULL)",
    "CREATE INDEX PlugEventRecord_timestamp ON PlugEventRecord (timestamp)",
    "CREATE TABLE PowerActionRecord (id INTEGER PRIMARY KEY AUTOINCREMENT, timestamp INTEGER NOT NULL,"
    " action TEXT NOT NULL, detail TEXT NOT NULL)",
    "CREATE INDEX PowerActionRecord_timestamp ON PowerActionRecord (timestamp)",
    "CREATE TABLE ActionOutcomeRecord (id INTEGER PRIMARY KEY AUTOINCREMENT, timestamp INTEGER NOT NULL,"
    " actionKey TEXT NOT NULL, deltaW REAL, valid INTEGER NOT NULL)",
    "CREATE INDEX ActionOutcomeRecord_timestamp ON ActionOutcomeRecord (timestamp)",
    "CREATE TABLE SavingsDailyRecord (id INTEGER PRIMARY KEY AUTOINCREMENT, day INTEGER NOT NULL,"
    " savedWh REAL, extendedMinutes REAL, actionsCount INTEGER NOT NULL)",
    "CREATE INDEX SavingsDailyRecord_day ON SavingsDailyRecord (day)",
};

// Beside the store: whether the session that had it closed it, how the file looked then, and
// when it was last read through for damage.
QString notePath(const QString& store)
{
    return store + QStringLiteral("-state");
}

// The file's size and last change in ms; nothing when it is not there.
std::optional<std::pair<qint64, qint64>> stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return std::pair{info.size(), info.lastModified().toMSecsSinceEpoch()};
}

QString connectionName()
{
    static std::atomic<int> next { 0 };
    return QStringLiteral("kestrune.history.%1").arg(next.fetch_add(1));
}

} // namespace

QString HistoryStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Kestrune/History.store");
}

std::unique_ptr<HistoryStore> HistoryStore::open(
    const QString& filePath, QString* error, const Clock& clock, LocalCalendar calendar)
{
    std::unique_ptr<HistoryStore> store(
        new HistoryStore(filePath, connectionName(), clock, std::move(calendar)));
    QString reason;
    if (!store->initialize(&reason)) {
        if (error)
            *error = reason;
        return nullptr;
    }
    if (error)
        error->clear();
    return store;
}

HistoryStore::HistoryStore(
    QString filePath, QString connectionName, const Clock& clock, LocalCalendar calendar)
    : m_filePath(std::move(filePath))
    , m_connectionName(std::move(connectionName))
    , m_clock(clock)
    , m_calendar(std::move(calendar))
{
}

HistoryStore::~HistoryStore()
{
    close();
    // No handle on the connection may outlive its removal.
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void HistoryStore::close()
{
    if (!m_db.isValid() || !m_db.isOpen())
        return;
    m_db.close();
    // Only a store in use is noted as closed: a refused file must not pass for a checked one.
    if (m_inUse)
        writeNote(true);
    m_inUse = false;
}

bool HistoryStore::fullCheckDue(const QDateTime& now)
{
    QFile file(notePath(m_filePath));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QJsonObject note = QJsonDocument::fromJson(file.read(4096)).object();
    // Still marked in use: the session that had the store ended without closing it.
    if (note.value(QLatin1String("closed")) != QJsonValue(true))
        return true;
    const QJsonObject closedAs = note.value(QLatin1String("file")).toObject();
    const auto stamp = stampOf(m_filePath);
    if (!stamp || closedAs.value(QLatin1String("size")).toInteger(-1) != stamp->first
        || closedAs.value(QLatin1String("modified")).toInteger(-1) != stamp->second)
        return true;
    const qint64 checkedMs = note.value(QLatin1String("checkedAt")).toInteger(-1);
    const qint64 nowMs = now.toMSecsSinceEpoch();
    // A check dated after now (the clock was set back) tells nothing.
    if (checkedMs < 0 || checkedMs > nowMs || nowMs - checkedMs >= fullCheckSpacingDays * 86400 * 1000)
        return true;
    m_checkedAt = QDateTime::fromMSecsSinceEpoch(checkedMs, Qt::UTC);
    return false;
}

void HistoryStore::writeNote(bool closed) const
{
    QJsonObject note{{QLatin1String("closed"), closed},
                     {QLatin1String("checkedAt"), m_checkedAt.toMSecsSinceEpoch()}};
    if (closed) {
        if (const auto stamp = stampOf(m_filePath))
            note.insert(QLatin1String("file"), QJsonObject{{QLatin1String("size"), stamp->first},
                                                           {QLatin1String("modified"), stamp->second}});
    }
    // Not synced to disk: a note that is lost or cut short reads as none, which only asks for
    // a full check at the next open.
    const QByteArray bytes = QJsonDocument(note).toJson(QJsonDocument::Compact);
    QFile file(notePath(m_filePath));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

bool HistoryStore::initialize(QString* error)
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    const QDateTime now = m_clock.now();
    // Before SQLite touches the file, which it may do on opening it.
    const bool throughout = fullCheckDue(now);

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!m_db.isValid()) {
        *error = QStringLiteral("the SQLite driver of QtSql is not available");
        return false;
    }
    m_db.setDatabaseName(m_filePath);
    // Another instance writing at the same moment is waited for briefly, not failed at once.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    if (!m_db.open()) {
        *error = QStringLiteral("cannot open %1: %2").arg(m_filePath, m_db.lastError().text());
        return false;
    }

    // The first read tells a database from a corrupt or foreign file.
    QSqlQuery version(m_db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        *error = QStringLiteral("cannot read %1: %2").arg(m_filePath, version.lastError().text());
        return false;
    }
    const qint64 found = version.value(0).toLongLong();
    version.finish();
    if (found > schemaVersion) {
        *error = QStringLiteral("%1 was written by a newer version (schema %2)").arg(m_filePath).arg(found);
        return false;
    }
    // Everything up to here only reads: a file that is refused stays exactly as it was.
    if (const QString damage = damageOf(found, throughout); !damage.isEmpty()) {
        *error = QStringLiteral("cannot use %1: %2").arg(m_filePath, damage);
        return false;
    }

    // WAL keeps readers and the one writer out of each other's way; NORMAL syncing in WAL
    // mode may lose the last writes on a power cut but never corrupts the file, and keeps a
    // write well under a millisecond.
    exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    exec(QStringLiteral("PRAGMA synchronous = NORMAL"));

    // Creating the schema, and otherwise rewriting the version, proves that the file can be
    // written: a store that silently dropped every write would look like an empty history.
    auto fail = [&](const QString& what) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_filePath, what);
        exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    QSqlQuery step(m_db);
    if (!step.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(step.lastError().text());
    if (found == 0) {
        for (const char* statement : schemaV1) {
            if (!step.exec(QLatin1String(statement)))
                return fail(step.lastError().text());
        }
    }
    // Later schemas migrate here, one version at a time, from `found` up to schemaVersion.
    if (!step.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion)))
        return fail(step.lastError().text());
    if (!step.exec(QStringLiteral("COMMIT")))
        return fail(step.lastError().text());

    if (throughout)
        m_checkedAt = now;
    // In use until closed: a session that ends without closing leaves the note saying so.
    writeNote(false);
    m_inUse = true;
    return true;
}

QString HistoryStore::damageOf(qint64 version, bool throughout) const
{
    // A damaged b-tree reads as empty tables and takes writes into the damage.
    if (throughout) {
        QSqlQuery check(m_db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check")))
            return QStringLiteral("the integrity check failed: %1").arg(check.lastError().text());
        QStringList problems;
        while (check.next()) {
            const QString line = check.value(0).toString();
            if (line != QLatin1String("ok") && problems.size() < 3)
                problems << line;
        }
        if (!problems.isEmpty())
            return QStringLiteral("the file is damaged (%1)").arg(problems.join(QStringLiteral("; ")));
    }

    // The tables and columns this build reads and writes, against what the file holds. A
    // database of another program, or an empty one that merely carries our version, would
    // fail every write, silently and for ever.
    const auto columnsOf = [this](const char* table) {
        QStringList columns;
        QSqlQuery info(m_db);
        if (info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)))) {
            while (info.next())
                columns << info.value(1).toString();
        }
        return columns;
    };
    const auto tableOf = [&](const char* name, const QStringList& wanted) -> QString {
        const QStringList columns = columnsOf(name);
        if (columns.isEmpty())
            return QStringLiteral("the table %1 is missing").arg(QLatin1String(name));
        for (const QString& column : QStringList{QStringLiteral("id")} + wanted) {
            if (!columns.contains(column))
                return QStringLiteral("the table %1 has no column %2").arg(QLatin1String(name), column);
        }
        return {};
    };
    if (version == 0) {
        // Only an empty database becomes a store; tables of anyone else's are left alone.
        QSqlQuery tables(m_db);
        if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !tables.next())
            return tables.lastError().text();
        return tables.value(0).toLongLong() == 0 ? QString() : QStringLiteral("it is a database of another program");
    }
    for (const QString& problem : {tableOf(Table<BatterySample>::name, Table<BatterySample>::columns()),
                                   tableOf(Table<PlugEventRecord>::name, Table<PlugEventRecord>::columns()),
                                   tableOf(Table<PowerActionRecord>::name, Table<PowerActionRecord>::columns()),
                                   tableOf(Table<ActionOutcomeRecord>::name, Table<ActionOutcomeRecord>::columns()),
                                   tableOf(Table<SavingsDailyRecord>::name, Table<SavingsDailyRecord>::columns())}) {
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

template <> BatterySample HistoryStore::read<BatterySample>(const QSqlQuery& row)
{
    BatterySample record(fromStored(row.value(1)), row.value(2).toLongLong(), row.value(3).toBool(),
        row.value(4).toBool(), realFrom(row.value(5)), realFrom(row.value(6)), row.value(7).toLongLong(),
        realFrom(row.value(8)));
    record.m_id = RecordId::row(row.value(0).toLongLong());
    return record;
}

template <> PlugEventRecord HistoryStore::read<PlugEventRecord>(const QSqlQuery& row)
{
    PlugEventRecord record(fromStored(row.value(1)), row.value(2).toBool(), row.value(3).toLongLong());
    record.m_id = RecordId::row(row.value(0).toLongLong());
    return record;
}

template <> PowerActionRecord HistoryStore::read<PowerActionRecord>(const QSqlQuery& row)
{
    PowerActionRecord record(fromStored(row.value(1)), row.value(2).toString(), row.value(3).toString());
    record.m_id = RecordId::row(row.value(0).toLongLong());
    return record;
}

template <> ActionOutcomeRecord HistoryStore::read<ActionOutcomeRecord>(const QSqlQuery& row)
{
    ActionOutcomeRecord record(
        fromStored(row.value(1)), row.value(2).toString(), realFrom(row.value(3)), row.value(4).toBool());
    record.m_id = RecordId::row(row.value(0).toLongLong());
    return record;
}

template <> SavingsDailyRecord HistoryStore::read<SavingsDailyRecord>(const QSqlQuery& row)
{
    SavingsDailyRecord record(
        fromStored(row.value(1)), realFrom(row.value(2)), realFrom(row.value(3)), row.value(4).toLongLong());
    record.m_id = RecordId::row(row.value(0).toLongLong());
    return record;
}

QVariantList HistoryStore::values(const BatterySample& r)
{
    return { toStored(r.timestamp), r.soc, r.isCharging, r.acAttached, r.temperature, r.healthPercent,
        r.cycleCount, r.watts };
}

QVariantList HistoryStore::values(const PlugEventRecord& r)
{
    return { toStored(r.timestamp), r.plugged, r.soc };
}

QVariantList HistoryStore::values(const PowerActionRecord& r)
{
    return { toStored(r.timestamp), r.action, r.detail };
}

bool HistoryStore::run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

std::optional<int> HistoryStore::exec(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query(m_db);
    if (!run(query, sql, values))
        return std::nullopt;
    return query.numRowsAffected();
}

std::optional<qint64> HistoryStore::insert(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query(m_db);
    if (!run(query, sql, values))
        return std::nullopt;
    const QVariant id = query.lastInsertId();
    if (!id.isValid())
        return std::nullopt;
    return id.toLongLong();
}

template <typename Record>
std::optional<QList<Record>> HistoryStore::fetch(const QString& clause, const QVariantList& values) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!run(query, selectSql<Record>() + QLatin1Char(' ') + clause, values))
        return std::nullopt;
    QList<Record> records;
    while (query.next())
        records.append(read<Record>(query));
    // A read that broke off part-way is a failed read, not a shorter history.
    if (query.lastError().type() != QSqlError::NoError)
        return std::nullopt;
    return records;
}

template <typename Record> bool HistoryStore::saveRecord(Record& record)
{
    QVariantList bound = values(record);
    if (record.m_id.isStored()) {
        bound << record.m_id.value();
        return exec(updateSql<Record>(), bound).value_or(0) == 1;
    }
    const std::optional<qint64> row = insert(insertSql<Record>(), bound);
    if (!row)
        return false;
    record.m_id = RecordId::row(*row);
    return true;
}

bool HistoryStore::save(BatterySample& sample)
{
    return saveRecord(sample);
}

bool HistoryStore::save(PlugEventRecord& event)
{
    return saveRecord(event);
}

bool HistoryStore::save(PowerActionRecord& action)
{
    return saveRecord(action);
}

template <typename Record>
QList<Record> HistoryStore::fetchAfter(const QDateTime& since, int limit) const
{
    if (limit <= 0)
        return {};
    return fetch<Record>(QStringLiteral("WHERE timestamp > ? ORDER BY timestamp, id LIMIT ?"), { toStored(since), limit })
        .value_or(QList<Record>());
}

template <typename Record>
qint64 HistoryStore::countAfter(const QDateTime& since, int limit) const
{
    if (limit <= 0)
        return 0;
    QSqlQuery query(m_db);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM %1 WHERE timestamp > ? LIMIT ?)")
                            .arg(QLatin1String(Table<Record>::name));
    if (!run(query, sql, { toStored(since), limit }) || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

QList<BatterySample> HistoryStore::samples(const QDateTime& since) const
{
    // The newest rows, so that a chart of the last month reaches up to now; handed out
    // oldest first as every other query.
    auto rows = fetch<BatterySample>(
        QStringLiteral("WHERE timestamp >= ? ORDER BY timestamp DESC, id DESC LIMIT ?"),
        { toStored(since), sampleFetchLimit });
    if (!rows)
        return {};
    std::reverse(rows->begin(), rows->end());
    return *rows;
}

QList<BatterySample> HistoryStore::thinnedSamples(const QDateTime& since, int points) const
{
    if (points <= 0)
        return {};
    QSqlQuery count(m_db);
    if (!run(count, QStringLiteral("SELECT COUNT(*) FROM BatterySample WHERE timestamp >= ?"), { toStored(since) })
        || !count.next())
        return {};
    const qint64 rows = count.value(0).toLongLong();
    const qint64 k = rows <= points ? 1 : rows / points + 1;
    // Counted first, so that the rows are numbered in one pass over the index without being
    // held for a count; only the rows kept are read whole.
    return fetch<BatterySample>(
        QStringLiteral("WHERE id IN (SELECT id FROM (SELECT id, ROW_NUMBER() OVER (ORDER BY timestamp, id) - 1 AS position"
                       " FROM BatterySample WHERE timestamp >= ?) WHERE position % ? = 0)"
                       " ORDER BY timestamp, id"),
        { toStored(since), k })
        .value_or(QList<BatterySample>());
}

QList<BatterySample> HistoryStore::samples(const QDateTime& since, int limit) const
{
    return fetchAfter<BatterySample>(since, limit);
}

QList<PlugEventRecord> HistoryStore::plugEvents(const QDateTime& since) const
{
    return fetch<PlugEventRecord>(
        QStringLiteral("WHERE timestamp >= ? ORDER BY timestamp, id"), { toStored(since) })
        .value_or(QList<PlugEventRecord>());
}

QList<PlugEventRecord> HistoryStore::plugEvents(const QDateTime& since, int limit) const
{
    return fetchAfter<PlugEventRecord>(since, limit);
}

QList<PowerActionRecord> HistoryStore::powerActions(const QDateTime& since, int limit) const
{
    return fetchAfter<PowerActionRecord>(since, limit);
}

QList<ActionOutcomeRecord> HistoryStore::actionOutcomes(const QDateTime& since, int limit) const
{
    return fetchAfter<ActionOutcomeRecord>(since, limit);
}

qint64 HistoryStore::sampleCount(const QDateTime& since, int limit) const
{
    return countAfter<BatterySample>(since, limit);
}

qint64 HistoryStore::powerActionCount(const QDateTime& since, int limit) const
{
    return countAfter<PowerActionRecord>(since, limit);
}

QList<PowerActionRecord> HistoryStore::recentPowerActions(int limit) const
{
    if (limit <= 0)
        return {};
    return fetch<PowerActionRecord>(QStringLiteral("ORDER BY timestamp DESC, id DESC LIMIT ?"), { limit })
        .value_or(QList<PowerActionRecord>());
}

QList<SavingsDailyRecord> HistoryStore::recentSavings(int days, const QDateTime& now) const
{
    const QDateTime today = m_calendar.startOfDay(now);
    if (!today.isValid())
        return {};
    // Whole 24 h steps back from today's start, not calendar days.
    const QDateTime windowStart = today.addSecs(-(qint64(days) - 1) * 86400);
    return fetch<SavingsDailyRecord>(
        QStringLiteral("WHERE day >= ? ORDER BY day DESC, id DESC"), { toStored(windowStart) })
        .value_or(QList<SavingsDailyRecord>());
}

SavingsDailyRecord HistoryStore::todaySavingsRecord(const QDateTime& now)
{
    const QDateTime day = m_calendar.startOfDay(now);
    SavingsDailyRecord fresh(day, 0, 0, 0);
    if (!day.isValid())
        return fresh;
    const auto rows
        = fetch<SavingsDailyRecord>(QStringLiteral("WHERE day = ? ORDER BY id"), { toStored(day) });
    if (!rows)
        return fresh;
    if (!rows->isEmpty())
        return rows->first();
    if (const auto row = insert(insertSql<SavingsDailyRecord>(), { toStored(day), 0.0, 0.0, qint64(0) }))
        fresh.m_id = RecordId::row(*row);
    return fresh;
}

bool HistoryStore::accrueSavings(
    double deltaWh, double deltaMinutes, qint64 actionsCount, const QDateTime& now)
{
    const SavingsDailyRecord today = todaySavingsRecord(now);
    if (!today.id().isStored())
        return false;
    // The sums are taken in the row itself, so a stale copy held elsewhere cannot undo them.
    const std::optional<int> changed = exec(QStringLiteral("UPDATE SavingsDailyRecord SET savedWh = savedWh + ?,"
                        " extendedMinutes = extendedMinutes + ?, actionsCount = MAX(actionsCount, ?)"
                        " WHERE id = ?"),
        { deltaWh, deltaMinutes, actionsCount, today.id().value() });
    return changed == 1;
}

void HistoryStore::addActionOutcome(const QString& actionKey, double deltaW, bool valid)
{
    insert(insertSql<ActionOutcomeRecord>(), { toStored(m_clock.now()), actionKey, deltaW, valid });
}

void HistoryStore::pruneOldData(int olderThanDays)
{
    const qint64 cutoff = toStored(m_clock.now()) - qint64(olderThanDays) * 86400 * 1000;
    // One transaction, so the file is written once; a failing delete does not stop the others.
    const bool inTransaction = exec(QStringLiteral("BEGIN IMMEDIATE")).has_value();
    for (const char* table :
        { "BatterySample", "PlugEventRecord", "PowerActionRecord", "ActionOutcomeRecord" })
        exec(QStringLiteral("DELETE FROM %1 WHERE timestamp < ?").arg(QLatin1String(table)), { cutoff });
    exec(QStringLiteral("DELETE FROM SavingsDailyRecord WHERE day < ?"), { cutoff });
    if (inTransaction && !exec(QStringLiteral("COMMIT")))
        exec(QStringLiteral("ROLLBACK"));
}

} // namespace kestrune
