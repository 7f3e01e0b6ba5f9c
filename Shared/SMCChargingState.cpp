#include "Shared/SMCChargingState.h"

#include "Shared/JsonCodec.h"

namespace kestrune {

QJsonObject SMCChargingState::toJsonObject() const
{
    QJsonObject o;
    o["chargingInhibited"] = chargingInhibited;
    o["forceDischarging"] = forceDischarging;
    if (appleLimit80)
        o["appleLimit80"] = *appleLimit80;
    return o;
}

std::optional<QByteArray> SMCChargingState::toJson() const
{
    return JsonCodec::write(toJsonObject());
}

std::optional<SMCChargingState> SMCChargingState::fromJsonObject(const QJsonObject& o)
{
    bool ok = true;
    const auto inhibited = JsonCodec::requiredBool(o, "chargingInhibited");
    const auto discharging = JsonCodec::requiredBool(o, "forceDischarging");
    const auto limit = JsonCodec::optionalBool(o, "appleLimit80", ok);
    if (!inhibited || !discharging || !ok)
        return std::nullopt;
    return SMCChargingState{*inhibited, *discharging, limit};
}

std::optional<SMCChargingState> SMCChargingState::fromJson(const QByteArray& bytes)
{
    const auto object = JsonCodec::readObject(bytes);
    return object ? fromJsonObject(*object) : std::nullopt;
}

} // namespace kestrune
