#include "Shared/PowerMetricsReport.h"

#include "Shared/JsonCodec.h"

#include <QJsonArray>

#include <cmath>

namespace kestrune {

std::optional<QJsonObject> PowerMetricsReport::toJsonObject() const
{
    const auto seconds = JsonCodec::dateValue(timestamp);
    if (!seconds || !std::isfinite(durationSeconds))
        return std::nullopt;
    QJsonArray list;
    for (const ProcessPowerSample& p : processes) {
        const auto item = p.toJsonObject();
        if (!item)
            return std::nullopt;
        list.append(*item);
    }
    QJsonObject o;
    o["timestamp"] = *seconds;
    o["durationSeconds"] = durationSeconds;
    o["processes"] = list;
    return o;
}

std::optional<QByteArray> PowerMetricsReport::toJson() const
{
    const auto object = toJsonObject();
    if (!object)
        return std::nullopt;
    return JsonCodec::write(*object);
}

std::optional<PowerMetricsReport> PowerMetricsReport::fromJsonObject(const QJsonObject& o)
{
    const auto timestamp = JsonCodec::requiredDate(o, "timestamp");
    const auto duration = JsonCodec::requiredDouble(o, "durationSeconds");
    const QJsonValue processes = o.value(QLatin1StringView("processes"));
    if (!timestamp || !duration || !processes.isArray())
        return std::nullopt;
    PowerMetricsReport report{*timestamp, *duration, {}};
    for (const QJsonValue& item : processes.toArray()) {
        if (!item.isObject())
            return std::nullopt;
        auto sample = ProcessPowerSample::fromJsonObject(item.toObject());
        if (!sample)
            return std::nullopt;
        report.processes.push_back(std::move(*sample));
    }
    return report;
}

std::optional<PowerMetricsReport> PowerMetricsReport::fromJson(const QByteArray& bytes)
{
    const auto object = JsonCodec::readObject(bytes);
    return object ? fromJsonObject(*object) : std::nullopt;
}

} // namespace kestrune
