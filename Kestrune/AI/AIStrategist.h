#pragma once

#include "Foundation/Clock.h"
#include "Foundation/LocalCalendar.h"
#include "Kestrune/Backend/AIUsage.h"
#include "Kestrune/Backend/BackendClient.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

class ChargingSettings;
class UserDefaults;

// The application's one client of the backend's language models: the day's power-saving
// strategy (at most one accepted per local day, requested at most every 900 s, followed for
// a day), a report when a battery session ends and a diagnosis of abnormal drain. One model
// call runs at a time for the whole application; a call that meets another is dropped.
// Every strategy is sanitised before anyone sees it: numbers are clamped to safe ranges and
// process names survive only when the machine itself reported them.
//
// The power saver and its tests depend on the virtual members; they are virtual only so
// that those tests can stand in for the backend.
class AIStrategist : public QObject {
    Q_OBJECT
    Q_PROPERTY(kestrune::BackendClient* backend READ backend WRITE setBackend NOTIFY backendChanged)
    Q_PROPERTY(std::optional<kestrune::AIStrategist::Strategy> currentStrategy READ currentStrategy NOTIFY
            currentStrategyChanged)
    Q_PROPERTY(
        std::optional<QDateTime> strategyUpdatedAt READ strategyUpdatedAt NOTIFY strategyUpdatedAtChanged)
    Q_PROPERTY(
        std::optional<QString> lastSessionReport READ lastSessionReport NOTIFY lastSessionReportChanged)
    Q_PROPERTY(std::optional<QDateTime> lastSessionReportAt READ lastSessionReportAt NOTIFY
            lastSessionReportAtChanged)
    Q_PROPERTY(std::optional<QString> lastDiagnosis READ lastDiagnosis NOTIFY lastDiagnosisChanged)
    Q_PROPERTY(std::optional<QString> lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(bool isCalling READ isCalling NOTIFY isCallingChanged)
    Q_PROPERTY(qint64 callsToday READ callsToday NOTIFY callsTodayChanged)
    Q_PROPERTY(qint64 tokensToday READ tokensToday NOTIFY tokensTodayChanged)

public:
    // A day's plan; an absent field gives no advice on that point.
    struct Strategy {
        std::optional<double> targetDrainWatts; // "target_drain_watts", W
        std::optional<QStringList> throttleRecommended; // "throttle_recommended"
        std::optional<QStringList> throttleAvoid; // "throttle_avoid"
        std::optional<double> brightnessCap; // "brightness_cap", share of full brightness
        std::optional<qint64> escalateSocThreshold; // "escalate_soc_threshold", percent
        std::optional<QString> reasoning;

        bool operator==(const Strategy&) const = default;

        // Strict: a key of the wrong type fails the whole record; null is absent; unknown
        // keys are ignored.
        static std::optional<Strategy> fromJson(const QByteArray& json);
        // Only the fields present. Nothing when a number is not finite.
        std::optional<QByteArray> toJson() const;
    };

    static constexpr double strategySpacingSeconds = 900;
    static constexpr double strategyLifetimeSeconds = 86400;
    static constexpr double diagnosisSpacingSeconds = 1800;
    // A report or a diagnosis is kept and shown up to this many characters: more than anyone
    // reads in a glance at the tab, far less than a broken or hostile answer could hold.
    static constexpr qsizetype longestText = 4000;

    // Restores the persisted state from `defaults` ("ai." keys). Days are `calendar`'s.
    AIStrategist(ChargingSettings& settings, UserDefaults& defaults, const Clock& clock,
        LocalCalendar calendar, QObject* parent = nullptr);
    ~AIStrategist() override;

    BackendClient* backend() const { return m_backend; }
    void setBackend(BackendClient* backend);

    std::optional<Strategy> currentStrategy() const { return m_currentStrategy; }
    std::optional<QDateTime> strategyUpdatedAt() const { return m_strategyUpdatedAt; }
    std::optional<QString> lastDiagnosis() const { return m_lastDiagnosis; }
    std::optional<QString> lastError() const { return m_lastError; }
    bool isCalling() const { return m_isCalling; }
    qint64 callsToday() const { return m_callsToday; }
    qint64 tokensToday() const { return m_tokensToday; }
    // The local day ("2026-03-14") of the last strategy received.
    QString strategyDay() const { return m_strategyDay; }

    // "claude" when the setting says exactly that, else "openai".
    QString provider() const;
    // The model name the settings give for the provider, sent as it is.
    QString model() const;
    // A backend that is ready and does not report the provider unavailable.
    bool backendRouteAvailable() const;

    virtual bool isReady() const;
    // The current strategy while it is younger than one day.
    virtual std::optional<Strategy> activeStrategy() const;
    // Asks for the day's strategy, with the power saver's telemetry as the payload.
    virtual QCoro::Task<> maybeUpdateStrategy(QJsonObject telemetry, bool force);
    virtual QCoro::Task<> generateSessionReport(QJsonObject stats);
    virtual std::optional<QString> lastSessionReport() const;
    // Changes exactly when a call has received a report.
    virtual std::optional<QDateTime> lastSessionReportAt() const;
    // The diagnosis text received by this very call; nothing when refused or failed.
    QCoro::Task<std::optional<QString>> diagnoseAnomaly(QJsonObject context);

    // The strategy with every number clamped to its safe range and every process name that
    // is not among `knownProcessNames` dropped.
    static Strategy sanitize(const Strategy& strategy, const QStringList& knownProcessNames);
    // The entries that are known and at most 60 characters, at most 10; nothing when none is.
    static std::optional<QStringList> filterNames(
        const std::optional<QStringList>& names, const QSet<QString>& known);
    // The "name" of each entry of the telemetry's "top_processes".
    static QStringList knownProcessNames(const QJsonObject& telemetry);

signals:
    void backendChanged();
    void currentStrategyChanged();
    void strategyUpdatedAtChanged();
    void lastSessionReportChanged();
    void lastSessionReportAtChanged();
    void lastDiagnosisChanged();
    void lastErrorChanged();
    void isCallingChanged(bool calling);
    void callsTodayChanged(qint64 calls);
    void tokensTodayChanged(qint64 tokens);

protected:
    ChargingSettings& settings;
    UserDefaults& defaults;
    const Clock& clock;
    LocalCalendar calendar;

private:
    // Marks a model call in flight for as long as it lives.
    class CallInFlight {
    public:
        explicit CallInFlight(AIStrategist& strategist);
        ~CallInFlight();
        CallInFlight(const CallInFlight&) = delete;
        CallInFlight& operator=(const CallInFlight&) = delete;

    private:
        QPointer<AIStrategist> m_strategist;
    };

    QString dayKey() const;
    bool callPossible() const;
    void recordUsage(const AIUsage& usage);
    void rolloverUsageIfNeeded();
    void restore();

    void setCurrentStrategy(const Strategy& strategy);
    void setStrategyUpdatedAt(const QDateTime& at);
    void setLastSessionReport(const QString& report);
    void setLastSessionReportAt(const QDateTime& at);
    void setLastDiagnosis(const QString& diagnosis);
    void setLastError(const std::optional<QString>& error);
    void setIsCalling(bool calling);
    void setCallsToday(qint64 calls);
    void setTokensToday(qint64 tokens);

    QPointer<BackendClient> m_backend;
    std::optional<Strategy> m_currentStrategy;
    std::optional<QDateTime> m_strategyUpdatedAt;
    std::optional<QString> m_lastSessionReport;
    std::optional<QDateTime> m_lastSessionReportAt;
    std::optional<QString> m_lastDiagnosis;
    std::optional<QString> m_lastError;
    bool m_isCalling = false;
    qint64 m_callsToday = 0;
    qint64 m_tokensToday = 0;
    QDateTime m_lastStrategyCallAt; // invalid: never, so a restart is not held back
    QDateTime m_lastDiagnosisCallAt; // likewise
    QString m_usageDay;
    QString m_strategyDay;
};

} // namespace kestrune
