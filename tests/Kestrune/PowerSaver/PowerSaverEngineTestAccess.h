#pragma once

#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "tests/support/RecordingNotifications.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

namespace kestrune {

// The engine's private state, for seeding and inspecting it in tests.
class PowerSaverEngineTestAccess {
public:
    explicit PowerSaverEngineTestAccess(PowerSaverEngine& engine) : e(engine) {}

    EffectMeasurer& measurer() { return e.m_measurer; }
    QMap<QString, QDateTime>& appliedAt() { return e.m_actionAppliedAt; }
    QMap<QString, qint64>& sessionActionCounts() { return e.m_sessionActionCounts; }
    std::optional<QDateTime>& sessionStart() { return e.m_sessionStart; }
    int& sessionStartSOC() { return e.m_sessionStartSOC; }
    std::optional<double>& sessionPredictedHours() { return e.m_sessionPredictedHours; }
    bool& userDimOverride() { return e.m_userDimOverride; }
    std::optional<QDateTime>& lastLedgerAt() { return e.m_lastLedgerAt; }
    QDateTime& ledgerDay() { return e.m_ledgerDay; }
    bool& evaluating() { return e.m_evaluating; }
    QDateTime& lastSampleAt() { return e.m_lastSampleAt; }

    void setLevel(int level, const QDateTime& changedAt)
    {
        e.setLevel(level);
        e.m_lastLevelChange = changedAt;
    }
    void setDrainWatts(double watts) { e.setDrainWatts(watts); }
    void setEstimates(std::optional<double> runtime, std::optional<double> required)
    {
        e.setEstimatedRuntimeHours(runtime);
        e.setRequiredHours(required);
    }
    void setExpectedSavingsW(double watts) { e.setExpectedSavingsW(watts); }
    void setDeficitW(double watts) { e.setCurrentDeficitW(watts); }
    void setToday(double wh, double minutes)
    {
        e.setSavedTodayWh(wh);
        e.setExtendedTodayMinutes(minutes);
    }
    void setSessionSavedWh(double wh) { e.setSessionSavedWh(wh); }
    // Keys in force, each applied at `at`.
    void setActive(const QStringList& keys, const QDateTime& at)
    {
        e.setActiveActionKeys(ActionKeySet(keys.begin(), keys.end()));
        e.m_actionAppliedAt.clear();
        for (const QString& key : keys)
            e.m_actionAppliedAt.insert(key, at);
    }
    void setThrottled(const ThrottledProcessMap& processes) { e.setThrottledProcesses(processes); }

    int decideTier(int soc, const QDateTime& now) const { return e.decideTier(soc, now); }
    QJsonObject telemetry(const BatterySnapshot& snapshot, int tier) const { return e.buildTelemetry(snapshot, tier); }
    QJsonObject sessionReport(double minutes, int endSOC) const { return e.sessionReport(minutes, endSOC); }
    void updateStatusText() { e.updateStatusText(); }
    double computeDeficit(const BatterySnapshot& snapshot, int tier,
                          const std::optional<AIStrategist::Strategy>& strategy = std::nullopt) const
    {
        return e.computeDeficit(snapshot, tier, strategy);
    }
    std::vector<PowerPolicy::Candidate> candidates(int tier,
                                                   const std::optional<AIStrategist::Strategy>& strategy = std::nullopt) const
    {
        return e.buildCandidates(tier, strategy);
    }
    bool apply(const QString& key, const std::optional<AIStrategist::Strategy>& strategy, const QDateTime& now)
    {
        return QCoro::waitFor(e.applyAction(key, strategy, now));
    }
    void remove(const QString& key, const QString& reason) { QCoro::waitFor(e.removeAction(key, reason)); }
    void applyPolicy(const BatterySnapshot& snapshot, int tier, const QDateTime& now)
    {
        QCoro::waitFor(e.applyPolicy(snapshot, tier, now));
    }
    void accrueLedger(const QDateTime& now) { e.accrueLedger(now); }
    void sampleIfNeeded(const QDateTime& now) { QCoro::waitFor(e.sampleIfNeeded(now)); }

private:
    PowerSaverEngine& e;
};

} // namespace kestrune
