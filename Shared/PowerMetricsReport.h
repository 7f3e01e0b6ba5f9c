#pragma once

#include "Shared/ProcessPowerSample.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>

#include <optional>
#include <vector>

namespace kestrune {

// One power-metrics sampling: when it started, how long it took, and the processes,
// highest energy impact first.
struct PowerMetricsReport {
    QDateTime timestamp;
    double durationSeconds = 0;
    std::vector<ProcessPowerSample> processes;

    // Nothing when a figure is not finite or the timestamp is invalid.
    std::optional<QJsonObject> toJsonObject() const;
    std::optional<QByteArray> toJson() const;
    static std::optional<PowerMetricsReport> fromJsonObject(const QJsonObject& object);
    static std::optional<PowerMetricsReport> fromJson(const QByteArray& bytes);
};

} // namespace kestrune
