#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrune {

// One reading of the battery. Compared field by field (the date by its instant), so that
// observers can tell a reading that really changed from a repeat.
struct BatterySnapshot {
    QDateTime date;
    int socPercent = 0;            // 0...100
    bool isCharging = false;
    bool externalConnected = false;
    bool fullyCharged = false;
    double temperatureC = 0;
    int cycleCount = 0;
    int designCapacitymAh = 0;
    int nominalCapacitymAh = 0;
    double voltageV = 0;
    double amperageA = 0;          // negative while discharging
    std::optional<int> adapterWatts;
    std::optional<QString> adapterName;
    std::optional<int> timeToFullMinutes;
    std::optional<int> timeToEmptyMinutes;

    bool operator==(const BatterySnapshot&) const = default;
};

} // namespace kestrune
