#include "Kestrune/Storage/ChargingSettings.h"

#include "Foundation/Epoch.h"

#include <cmath>
#include <limits>

namespace kestrune {

namespace {

// A stored value counts only when it is a number the setting's type holds exactly; anything
// else (text, a fraction for an integer, 2 for a switch) falls back to the default.

bool readBool(const UserDefaults& d, const char* key, bool fallback)
{
    const QVariant v = d.object(QString::fromLatin1(key));
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::LongLong:
    case QMetaType::Double:
        if (v.toDouble() == 0.0 || v.toDouble() == 1.0)
            return v.toDouble() == 1.0;
        return fallback;
    default:
        return fallback;
    }
}

int readInt(const UserDefaults& d, const char* key, int fallback)
{
    const QVariant v = d.object(QString::fromLatin1(key));
    constexpr auto lowest = std::numeric_limits<int>::min();
    constexpr auto highest = std::numeric_limits<int>::max();
    if (v.typeId() == QMetaType::LongLong) {
        const qint64 n = v.toLongLong();
        return n >= lowest && n <= highest ? static_cast<int>(n) : fallback;
    }
    if (v.typeId() == QMetaType::Double) {
        const double x = v.toDouble();
        if (std::isfinite(x) && x == std::trunc(x) && x >= lowest && x <= highest)
            return static_cast<int>(x);
    }
    return fallback;
}

double readDouble(const UserDefaults& d, const char* key, double fallback)
{
    const QVariant v = d.object(QString::fromLatin1(key));
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return v.toDouble();
    return fallback;
}

QString readString(const UserDefaults& d, const char* key, const QString& fallback)
{
    return d.string(QString::fromLatin1(key)).value_or(fallback);
}

QStringList readStringList(const UserDefaults& d, const char* key, const QStringList& fallback)
{
    return d.stringArray(QString::fromLatin1(key)).value_or(fallback);
}

// Seconds since 1970; 0 stands for "not set", and so does anything that is not a positive
// number.
QDateTime readDate(const UserDefaults& d, const char* key)
{
    const QVariant v = d.object(QString::fromLatin1(key));
    if (v.typeId() != QMetaType::LongLong && v.typeId() != QMetaType::Double)
        return {};
    const double seconds = v.toDouble();
    if (!(seconds > 0))
        return {};
    return Epoch::fromSecondsSince1970(seconds);
}

} // namespace

