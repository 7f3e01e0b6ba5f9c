#pragma once

#include "Foundation/Clock.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

namespace kestrune {

class BackendClient;
class ChargingSettings;
class HistoryStore;
class ProcessEnergyTracker;
class SavingsModel;
class UserDefaults;

// Uploads the history and the learned state to the backend in batches, and restores the
// learned state once on an installation that has learned nothing yet.
//
// Each of the four record lists keeps a watermark in the user defaults: the time of its
// newest record the backend accepted. The watermarks belong to one server address; when the
// address changes they are forgotten and the last seven days go again. A batch that fails
// moves nothing, so its records go again with the next run.
class BackendSync : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QDateTime> lastSyncAt READ lastSyncAt NOTIFY lastSyncAtChanged)
    Q_PROPERTY(std::optional<QString> lastSyncError READ lastSyncError NOTIFY lastSyncErrorChanged)
    Q_PROPERTY(QString pendingDescription READ pendingDescription NOTIFY pendingDescriptionChanged)
    Q_PROPERTY(bool syncing READ syncing NOTIFY syncingChanged)

public:
    static constexpr int batchLimit = 1500;
    static constexpr int maxBatchesPerRun = 10;
    // Unforced runs start at least this far apart.
    static constexpr qint64 runSpacingSeconds = 300;
    // What a list without a watermark covers.
    static constexpr qint64 defaultWindowSeconds = 7 * 86400;

    static constexpr auto samplesWatermarkKey = "backend.wm.samples";
    static constexpr auto plugEventsWatermarkKey = "backend.wm.plugEvents";
    static constexpr auto actionsWatermarkKey = "backend.wm.actions";
    static constexpr auto outcomesWatermarkKey = "backend.wm.outcomes";
    static constexpr auto serverURLKey = "backend.wm.serverURL";
    static constexpr auto lastSyncAtKey = "backend.lastSyncAt";
    static constexpr auto didRestoreLearnedKey = "backend.didRestoreLearned";

    // `history` may be null: the application then runs without a history store.
    BackendSync(ChargingSettings& settings, UserDefaults& defaults, BackendClient& client,
        HistoryStore* history, SavingsModel& savings, ProcessEnergyTracker& tracker,
        const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~BackendSync() override;

    std::optional<QDateTime> lastSyncAt() const { return m_lastSyncAt; }
    std::optional<QString> lastSyncError() const { return m_lastSyncError; }
    // What is still to be sent, in one line.
    QString pendingDescription() const { return m_pendingDescription; }
    bool syncing() const { return m_syncing; }

    // The periodic entry: checks the backend's health and, unless forced, syncs at most once
    // every five minutes.
    QCoro::Task<> tick(bool force);
    // One run of up to ten batches.
    QCoro::Task<> syncNow();
    // Fetches the learned state the backend keeps, once per installation, when nothing has
    // been learned here yet. Start-up calls it before its first sync.
    QCoro::Task<> restoreLearnedIfNeeded();

signals:
    void lastSyncAtChanged();
    void lastSyncErrorChanged();
    void pendingDescriptionChanged();
    void syncingChanged(bool syncing);

private:
    struct Batch;

    void resetWatermarksIfServerChanged();
    Batch collectBatch(const QDateTime& now) const;
    QCoro::Task<bool> syncBatch();
    void updatePendingDescription();
    QDateTime watermark(const char* key, const QDateTime& now) const;
    bool restoreStillPossible() const;

    void setLastSyncAt(const QDateTime& at);
    void setLastSyncError(const std::optional<QString>& error);
    void setPendingDescription(const QString& description);
    void setSyncing(bool syncing);

    ChargingSettings& m_settings;
    UserDefaults& m_defaults;
    BackendClient& m_client;
    HistoryStore* m_history;
    SavingsModel& m_savings;
    ProcessEnergyTracker& m_tracker;
    const Clock& m_clock;

    std::optional<QDateTime> m_lastSyncAt;
    std::optional<QString> m_lastSyncError;
    QString m_pendingDescription;
    bool m_syncing = false;
    QDateTime m_lastAttemptAt; // invalid: never, so the first tick after launch syncs
    bool m_restoreReturned = false;
};

} // namespace kestrune
