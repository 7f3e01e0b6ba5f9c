#pragma once

#include "Kestrune/Storage/RecordId.h"

#include <QDateTime>

#include <optional>

namespace kestrune {

struct BatterySnapshot;

// One stored battery reading, as the charge, temperature and power charts show it.
class BatterySample {
public:
    BatterySample();
    BatterySample(QDateTime timestamp, qint64 soc, bool isCharging, bool acAttached, double temperature,
        double healthPercent, qint64 cycleCount, double watts);
    explicit BatterySample(const BatterySnapshot& snapshot);

    RecordId id() const { return m_id; }

    // Full-charge capacity as a share of design capacity, capped at 100; unknown when either
    // capacity is below 1 mAh: missing, or a full capacity of 0, which is a firmware glitch
    // rather than a dead battery. A ratio against nothing means nothing.
    static std::optional<double> healthPercentOf(qint64 designCapacitymAh, qint64 nominalCapacitymAh);

    QDateTime timestamp;
    qint64 soc = 0; // percent
    bool isCharging = false;
    bool acAttached = false;
    double temperature = 0; // °C
    double healthPercent = 0; // percent; 0 when unknown
    qint64 cycleCount = 0;
    double watts = 0; // into the battery; negative while it discharges

    bool operator==(const BatterySample& other) const { return m_id == other.m_id; }

private:
    friend class HistoryStore;
    RecordId m_id;
};

inline size_t qHash(const BatterySample& record, size_t seed = 0) noexcept
{
    return qHash(record.id(), seed);
}

} // namespace kestrune
