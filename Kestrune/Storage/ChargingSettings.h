#pragma once

#include "Foundation/UserDefaults.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kestrune {

// The user's settings: charge control, notifications, the power-saver autopilot, the AI
// strategist and the backend. Each setting lives in the user defaults under its own name,
// and every assignment writes all of them back, so the defaults always mirror this object.
// Observers hear of an assignment only when the value really changed.
//
// The store keeps what it is given: ranges belong to the controls that write the values.
// A stored value of the wrong type (the text "80" for the charge limit, a fraction for an
// integer, 2 for a switch) is ignored in favour of the default, and the next write replaces it.
class ChargingSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool controlEnabled READ controlEnabled WRITE setControlEnabled NOTIFY controlEnabledChanged)
    Q_PROPERTY(int chargeLimit READ chargeLimit WRITE setChargeLimit NOTIFY chargeLimitChanged)
    Q_PROPERTY(int resumeDelta READ resumeDelta WRITE setResumeDelta NOTIFY resumeDeltaChanged)
    Q_PROPERTY(bool adaptiveEnabled READ adaptiveEnabled WRITE setAdaptiveEnabled NOTIFY adaptiveEnabledChanged)
    Q_PROPERTY(int adaptiveBufferMinutes READ adaptiveBufferMinutes WRITE setAdaptiveBufferMinutes NOTIFY adaptiveBufferMinutesChanged)
    Q_PROPERTY(bool notifyOnLimitReached READ notifyOnLimitReached WRITE setNotifyOnLimitReached NOTIFY notifyOnLimitReachedChanged)
    Q_PROPERTY(bool notifyOnFull READ notifyOnFull WRITE setNotifyOnFull NOTIFY notifyOnFullChanged)
    Q_PROPERTY(bool notifyHighTemp READ notifyHighTemp WRITE setNotifyHighTemp NOTIFY notifyHighTempChanged)
    Q_PROPERTY(double highTempThreshold READ highTempThreshold WRITE setHighTempThreshold NOTIFY highTempThresholdChanged)
    Q_PROPERTY(bool notifyHighDrain READ notifyHighDrain WRITE setNotifyHighDrain NOTIFY notifyHighDrainChanged)
    Q_PROPERTY(bool notifyMilestones READ notifyMilestones WRITE setNotifyMilestones NOTIFY notifyMilestonesChanged)
    Q_PROPERTY(bool showPercentInMenuBar READ showPercentInMenuBar WRITE setShowPercentInMenuBar NOTIFY showPercentInMenuBarChanged)
    Q_PROPERTY(bool autopilotEnabled READ autopilotEnabled WRITE setAutopilotEnabled NOTIFY autopilotEnabledChanged)
    Q_PROPERTY(bool powerLevelAuto READ powerLevelAuto WRITE setPowerLevelAuto NOTIFY powerLevelAutoChanged)
    Q_PROPERTY(int manualPowerLevel READ manualPowerLevel WRITE setManualPowerLevel NOTIFY manualPowerLevelChanged)
    Q_PROPERTY(bool autoDimEnabled READ autoDimEnabled WRITE setAutoDimEnabled NOTIFY autoDimEnabledChanged)
    Q_PROPERTY(bool kbBacklightOffEnabled READ kbBacklightOffEnabled WRITE setKbBacklightOffEnabled NOTIFY kbBacklightOffEnabledChanged)
    Q_PROPERTY(bool targetAutoLearn READ targetAutoLearn WRITE setTargetAutoLearn NOTIFY targetAutoLearnChanged)
    Q_PROPERTY(double manualTargetHours READ manualTargetHours WRITE setManualTargetHours NOTIFY manualTargetHoursChanged)
    Q_PROPERTY(QDateTime manualTargetSetAt READ manualTargetSetAt WRITE setManualTargetSetAt NOTIFY manualTargetSetAtChanged)
    Q_PROPERTY(QStringList powerExclusions READ powerExclusions WRITE setPowerExclusions NOTIFY powerExclusionsChanged)
    Q_PROPERTY(bool notifyPowerActions READ notifyPowerActions WRITE setNotifyPowerActions NOTIFY notifyPowerActionsChanged)
    Q_PROPERTY(bool pauseSpotlightOnBattery READ pauseSpotlightOnBattery WRITE setPauseSpotlightOnBattery NOTIFY pauseSpotlightOnBatteryChanged)
    Q_PROPERTY(bool pauseTimeMachineOnBattery READ pauseTimeMachineOnBattery WRITE setPauseTimeMachineOnBattery NOTIFY pauseTimeMachineOnBatteryChanged)
    Q_PROPERTY(bool llmEnabled READ llmEnabled WRITE setLlmEnabled NOTIFY llmEnabledChanged)
    Q_PROPERTY(QString llmProvider READ llmProvider WRITE setLlmProvider NOTIFY llmProviderChanged)
    Q_PROPERTY(QString openAIModel READ openAIModel WRITE setOpenAIModel NOTIFY openAIModelChanged)
    Q_PROPERTY(QString claudeModel READ claudeModel WRITE setClaudeModel NOTIFY claudeModelChanged)
    Q_PROPERTY(bool llmSessionReports READ llmSessionReports WRITE setLlmSessionReports NOTIFY llmSessionReportsChanged)
    Q_PROPERTY(bool backendEnabled READ backendEnabled WRITE setBackendEnabled NOTIFY backendEnabledChanged)
    Q_PROPERTY(QString backendURL READ backendURL WRITE setBackendURL NOTIFY backendURLChanged)

