#include "Kestrune/Sync/BackendSync.h"

#include "Foundation/Epoch.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/Sync/SyncPayload.h"

#include <QPointer>
#include <QScopeGuard>

#include <limits>

namespace kestrune {

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// The records of one list that a batch takes.
template <typename Record> struct Slice {
    QList<Record> records; // oldest first; the list's watermark moves to the last one
    bool trimmed = false; // ended before a group of records stamped alike, which goes next

    bool full() const { return records.size() >= BackendSync::batchLimit; }
};

// One of the history's "records after, at most so many" queries.
template <typename Record>
using Fetch = QList<Record> (HistoryStore::*)(const QDateTime&, int) const;

// The records after `since`, at most a batch of them. A watermark is a time, so the records
// up to one are done: a batch must never end inside a group stamped alike (one pass stamps
// several log entries with one time), or the rest of the group would be skipped for good.

template <typename Record>
Slice<Record> takeSlice(const HistoryStore& history, Fetch<Record> fetch, const QDateTime& since)
{
    constexpr int limit = BackendSync::batchLimit;
    QList<Record> rows = (history.*fetch)(since, limit + 1);
    if (rows.size() <= limit)
        return { rows, false };
    const QDateTime last = rows[limit - 1].timestamp;
    if (rows[limit].timestamp != last) {
        rows.erase(rows.begin() + limit, rows.end());
        return { rows, false };
    }
    qsizetype groupStart = limit - 1;
    while (groupStart > 0 && rows[groupStart - 1].timestamp == last)
        --groupStart;
    if (groupStart > 0) {
        rows.erase(rows.begin() + groupStart, rows.end());
        return { rows, true };
    }
    // A group larger than a batch goes whole.
    qsizetype wanted = limit + 1;
    while (rows.size() == wanted && rows.last().timestamp == last
        && wanted < std::numeric_limits<int>::max() / 2) {
        wanted *= 2;
        rows = (history.*fetch)(since, int(wanted));
    }
    while (!rows.isEmpty() && rows.last().timestamp != last)
        rows.removeLast();
    return { rows, false };
}

// A time the defaults keep as seconds since 1970; nothing when it is absent or unreadable.
std::optional<QDateTime> storedDate(const UserDefaults& defaults, const char* name)
{
    const double seconds = defaults.real(key(name));
    if (!(seconds > 0))
        return std::nullopt;
    const QDateTime at = Epoch::fromSecondsSince1970(seconds);
    if (!at.isValid())
        return std::nullopt;
    return at;
}

template <typename Record>
void storeWatermark(UserDefaults& defaults, const char* name, const QList<Record>& records)
{
    if (!records.isEmpty())
        defaults.set(key(name), Epoch::secondsSince1970(records.last().timestamp));
}

} // namespace

struct BackendSync::Batch {
    SyncPayload payload;
    bool asksForMore = false;
};

