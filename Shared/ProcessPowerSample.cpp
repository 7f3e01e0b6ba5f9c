#include "Shared/ProcessPowerSample.h"

#include "Shared/JsonCodec.h"

#include <cmath>

namespace kestrune {

std::optional<QJsonObject> ProcessPowerSample::toJsonObject() const
{
    if (!std::isfinite(energyImpact) || !std::isfinite(cpuMsPerS))
        return std::nullopt;
    QJsonObject o;
    o["pid"] = pid;
    o["name"] = name;
    o["energyImpact"] = energyImpact;
    o["cpuMsPerS"] = cpuMsPerS;
    return o;
}

std::optional<QByteArray> ProcessPowerSample::toJson() const
{
    const auto object = toJsonObject();
    if (!object)
        return std::nullopt;
    return JsonCodec::write(*object);
}

std::optional<ProcessPowerSample> ProcessPowerSample::fromJsonObject(const QJsonObject& o)
{
    const auto pid = JsonCodec::requiredInteger(o, "pid");
    const auto name = JsonCodec::requiredString(o, "name");
    const auto impact = JsonCodec::requiredDouble(o, "energyImpact");
    const auto cpu = JsonCodec::requiredDouble(o, "cpuMsPerS");
    if (!pid || !name || !impact || !cpu)
        return std::nullopt;
    return ProcessPowerSample{*pid, *name, *impact, *cpu};
}

std::optional<ProcessPowerSample> ProcessPowerSample::fromJson(const QByteArray& bytes)
{
    const auto object = JsonCodec::readObject(bytes);
    return object ? fromJsonObject(*object) : std::nullopt;
}

} // namespace kestrune
