#include "Shared/ChargingCapabilities.h"

#include "Shared/JsonCodec.h"

#include <QJsonArray>

namespace kestrune {

QJsonObject ChargingCapabilities::toJsonObject() const
{
    QJsonObject o;
    o["smcAvailable"] = smcAvailable;
    if (chargingControlMethod)
        o["chargingControlMethod"] = *chargingControlMethod;
    if (dischargeMethod)
        o["dischargeMethod"] = *dischargeMethod;
    o["hasAppleLimit80"] = hasAppleLimit80;
    o["notes"] = QJsonArray::fromStringList(notes);
    return o;
}

std::optional<QByteArray> ChargingCapabilities::toJson() const
{
    return JsonCodec::write(toJsonObject());
}

std::optional<ChargingCapabilities> ChargingCapabilities::fromJsonObject(const QJsonObject& o)
{
    bool ok = true;
    ChargingCapabilities c;
    const auto smc = JsonCodec::requiredBool(o, "smcAvailable");
    const auto limit = JsonCodec::requiredBool(o, "hasAppleLimit80");
    const auto notes = JsonCodec::requiredStringList(o, "notes");
    c.chargingControlMethod = JsonCodec::optionalString(o, "chargingControlMethod", ok);
    c.dischargeMethod = JsonCodec::optionalString(o, "dischargeMethod", ok);
    if (!smc || !limit || !notes || !ok)
        return std::nullopt;
    c.smcAvailable = *smc;
    c.hasAppleLimit80 = *limit;
    c.notes = *notes;
    return c;
}

std::optional<ChargingCapabilities> ChargingCapabilities::fromJson(const QByteArray& bytes)
{
    const auto object = JsonCodec::readObject(bytes);
    return object ? fromJsonObject(*object) : std::nullopt;
}

} // namespace kestrune