BackendSync::BackendSync(ChargingSettings& settings, UserDefaults& defaults, BackendClient& client,
    HistoryStore* history, SavingsModel& savings, ProcessEnergyTracker& tracker, const Clock& clock,
    QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_defaults(defaults)
    , m_client(client)
    , m_history(history)
    , m_savings(savings)
    , m_tracker(tracker)
    , m_clock(clock)
    , m_lastSyncAt(storedDate(defaults, lastSyncAtKey))
{
}

BackendSync::~BackendSync() = default;

QDateTime BackendSync::watermark(const char* name, const QDateTime& now) const
{
    return storedDate(m_defaults, name).value_or(now.addSecs(-defaultWindowSeconds));
}

bool BackendSync::restoreStillPossible() const
{
    return m_settings.backendEnabled() && !m_defaults.boolean(key(didRestoreLearnedKey))
        && m_savings.learnedEffectList().empty();
}

QCoro::Task<> BackendSync::tick(bool force)
{
    if (!m_settings.backendEnabled())
        co_return;
    QPointer<BackendSync> self(this);
    co_await m_client.checkHealth(force);
    if (!self)
        co_return;
    if (!m_client.isReady()) {
        updatePendingDescription();
        co_return;
    }
    if (!force && m_lastAttemptAt.isValid()
        && m_lastAttemptAt.msecsTo(m_clock.now()) < runSpacingSeconds * 1000)
        co_return;
    co_await syncNow();
}

QCoro::Task<> BackendSync::syncNow()
{
    // Until this launch's restore has had its chance, an upload could put the empty model
    // of a new installation over the state the server keeps for it.
    if (m_syncing || !m_client.isReady() || (restoreStillPossible() && !m_restoreReturned))
        co_return;
    QPointer<BackendSync> self(this);
    setSyncing(true);
    m_lastAttemptAt = m_clock.now();
    resetWatermarksIfServerChanged();
    for (int batches = 0; batches < maxBatchesPerRun; ++batches) {
        const bool more = co_await syncBatch();
        if (!self)
            co_return;
        if (!more)
            break;
    }
    setSyncing(false);
    updatePendingDescription();
}

void BackendSync::resetWatermarksIfServerChanged()
{
    const std::optional<QString> recorded = m_defaults.string(key(serverURLKey));
    if (recorded == m_settings.backendURL())
        return;
    for (const char* name :
        { samplesWatermarkKey, plugEventsWatermarkKey, actionsWatermarkKey, outcomesWatermarkKey })
        m_defaults.remove(key(name));
    m_defaults.set(key(serverURLKey), m_settings.backendURL());
}

BackendSync::Batch BackendSync::collectBatch(const QDateTime& now) const
{
    Batch batch;
    if (m_history) {
        const HistoryStore& history = *m_history;
        const auto samples
            = takeSlice<BatterySample>(history, &HistoryStore::samples, watermark(samplesWatermarkKey, now));
        const auto plugEvents
            = takeSlice<PlugEventRecord>(history, &HistoryStore::plugEvents, watermark(plugEventsWatermarkKey, now));
        const auto actions
            = takeSlice<PowerActionRecord>(history, &HistoryStore::powerActions, watermark(actionsWatermarkKey, now));
        const auto outcomes = takeSlice<ActionOutcomeRecord>(
            history, &HistoryStore::actionOutcomes, watermark(outcomesWatermarkKey, now));
        batch.payload.samples = samples.records;
        batch.payload.plugEvents = plugEvents.records;
        batch.payload.powerActions = actions.records;
        batch.payload.actionOutcomes = outcomes.records;
        batch.payload.savingsDaily = history.recentSavings(7, now);
        // Plug events alone never ask for another batch, but a list cut before a group does.
        batch.asksForMore = samples.full() || actions.full() || outcomes.full() || samples.trimmed
            || plugEvents.trimmed || actions.trimmed || outcomes.trimmed;
    }
    batch.payload.impactEMA = m_tracker.impactEMA();
    batch.payload.learned = m_savings.exportBackup();
    batch.payload.settings = m_settings.exportBackup();
    return batch;
}

QCoro::Task<bool> BackendSync::syncBatch()
{
    const Batch batch = collectBatch(m_clock.now());
    QPointer<BackendSync> self(this);
    const BackendResult<BackendClient::AcceptedCounts> result
        = co_await m_client.sync(batch.payload.toJson());
    if (!self)
        co_return false;
    if (!result) {
        setLastSyncError(result.failure().description());
        co_return false;
    }
    // The watermarks follow the records fetched, not only those sent: a record left out
    // for a number JSON cannot carry would otherwise be fetched again forever.
    storeWatermark(m_defaults, samplesWatermarkKey, batch.payload.samples);
    storeWatermark(m_defaults, plugEventsWatermarkKey, batch.payload.plugEvents);
    storeWatermark(m_defaults, actionsWatermarkKey, batch.payload.powerActions);
    storeWatermark(m_defaults, outcomesWatermarkKey, batch.payload.actionOutcomes);
    const QDateTime now = m_clock.now();
    setLastSyncAt(now);
    m_defaults.set(key(lastSyncAtKey), Epoch::secondsSince1970(now));
    setLastSyncError(std::nullopt);
    // On disk before the next batch: a kill resends at most the batch in flight.
    m_defaults.synchronize();
    co_return batch.asksForMore;
}

void BackendSync::updatePendingDescription()
{
    if (!m_history) {
        setPendingDescription(QString());
        return;
    }
    const QDateTime now = m_clock.now();
    // Counted, not read: this runs on every reading while the backend cannot be reached.
    const qint64 samples = m_history->sampleCount(watermark(samplesWatermarkKey, now), batchLimit);
    const qint64 actions = m_history->powerActionCount(watermark(actionsWatermarkKey, now), 2000);
    if (samples == 0 && actions == 0)
        setPendingDescription(QStringLiteral("未送信データなし"));
    else
        setPendingDescription(
            QStringLiteral("未送信: サンプル%1件・アクション%2件").arg(samples).arg(actions));
}

QCoro::Task<> BackendSync::restoreLearnedIfNeeded()
{
    QPointer<BackendSync> self(this);
    const auto returned = qScopeGuard([self] {
        if (self)
            self->m_restoreReturned = true;
    });
    if (!m_settings.backendEnabled() || m_defaults.boolean(key(didRestoreLearnedKey)))
        co_return;
    // A model that has learned something is never overwritten by a restore.
    if (!m_savings.learnedEffectList().empty()) {
        m_defaults.set(key(didRestoreLearnedKey), true);
        co_return;
    }
    co_await m_client.checkHealth(true);
    // A registration started elsewhere (the first tick's health check) is still this
    // launch's registration: without waiting for it the restore would give up, and the sync
    // that follows would put the empty model over the state the server keeps.
    if (self)
        co_await m_client.waitForRegistration();
    if (!self || !m_client.isReady())
        co_return;
    const BackendResult<std::optional<QJsonObject>> state
        = co_await m_client.fetchState(QStringLiteral("learned"));
    if (!self || !state)
        co_return;
    if (const std::optional<QJsonObject>& learned = state.value()) {
        m_savings.importBackup(*learned);
        const QJsonValue impacts = learned->value(QStringLiteral("impact_ema"));
        if (impacts.isObject()) {
            ImpactMap restored;
            const QJsonObject map = impacts.toObject();
            for (auto it = map.begin(); it != map.end() && it.value().isDouble(); ++it)
                restored.insert(it.key(), it.value().toDouble());
            if (restored.size() == map.size()) {
                m_tracker.setImpactEMA(restored);
                m_tracker.persistEMA();
            }
        }
    }
    m_defaults.set(key(didRestoreLearnedKey), true);
}

// Observable fields: observers hear only of real changes.

void BackendSync::setLastSyncAt(const QDateTime& at)
{
    if (m_lastSyncAt == at)
        return;
    m_lastSyncAt = at;
    emit lastSyncAtChanged();
}

void BackendSync::setLastSyncError(const std::optional<QString>& error)
{
    if (m_lastSyncError == error)
        return;
    m_lastSyncError = error;
    emit lastSyncErrorChanged();
}

void BackendSync::setPendingDescription(const QString& description)
{
    if (m_pendingDescription == description)
        return;
    m_pendingDescription = description;
    emit pendingDescriptionChanged();
}

void BackendSync::setSyncing(bool syncing)
{
    if (m_syncing == syncing)
        return;
    m_syncing = syncing;
    emit syncingChanged(syncing);
}

} // namespace kestrune
