#include "Kestrune/Adaptive/AdaptiveEngine.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptivePredictor.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <algorithm>
#include <cmath>

namespace kestrune {

AdaptiveEngine::AdaptiveEngine(
    HistoryStore* history, UserDefaults& defaults, LocalCalendar calendar, QObject* parent)
    : QObject(parent)
    , m_history(history)
    , m_defaults(defaults)
    , m_calendar(std::move(calendar))
    , m_minutesPerPercent(storedRate(minutesPerPercentKey, defaultMinutesPerPercent))
    , m_typicalDrainWatts(storedRate(typicalDrainWattsKey, defaultTypicalDrainWatts))
{
}

double AdaptiveEngine::storedRate(const char* key, double fallback) const
{
    // Taken as stored, without the learning's range checks; only something that is not a
    // finite number is ignored: a NaN or infinite rate would never learn its way back.
    const QVariant value = m_defaults.object(QLatin1String(key));
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::LongLong)
        return fallback;
    const double rate = value.toDouble();
    return std::isfinite(rate) ? rate : fallback;
}

void AdaptiveEngine::persist()
{
    // Learnt a little from every reading: saved with the other figures of the ticks.
    m_defaults.set(QLatin1String(minutesPerPercentKey), m_minutesPerPercent, UserDefaults::Write::Batched);
    m_defaults.set(QLatin1String(typicalDrainWattsKey), m_typicalDrainWatts, UserDefaults::Write::Batched);
}

void AdaptiveEngine::setMinutesPerPercent(double value)
{
    if (value == m_minutesPerPercent)
        return;
    m_minutesPerPercent = value;
    emit minutesPerPercentChanged();
}

void AdaptiveEngine::setTypicalDrainWatts(double value)
{
    if (value == m_typicalDrainWatts)
        return;
    m_typicalDrainWatts = value;
    emit typicalDrainWattsChanged();
}

void AdaptiveEngine::setPredictedUnplug(const std::optional<QDateTime>& value)
{
    if (value == m_predictedUnplug)
        return;
    m_predictedUnplug = value;
    emit predictedUnplugChanged();
}

void AdaptiveEngine::setUnplugSampleCount(int value)
{
    if (value == m_unplugSampleCount)
        return;
    m_unplugSampleCount = value;
    emit unplugSampleCountChanged();
}

void AdaptiveEngine::updateChargeSpeed(const BatterySnapshot& from, const BatterySnapshot& to)
{
    if (!from.isCharging || !to.isCharging || from.socPercent >= to.socPercent || !(to.date > from.date))
        return;
    const double seconds = static_cast<double>(from.date.msecsTo(to.date)) / 1000.0;
    const double sample = seconds / 60.0 / static_cast<double>(to.socPercent - from.socPercent);
    // Faster or slower than any real charger: a gap in the readings, not a speed.
    if (sample < 0.2 || sample > 10.0)
        return;
    setMinutesPerPercent(sample * 0.15 + m_minutesPerPercent * 0.85);
    persist();
}

void AdaptiveEngine::updateDrainModel(const BatterySnapshot& from, const BatterySnapshot& to)
{
    if (from.externalConnected || to.externalConnected)
        return;
    const double watts = -(to.amperageA * to.voltageV);
    if (!(watts > 0.3 && watts < 150.0))
        return;
    setTypicalDrainWatts(watts * 0.05 + m_typicalDrainWatts * 0.95);
    persist();
}

void AdaptiveEngine::refreshPrediction(const QDateTime& now)
{
    if (!m_history) {
        setPredictedUnplug(std::nullopt);
        return;
    }
    const QList<PlugEventRecord> events = m_history->plugEvents(now.addSecs(-predictionWindowSeconds));
    QList<QDateTime> unplugs;
    for (const PlugEventRecord& event : events) {
        if (!event.plugged)
            unplugs.append(event.timestamp);
    }
    setUnplugSampleCount(static_cast<int>(unplugs.size()));
    setPredictedUnplug(AdaptivePredictor::predictNextUnplug(unplugs, now, m_calendar));
}

std::optional<QDateTime> AdaptiveEngine::jitChargeStartDate(int currentSOC, int bufferMinutes) const
{
    if (!m_predictedUnplug)
        return std::nullopt;
    const double minutes = m_minutesPerPercent * std::max(0, 100 - currentSOC) + bufferMinutes;
    return m_predictedUnplug->addMSecs(-std::llround(minutes * 60.0 * 1000.0));
}

} // namespace kestrune
