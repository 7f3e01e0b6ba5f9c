#include "Kestrune/PowerSaver/PenaltyEvent.h"

#include "Shared/JsonCodec.h"

#include <cmath>

namespace kestrune {

bool PenaltyEvent::couldBeRecordedBy(const QDateTime& now) const
{
    // A dated-ahead event would count more than its weight, and for longer.
    return weight >= 0 && weight <= 1 && date.isValid() && date <= now;
}

std::optional<QJsonObject> PenaltyEvent::toJsonObject(double (*secondsOf)(const QDateTime&)) const
{
    if (!std::isfinite(weight) || !date.isValid())
        return std::nullopt;
    QJsonObject object;
    object.insert(QStringLiteral("date"), secondsOf(date));
    object.insert(QStringLiteral("weight"), weight);
    return object;
}

std::optional<PenaltyEvent> PenaltyEvent::fromJsonObject(const QJsonObject& object, QDateTime (*dateOf)(double))
{
    const auto seconds = JsonCodec::requiredDouble(object, "date");
    const auto weight = JsonCodec::requiredDouble(object, "weight");
    if (!seconds || !weight)
        return std::nullopt;
    const QDateTime date = dateOf(*seconds);
    if (!date.isValid())
        return std::nullopt;
    return PenaltyEvent{date, *weight};
}

} // namespace kestrune