public:
    static constexpr auto productionBackendURL = "https://api.kestrune.org";
    // Builds before the production server pointed at a local development server; such a
    // stored address is moved to production once.
    static constexpr auto developmentBackendURL = "http://localhost:8787";
    static constexpr auto migratedToProductionKey = "backendURLMigratedToProd";

    // Loads every setting from `defaults`, which must outlive this object.
    explicit ChargingSettings(UserDefaults& defaults, QObject* parent = nullptr);

    // The settings the backend keeps for a restore, under their snake_case names, each in
    // its own type (bool, int, double, QString, QStringList).
    QVariantMap exportBackup() const;

    bool controlEnabled() const { return m_controlEnabled; }
    int chargeLimit() const { return m_chargeLimit; }
    int resumeDelta() const { return m_resumeDelta; }
    bool adaptiveEnabled() const { return m_adaptiveEnabled; }
    int adaptiveBufferMinutes() const { return m_adaptiveBufferMinutes; }
    bool notifyOnLimitReached() const { return m_notifyOnLimitReached; }
    bool notifyOnFull() const { return m_notifyOnFull; }
    bool notifyHighTemp() const { return m_notifyHighTemp; }
    double highTempThreshold() const { return m_highTempThreshold; }
    bool notifyHighDrain() const { return m_notifyHighDrain; }
    bool notifyMilestones() const { return m_notifyMilestones; }
    bool showPercentInMenuBar() const { return m_showPercentInMenuBar; }
    bool autopilotEnabled() const { return m_autopilotEnabled; }
    bool powerLevelAuto() const { return m_powerLevelAuto; }
    int manualPowerLevel() const { return m_manualPowerLevel; }
    bool autoDimEnabled() const { return m_autoDimEnabled; }
    bool kbBacklightOffEnabled() const { return m_kbBacklightOffEnabled; }
    bool targetAutoLearn() const { return m_targetAutoLearn; }
    double manualTargetHours() const { return m_manualTargetHours; }
    QDateTime manualTargetSetAt() const { return m_manualTargetSetAt; }
    QStringList powerExclusions() const { return m_powerExclusions; }
    bool notifyPowerActions() const { return m_notifyPowerActions; }
    bool pauseSpotlightOnBattery() const { return m_pauseSpotlightOnBattery; }
    bool pauseTimeMachineOnBattery() const { return m_pauseTimeMachineOnBattery; }
    bool llmEnabled() const { return m_llmEnabled; }
    QString llmProvider() const { return m_llmProvider; }
    QString openAIModel() const { return m_openAIModel; }
    QString claudeModel() const { return m_claudeModel; }
    bool llmSessionReports() const { return m_llmSessionReports; }
    bool backendEnabled() const { return m_backendEnabled; }
    QString backendURL() const { return m_backendURL; }

    // manualTargetSetAt: an invalid QDateTime means "not set".
    void setControlEnabled(bool value);
    void setChargeLimit(int value);
    void setResumeDelta(int value);
    void setAdaptiveEnabled(bool value);
    void setAdaptiveBufferMinutes(int value);
    void setNotifyOnLimitReached(bool value);
    void setNotifyOnFull(bool value);
    void setNotifyHighTemp(bool value);
    void setHighTempThreshold(double value);
    void setNotifyHighDrain(bool value);
    void setNotifyMilestones(bool value);
    void setShowPercentInMenuBar(bool value);
    void setAutopilotEnabled(bool value);
    void setPowerLevelAuto(bool value);
    void setManualPowerLevel(int value);
    void setAutoDimEnabled(bool value);
    void setKbBacklightOffEnabled(bool value);
    void setTargetAutoLearn(bool value);
    void setManualTargetHours(double value);
    void setManualTargetSetAt(const QDateTime& value);
    void setPowerExclusions(const QStringList& value);
    void setNotifyPowerActions(bool value);
    void setPauseSpotlightOnBattery(bool value);
    void setPauseTimeMachineOnBattery(bool value);
    void setLlmEnabled(bool value);
    void setLlmProvider(const QString& value);
    void setOpenAIModel(const QString& value);
    void setClaudeModel(const QString& value);
    void setLlmSessionReports(bool value);
    void setBackendEnabled(bool value);
    void setBackendURL(const QString& value);

