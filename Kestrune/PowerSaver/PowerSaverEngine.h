#pragma once

#include "Foundation/Clock.h"
#include "Foundation/LocalCalendar.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/PowerSaver/EffectMeasurer.h"
#include "Kestrune/PowerSaver/PowerPolicy.h"
#include "Kestrune/Share/SavingsStats.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kestrune {

class ChargingSettings;
class DisplayControl;
class HelperClient;
class HistoryStore;
class Notifier;
class ProcessEnergyTracker;
class SavingsModel;
class UserDefaults;

using ThrottledProcessMap = QMap<qint64, QString>; // pid -> process name
using ActionKeySet = QSet<QString>;

// The power-saving autopilot. Each battery reading (evaluate) brings the battery session, the
// drain and the runtime estimates up to date, then either stands down (autopilot off, or on
// external power: everything in force is undone) or, on battery, chooses a saving level,
// books the savings ledger, samples which processes spend energy, applies and removes
// actions, asks the AI strategist for the day's strategy and writes the status line.
//
// Everything runs on the main thread. A tick suspends while the daemon answers; a tick that
// arrives meanwhile is dropped, while application activations, manual releases and measured
// effects may still run and change the fields, which every step reads afresh after a wait.
class PowerSaverEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(int level READ level NOTIFY levelChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(std::optional<double> estimatedRuntimeHours READ estimatedRuntimeHours
                   NOTIFY estimatedRuntimeHoursChanged)
    Q_PROPERTY(std::optional<double> requiredHours READ requiredHours NOTIFY requiredHoursChanged)
    Q_PROPERTY(double drainWatts READ drainWatts NOTIFY drainWattsChanged)
    Q_PROPERTY(kestrune::ThrottledProcessMap throttledProcesses READ throttledProcesses
                   NOTIFY throttledProcessesChanged)
    Q_PROPERTY(kestrune::ActionKeySet activeActionKeys READ activeActionKeys NOTIFY activeActionKeysChanged)
    Q_PROPERTY(double currentDeficitW READ currentDeficitW NOTIFY currentDeficitWChanged)
    Q_PROPERTY(double expectedSavingsW READ expectedSavingsW NOTIFY expectedSavingsWChanged)
    Q_PROPERTY(double savedTodayWh READ savedTodayWh NOTIFY savedTodayWhChanged)
    Q_PROPERTY(double extendedTodayMinutes READ extendedTodayMinutes NOTIFY extendedTodayMinutesChanged)
    Q_PROPERTY(double sessionSavedWh READ sessionSavedWh NOTIFY sessionSavedWhChanged)
    Q_PROPERTY(double totalSavedWh READ totalSavedWh NOTIFY totalSavedWhChanged)
    Q_PROPERTY(double totalExtendedMinutes READ totalExtendedMinutes NOTIFY totalExtendedMinutesChanged)
    Q_PROPERTY(bool boostUntilAC READ boostUntilAC WRITE setBoostUntilAC NOTIFY boostUntilACChanged)

public:
    // The collaborators are shared and must outlive the engine.
    PowerSaverEngine(ChargingSettings& settings, HelperClient& helper, ProcessEnergyTracker& tracker,
                     DisplayControl& display, HistoryStore* history, Notifier& notifier, SavingsModel& savings,
                     UserDefaults& defaults, const Clock& clock, LocalCalendar calendar, QObject* parent = nullptr);
    ~PowerSaverEngine() override;

    // The titles of the levels 0 to 3.
    static QStringList levelNames();

    int level() const { return m_level; }
    QString statusText() const { return m_statusText; }
    std::optional<double> estimatedRuntimeHours() const { return m_estimatedRuntimeHours; }
    std::optional<double> requiredHours() const { return m_requiredHours; }
    double drainWatts() const { return m_drainWatts; }
    ThrottledProcessMap throttledProcesses() const { return m_throttledProcesses; }
    ActionKeySet activeActionKeys() const { return m_activeActionKeys; }
    double currentDeficitW() const { return m_currentDeficitW; }
    double expectedSavingsW() const { return m_expectedSavingsW; }
    double savedTodayWh() const { return m_savedTodayWh; }
    double extendedTodayMinutes() const { return m_extendedTodayMinutes; }
    double sessionSavedWh() const { return m_sessionSavedWh; }
    double totalSavedWh() const { return m_totalSavedWh; }
    double totalExtendedMinutes() const { return m_totalExtendedMinutes; }
    bool boostUntilAC() const { return m_boostUntilAC; }
    // The user's switch: maximum saving until external power returns.
    void setBoostUntilAC(bool value);

    // Set by the application shell; the engine works without a strategy while there is none.
    AIStrategist* strategist() const { return m_strategist; }
    void setStrategist(AIStrategist* strategist) { m_strategist = strategist; }
    // Raised with a milestone reached for the first time.
    std::function<void(const SavingsStats::Milestone&)> onMilestone;
    // The application's language for the backend ("ja" until the shell points it elsewhere).
    std::function<QString()> languageCode = [] { return QStringLiteral("ja"); };

    // One tick over a battery reading. A tick that starts while another runs does nothing.
    QCoro::Task<> evaluate(BatterySnapshot snapshot, QDateTime now);
    // An application came to the front (its name; empty when unknown): its throttled
    // processes are released.
    QCoro::Task<> appActivated(QString name);

    // Hands the telemetry to the strategist, which decides whether to ask the backend; on
    // battery only. The power-saver tab forces a request.
    void requestStrategyUpdate(const BatterySnapshot& snapshot, int tier, bool force);
    // Today's ledger figures (and the all-time ones), at start and at each new day.
    void loadLedgerTotals(const QDateTime& now);
    // Today's, the week's and all-time savings and the streak of days, for the views and the
    // share card.
    SavingsStats::Summary savingsSummary(const QDateTime& now) const;
    // The user releases one throttled process by hand ("解除"). A second press while the
    // first is still with the daemon does nothing.
    QCoro::Task<> unthrottle(qint64 pid);

signals:
    void levelChanged();
    void statusTextChanged();
    void estimatedRuntimeHoursChanged();
    void requiredHoursChanged();
    void drainWattsChanged();
    void throttledProcessesChanged();
    void activeActionKeysChanged();
    void currentDeficitWChanged();
    void expectedSavingsWChanged();
    void savedTodayWhChanged();
    void extendedTodayMinutesChanged();
    void sessionSavedWhChanged();
    void totalSavedWhChanged();
    void totalExtendedMinutesChanged();
    void boostUntilACChanged();

private:
    friend class PowerSaverEngineTestAccess;

    // The tick's three endings.
    QCoro::Task<> standDownAutopilotOff();
    QCoro::Task<> standDownOnExternalPower();
    QCoro::Task<> tickOnBattery(BatterySnapshot snapshot, QDateTime now);
    void changeLevel(int tier, int soc, const QDateTime& now);

    // Battery session, drain and estimates.
    void updateSession(const BatterySnapshot& snapshot, const QDateTime& now);
    void updateDrain(const BatterySnapshot& snapshot);
    void updateEstimates(const BatterySnapshot& snapshot, const QDateTime& now);
    void finishSession(const QDateTime& startedAt, int endSOC, const QDateTime& now);
    QJsonObject sessionReport(double minutes, int endSOC) const;
    static QCoro::Task<> deliverSessionReport(QPointer<PowerSaverEngine> self, QJsonObject stats);

    // Saving level.
    void checkUserDimOverride();
    int decideTier(int soc, const QDateTime& now) const;

    // Strategy feed and status.
    std::optional<AIStrategist::Strategy> activeStrategy() const;
    QJsonObject buildTelemetry(const BatterySnapshot& snapshot, int tier) const;
    void updateStatusText();

    // Ledger totals and milestones.
    void loadLifetimeTotals(const QDateTime& now);
    void saveLifetimeTotals();
    // Reads the ledger's days of the summary afresh (newest first), for the views.
    QList<SavingsStats::DayEntry> readRecentDays(const QDateTime& now) const;
    SavingsStats::Summary summaryOf(const QList<SavingsStats::DayEntry>& days, const QDateTime& now) const;
    // The same days as the milestone check keeps them between ticks, and today's accrual
    // added to them.
    const QList<SavingsStats::DayEntry>& recentDays(const QDateTime& now);
    void addToRecentDays(double wh, double minutes, const QDateTime& now);
    void checkMilestones(const QDateTime& now);
    void accrueLedger(const QDateTime& now);
    QCoro::Task<> sampleIfNeeded(QDateTime now);

    // Choosing, applying and removing actions.
    double computeDeficit(const BatterySnapshot& snapshot, int tier,
                          const std::optional<AIStrategist::Strategy>& strategy) const;
    std::vector<PowerPolicy::Candidate> buildCandidates(int tier,
                                                        const std::optional<AIStrategist::Strategy>& strategy) const;
    QCoro::Task<> applyPolicy(BatterySnapshot snapshot, int tier, QDateTime now);
    void notifyThrottled(const QStringList& names);
    // True only when a throttle newly lowered at least one process.
    QCoro::Task<bool> applyAction(QString key, std::optional<AIStrategist::Strategy> strategy, QDateTime now);
    QCoro::Task<bool> applyThrottle(QString key, QDateTime now);
    void recordApplied(const QString& key, const QDateTime& now);
    QCoro::Task<> removeAction(QString key, QString reason);
    bool isExcluded(const QString& processName) const;

    // Restoring everything: something the daemon changed for us is still in force.
    bool anythingInForce() const;
    QCoro::Task<> restoreEverything(QString reason);

    // A measured effect, reached only through the measurer.
    void recordMeasurementResult(const QString& key, double deltaW, bool valid);

    // One line of the action log; nothing without a history store.
    void log(const QString& action, const QString& detail);
    void dropActionKey(const QString& key);
    // A process is no longer listed as throttled by us.
    void forgetThrottled(qint64 pid);

    // Observers hear only of a real change.
    template <typename T>
    void assign(T& field, const T& value, void (PowerSaverEngine::*changed)())
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)();
    }
    void setLevel(int value) { assign(m_level, value, &PowerSaverEngine::levelChanged); }
    void setStatusText(const QString& value) { assign(m_statusText, value, &PowerSaverEngine::statusTextChanged); }
    void setEstimatedRuntimeHours(std::optional<double> value)
    {
        assign(m_estimatedRuntimeHours, value, &PowerSaverEngine::estimatedRuntimeHoursChanged);
    }
    void setRequiredHours(std::optional<double> value)
    {
        assign(m_requiredHours, value, &PowerSaverEngine::requiredHoursChanged);
    }
    void setDrainWatts(double value) { assign(m_drainWatts, value, &PowerSaverEngine::drainWattsChanged); }
    void setThrottledProcesses(const ThrottledProcessMap& value)
    {
        assign(m_throttledProcesses, value, &PowerSaverEngine::throttledProcessesChanged);
    }
    void setActiveActionKeys(const ActionKeySet& value)
    {
        assign(m_activeActionKeys, value, &PowerSaverEngine::activeActionKeysChanged);
    }
    void setCurrentDeficitW(double value) { assign(m_currentDeficitW, value, &PowerSaverEngine::currentDeficitWChanged); }
    void setExpectedSavingsW(double value)
    {
        assign(m_expectedSavingsW, value, &PowerSaverEngine::expectedSavingsWChanged);
    }
    void setSavedTodayWh(double value) { assign(m_savedTodayWh, value, &PowerSaverEngine::savedTodayWhChanged); }
    void setExtendedTodayMinutes(double value)
    {
        assign(m_extendedTodayMinutes, value, &PowerSaverEngine::extendedTodayMinutesChanged);
    }
    void setSessionSavedWh(double value) { assign(m_sessionSavedWh, value, &PowerSaverEngine::sessionSavedWhChanged); }
    void setTotalSavedWh(double value) { assign(m_totalSavedWh, value, &PowerSaverEngine::totalSavedWhChanged); }
    void setTotalExtendedMinutes(double value)
    {
        assign(m_totalExtendedMinutes, value, &PowerSaverEngine::totalExtendedMinutesChanged);
    }

    ChargingSettings& m_settings;
    HelperClient& m_helper;
    ProcessEnergyTracker& m_tracker;
    DisplayControl& m_display;
    HistoryStore* m_history;
    Notifier& m_notifier;
    SavingsModel& m_savings;
    UserDefaults& m_defaults;
    const Clock& m_clock;
    LocalCalendar m_calendar;

    QPointer<AIStrategist> m_strategist;
    int m_level = 0;
    QString m_statusText;
    std::optional<double> m_estimatedRuntimeHours;
    std::optional<double> m_requiredHours;
    double m_drainWatts = 0;
    ThrottledProcessMap m_throttledProcesses;
    ActionKeySet m_activeActionKeys;
    double m_currentDeficitW = 0;
    double m_expectedSavingsW = 0;
    double m_savedTodayWh = 0;
    double m_extendedTodayMinutes = 0;
    double m_sessionSavedWh = 0;
    double m_totalSavedWh = 0;
    double m_totalExtendedMinutes = 0;
    bool m_boostUntilAC = false;

    EffectMeasurer m_measurer;
    QMap<QString, QDateTime> m_actionAppliedAt;
    std::optional<QDateTime> m_sessionStart;
    int m_sessionStartSOC = 0;
    std::optional<double> m_sessionPredictedHours;
    QMap<QString, qint64> m_sessionActionCounts;
    bool m_userDimOverride = false;
    bool m_notifiedL3 = false;
    QDateTime m_lastLevelChange;
    QDateTime m_lastSampleAt;
    std::optional<QDateTime> m_lastLedgerAt;
    QDateTime m_ledgerDay;
    // Read once a day: during a day only today's row changes, and only by the accrual here.
    QList<SavingsStats::DayEntry> m_recentDays;
    QDateTime m_recentDaysOf; // the start of the day they were read on; invalid: not read
    bool m_evaluating = false;
    // Processes whose manual release is waiting for the daemon.
    QSet<qint64> m_releasing;
};

} // namespace kestrune