ChargingSettings::ChargingSettings(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(&defaults)
{
    m_controlEnabled = readBool(*m_defaults, "controlEnabled", m_controlEnabled);
    m_chargeLimit = readInt(*m_defaults, "chargeLimit", m_chargeLimit);
    m_resumeDelta = readInt(*m_defaults, "resumeDelta", m_resumeDelta);
    m_adaptiveEnabled = readBool(*m_defaults, "adaptiveEnabled", m_adaptiveEnabled);
    m_adaptiveBufferMinutes = readInt(*m_defaults, "adaptiveBufferMinutes", m_adaptiveBufferMinutes);
    m_notifyOnLimitReached = readBool(*m_defaults, "notifyOnLimitReached", m_notifyOnLimitReached);
    m_notifyOnFull = readBool(*m_defaults, "notifyOnFull", m_notifyOnFull);
    m_notifyHighTemp = readBool(*m_defaults, "notifyHighTemp", m_notifyHighTemp);
    m_highTempThreshold = readDouble(*m_defaults, "highTempThreshold", m_highTempThreshold);
    m_notifyHighDrain = readBool(*m_defaults, "notifyHighDrain", m_notifyHighDrain);
    m_notifyMilestones = readBool(*m_defaults, "notifyMilestones", m_notifyMilestones);
    m_showPercentInMenuBar = readBool(*m_defaults, "showPercentInMenuBar", m_showPercentInMenuBar);
    m_autopilotEnabled = readBool(*m_defaults, "autopilotEnabled", m_autopilotEnabled);
    m_powerLevelAuto = readBool(*m_defaults, "powerLevelAuto", m_powerLevelAuto);
    m_manualPowerLevel = readInt(*m_defaults, "manualPowerLevel", m_manualPowerLevel);
    m_autoDimEnabled = readBool(*m_defaults, "autoDimEnabled", m_autoDimEnabled);
    m_kbBacklightOffEnabled = readBool(*m_defaults, "kbBacklightOffEnabled", m_kbBacklightOffEnabled);
    m_targetAutoLearn = readBool(*m_defaults, "targetAutoLearn", m_targetAutoLearn);
    m_manualTargetHours = readDouble(*m_defaults, "manualTargetHours", m_manualTargetHours);
    m_manualTargetSetAt = readDate(*m_defaults, "manualTargetSetAt");
    m_powerExclusions = readStringList(*m_defaults, "powerExclusions", m_powerExclusions);
    m_notifyPowerActions = readBool(*m_defaults, "notifyPowerActions", m_notifyPowerActions);
    m_pauseSpotlightOnBattery = readBool(*m_defaults, "pauseSpotlightOnBattery", m_pauseSpotlightOnBattery);
    m_pauseTimeMachineOnBattery = readBool(*m_defaults, "pauseTimeMachineOnBattery", m_pauseTimeMachineOnBattery);
    m_llmEnabled = readBool(*m_defaults, "llmEnabled", m_llmEnabled);
    m_llmProvider = readString(*m_defaults, "llmProvider", m_llmProvider);
    m_openAIModel = readString(*m_defaults, "openAIModel", m_openAIModel);
    m_claudeModel = readString(*m_defaults, "claudeModel", m_claudeModel);
    m_llmSessionReports = readBool(*m_defaults, "llmSessionReports", m_llmSessionReports);
    m_backendEnabled = readBool(*m_defaults, "backendEnabled", m_backendEnabled);
    m_backendURL = readString(*m_defaults, "backendURL", m_backendURL);

    if (m_backendURL == QLatin1String(developmentBackendURL)
        && !m_defaults->boolean(QString::fromLatin1(migratedToProductionKey))) {
        setBackendURL(QString::fromLatin1(productionBackendURL));
        m_defaults->set(QString::fromLatin1(migratedToProductionKey), true);
        save();
    }

    // Keys of earlier versions, whose features are gone.
    for (const char* key : {"scheduleEnabled", "scheduleRules", "sailingEnabled", "sailingWidth"})
        m_defaults->remove(QString::fromLatin1(key));
}

QVariantMap ChargingSettings::exportBackup() const
{
    return {
        {QStringLiteral("control_enabled"), m_controlEnabled},
        {QStringLiteral("charge_limit"), m_chargeLimit},
        {QStringLiteral("resume_delta"), m_resumeDelta},
        {QStringLiteral("adaptive_enabled"), m_adaptiveEnabled},
        {QStringLiteral("adaptive_buffer_minutes"), m_adaptiveBufferMinutes},
        {QStringLiteral("autopilot_enabled"), m_autopilotEnabled},
        {QStringLiteral("power_level_auto"), m_powerLevelAuto},
        {QStringLiteral("manual_power_level"), m_manualPowerLevel},
        {QStringLiteral("auto_dim_enabled"), m_autoDimEnabled},
        {QStringLiteral("kb_backlight_off"), m_kbBacklightOffEnabled},
        {QStringLiteral("target_auto_learn"), m_targetAutoLearn},
        {QStringLiteral("manual_target_hours"), m_manualTargetHours},
        {QStringLiteral("power_exclusions"), m_powerExclusions},
        {QStringLiteral("pause_spotlight"), m_pauseSpotlightOnBattery},
        {QStringLiteral("pause_timemachine"), m_pauseTimeMachineOnBattery},
        {QStringLiteral("llm_enabled"), m_llmEnabled},
        {QStringLiteral("llm_provider"), m_llmProvider},
        {QStringLiteral("openai_model"), m_openAIModel},
        {QStringLiteral("claude_model"), m_claudeModel},
    };
}

template <typename T, typename Signal>
void ChargingSettings::assign(T& field, const T& value, Signal changed)
{
    const bool different = field != value;
    field = value;
    save();
    if (different)
        emit (this->*changed)(field);
}

void ChargingSettings::save()
{
    UserDefaults& d = *m_defaults;
    d.set(QStringLiteral("controlEnabled"), m_controlEnabled);
    d.set(QStringLiteral("chargeLimit"), m_chargeLimit);
    d.set(QStringLiteral("resumeDelta"), m_resumeDelta);
    d.set(QStringLiteral("adaptiveEnabled"), m_adaptiveEnabled);
    d.set(QStringLiteral("adaptiveBufferMinutes"), m_adaptiveBufferMinutes);
    d.set(QStringLiteral("notifyOnLimitReached"), m_notifyOnLimitReached);
    d.set(QStringLiteral("notifyOnFull"), m_notifyOnFull);
    d.set(QStringLiteral("notifyHighTemp"), m_notifyHighTemp);
    d.set(QStringLiteral("highTempThreshold"), m_highTempThreshold);
    d.set(QStringLiteral("notifyHighDrain"), m_notifyHighDrain);
    d.set(QStringLiteral("notifyMilestones"), m_notifyMilestones);
    d.set(QStringLiteral("showPercentInMenuBar"), m_showPercentInMenuBar);
    d.set(QStringLiteral("autopilotEnabled"), m_autopilotEnabled);
    d.set(QStringLiteral("powerLevelAuto"), m_powerLevelAuto);
    d.set(QStringLiteral("manualPowerLevel"), m_manualPowerLevel);
    d.set(QStringLiteral("autoDimEnabled"), m_autoDimEnabled);
    d.set(QStringLiteral("kbBacklightOffEnabled"), m_kbBacklightOffEnabled);
    d.set(QStringLiteral("targetAutoLearn"), m_targetAutoLearn);
    d.set(QStringLiteral("manualTargetHours"), m_manualTargetHours);
    d.set(QStringLiteral("manualTargetSetAt"), m_manualTargetSetAt.isValid() ? Epoch::secondsSince1970(m_manualTargetSetAt) : 0.0);
    d.set(QStringLiteral("powerExclusions"), m_powerExclusions);
    d.set(QStringLiteral("notifyPowerActions"), m_notifyPowerActions);
    d.set(QStringLiteral("pauseSpotlightOnBattery"), m_pauseSpotlightOnBattery);
    d.set(QStringLiteral("pauseTimeMachineOnBattery"), m_pauseTimeMachineOnBattery);
    d.set(QStringLiteral("llmEnabled"), m_llmEnabled);
    d.set(QStringLiteral("llmProvider"), m_llmProvider);
    d.set(QStringLiteral("openAIModel"), m_openAIModel);
    d.set(QStringLiteral("claudeModel"), m_claudeModel);
    d.set(QStringLiteral("llmSessionReports"), m_llmSessionReports);
    d.set(QStringLiteral("backendEnabled"), m_backendEnabled);
    d.set(QStringLiteral("backendURL"), m_backendURL);
}

void ChargingSettings::setControlEnabled(bool value)
{
    assign(m_controlEnabled, value, &ChargingSettings::controlEnabledChanged);
}

void ChargingSettings::setChargeLimit(int value)
{
    assign(m_chargeLimit, value, &ChargingSettings::chargeLimitChanged);
}

void ChargingSettings::setResumeDelta(int value)
{
    assign(m_resumeDelta, value, &ChargingSettings::resumeDeltaChanged);
}

void ChargingSettings::setAdaptiveEnabled(bool value)
{
    assign(m_adaptiveEnabled, value, &ChargingSettings::adaptiveEnabledChanged);
}

void ChargingSettings::setAdaptiveBufferMinutes(int value)
{
    assign(m_adaptiveBufferMinutes, value, &ChargingSettings::adaptiveBufferMinutesChanged);
}

void ChargingSettings::setNotifyOnLimitReached(bool value)
{
    assign(m_notifyOnLimitReached, value, &ChargingSettings::notifyOnLimitReachedChanged);
}

void ChargingSettings::setNotifyOnFull(bool value)
{
    assign(m_notifyOnFull, value, &ChargingSettings::notifyOnFullChanged);
}

void ChargingSettings::setNotifyHighTemp(bool value)
{
    assign(m_notifyHighTemp, value, &ChargingSettings::notifyHighTempChanged);
}

void ChargingSettings::setHighTempThreshold(double value)
{
    assign(m_highTempThreshold, value, &ChargingSettings::highTempThresholdChanged);
}

void ChargingSettings::setNotifyHighDrain(bool value)
{
    assign(m_notifyHighDrain, value, &ChargingSettings::notifyHighDrainChanged);
}

void ChargingSettings::setNotifyMilestones(bool value)
{
    assign(m_notifyMilestones, value, &ChargingSettings::notifyMilestonesChanged);
}

void ChargingSettings::setShowPercentInMenuBar(bool value)
{
    assign(m_showPercentInMenuBar, value, &ChargingSettings::showPercentInMenuBarChanged);
}

void ChargingSettings::setAutopilotEnabled(bool value)
{
    assign(m_autopilotEnabled, value, &ChargingSettings::autopilotEnabledChanged);
}

void ChargingSettings::setPowerLevelAuto(bool value)
{
    assign(m_powerLevelAuto, value, &ChargingSettings::powerLevelAutoChanged);
}

void ChargingSettings::setManualPowerLevel(int value)
{
    assign(m_manualPowerLevel, value, &ChargingSettings::manualPowerLevelChanged);
}

void ChargingSettings::setAutoDimEnabled(bool value)
{
    assign(m_autoDimEnabled, value, &ChargingSettings::autoDimEnabledChanged);
}

void ChargingSettings::setKbBacklightOffEnabled(bool value)
{
    assign(m_kbBacklightOffEnabled, value, &ChargingSettings::kbBacklightOffEnabledChanged);
}

void ChargingSettings::setTargetAutoLearn(bool value)
{
    assign(m_targetAutoLearn, value, &ChargingSettings::targetAutoLearnChanged);
}

void ChargingSettings::setManualTargetHours(double value)
{
    assign(m_manualTargetHours, value, &ChargingSettings::manualTargetHoursChanged);
}

void ChargingSettings::setManualTargetSetAt(const QDateTime& value)
{
    assign(m_manualTargetSetAt, value, &ChargingSettings::manualTargetSetAtChanged);
}

void ChargingSettings::setPowerExclusions(const QStringList& value)
{
    assign(m_powerExclusions, value, &ChargingSettings::powerExclusionsChanged);
}

void ChargingSettings::setNotifyPowerActions(bool value)
{
    assign(m_notifyPowerActions, value, &ChargingSettings::notifyPowerActionsChanged);
}

void ChargingSettings::setPauseSpotlightOnBattery(bool value)
{
    assign(m_pauseSpotlightOnBattery, value, &ChargingSettings::pauseSpotlightOnBatteryChanged);
}

void ChargingSettings::setPauseTimeMachineOnBattery(bool value)
{
    assign(m_pauseTimeMachineOnBattery, value, &ChargingSettings::pauseTimeMachineOnBatteryChanged);
}

void ChargingSettings::setLlmEnabled(bool value)
{
    assign(m_llmEnabled, value, &ChargingSettings::llmEnabledChanged);
}

void ChargingSettings::setLlmProvider(const QString& value)
{
    assign(m_llmProvider, value, &ChargingSettings::llmProviderChanged);
}

void ChargingSettings::setOpenAIModel(const QString& value)
{
    assign(m_openAIModel, value, &ChargingSettings::openAIModelChanged);
}

void ChargingSettings::setClaudeModel(const QString& value)
{
    assign(m_claudeModel, value, &ChargingSettings::claudeModelChanged);
}

void ChargingSettings::setLlmSessionReports(bool value)
{
    assign(m_llmSessionReports, value, &ChargingSettings::llmSessionReportsChanged);
}

void ChargingSettings::setBackendEnabled(bool value)
{
    assign(m_backendEnabled, value, &ChargingSettings::backendEnabledChanged);
}

void ChargingSettings::setBackendURL(const QString& value)
{
    assign(m_backendURL, value, &ChargingSettings::backendURLChanged);
}
} // namespace kestrune