signals:
    void controlEnabledChanged(bool value);
    void chargeLimitChanged(int value);
    void resumeDeltaChanged(int value);
    void adaptiveEnabledChanged(bool value);
    void adaptiveBufferMinutesChanged(int value);
    void notifyOnLimitReachedChanged(bool value);
    void notifyOnFullChanged(bool value);
    void notifyHighTempChanged(bool value);
    void highTempThresholdChanged(double value);
    void notifyHighDrainChanged(bool value);
    void notifyMilestonesChanged(bool value);
    void showPercentInMenuBarChanged(bool value);
    void autopilotEnabledChanged(bool value);
    void powerLevelAutoChanged(bool value);
    void manualPowerLevelChanged(int value);
    void autoDimEnabledChanged(bool value);
    void kbBacklightOffEnabledChanged(bool value);
    void targetAutoLearnChanged(bool value);
    void manualTargetHoursChanged(double value);
    void manualTargetSetAtChanged(const QDateTime& value);
    void powerExclusionsChanged(const QStringList& value);
    void notifyPowerActionsChanged(bool value);
    void pauseSpotlightOnBatteryChanged(bool value);
    void pauseTimeMachineOnBatteryChanged(bool value);
    void llmEnabledChanged(bool value);
    void llmProviderChanged(const QString& value);
    void openAIModelChanged(const QString& value);
    void claudeModelChanged(const QString& value);
    void llmSessionReportsChanged(bool value);
    void backendEnabledChanged(bool value);
    void backendURLChanged(const QString& value);

private:
    void save();
    template <typename T, typename Signal>
    void assign(T& field, const T& value, Signal changed);

    UserDefaults* m_defaults;

    bool m_controlEnabled = true;
    int m_chargeLimit = 80;
    int m_resumeDelta = 5;
    bool m_adaptiveEnabled = false;
    int m_adaptiveBufferMinutes = 45;
    bool m_notifyOnLimitReached = true;
    bool m_notifyOnFull = true;
    bool m_notifyHighTemp = true;
    double m_highTempThreshold = 35.0;
    bool m_notifyHighDrain = true;
    bool m_notifyMilestones = true;
    bool m_showPercentInMenuBar = true;
    bool m_autopilotEnabled = true;
    bool m_powerLevelAuto = true;
    int m_manualPowerLevel = 2;
    bool m_autoDimEnabled = true;
    bool m_kbBacklightOffEnabled = true;
    bool m_targetAutoLearn = true;
    double m_manualTargetHours = 5.0;
    QDateTime m_manualTargetSetAt;
    QStringList m_powerExclusions;
    bool m_notifyPowerActions = true;
    bool m_pauseSpotlightOnBattery = false;
    bool m_pauseTimeMachineOnBattery = false;
    bool m_llmEnabled = true;
    QString m_llmProvider = QStringLiteral("openai");
    QString m_openAIModel = QStringLiteral("gpt-5.6-sol");
    QString m_claudeModel = QStringLiteral("claude-opus-4-8");
    bool m_llmSessionReports = true;
    bool m_backendEnabled = true;
    QString m_backendURL = QString::fromLatin1(productionBackendURL);
};

} // namespace kestrune
