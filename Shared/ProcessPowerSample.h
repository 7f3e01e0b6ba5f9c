#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestrune {

// One process in a power-metrics report. Lists identify a sample by its pid.
struct ProcessPowerSample {
    qint64 pid = -1; // -1 when the sampling tool gave none
    QString name;
    double energyImpact = 0;
    double cpuMsPerS = 0;

    bool operator==(const ProcessPowerSample&) const = default;

    // Nothing when a figure is not finite, which JSON cannot carry.
    std::optional<QJsonObject> toJsonObject() const;
    std::optional<QByteArray> toJson() const;
    static std::optional<ProcessPowerSample> fromJsonObject(const QJsonObject& object);
    static std::optional<ProcessPowerSample> fromJson(const QByteArray& bytes);
};

} // namespace kestrune
