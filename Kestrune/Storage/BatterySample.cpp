#include "Kestrune/Storage/BatterySample.h"

#include "Kestrune/Battery/BatterySnapshot.h"

#include <algorithm>

namespace kestrune {

BatterySample::BatterySample()
    : m_id(RecordId::fresh())
{
}

BatterySample::BatterySample(QDateTime timestamp, qint64 soc, bool isCharging, bool acAttached,
    double temperature, double healthPercent, qint64 cycleCount, double watts)
    : timestamp(std::move(timestamp))
    , soc(soc)
    , isCharging(isCharging)
    , acAttached(acAttached)
    , temperature(temperature)
    , healthPercent(healthPercent)
    , cycleCount(cycleCount)
    , watts(watts)
    , m_id(RecordId::fresh())
{
}

BatterySample::BatterySample(const BatterySnapshot& snapshot)
    : BatterySample(snapshot.date, snapshot.socPercent, snapshot.isCharging, snapshot.externalConnected,
        snapshot.temperatureC, healthPercentOf(snapshot.designCapacitymAh, snapshot.nominalCapacitymAh).value_or(0),
        snapshot.cycleCount, snapshot.voltageV * snapshot.amperageA)
{
}

std::optional<double> BatterySample::healthPercentOf(qint64 designCapacitymAh, qint64 nominalCapacitymAh)
{
    if (designCapacitymAh < 1 || nominalCapacitymAh < 1)
        return std::nullopt;
    // Kept unrounded, so that a slow loss of capacity shows in the trend.
    const double percent
        = static_cast<double>(nominalCapacitymAh) / static_cast<double>(designCapacitymAh) * 100.0;
    return std::min(percent, 100.0);
}

} // namespace kestrune
