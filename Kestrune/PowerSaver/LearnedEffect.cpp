#include "Kestrune/PowerSaver/LearnedEffect.h"

#include "Shared/JsonCodec.h"

#include <cmath>

namespace kestrune {

std::optional<QJsonObject> LearnedEffect::toJsonObject(double (*secondsOf)(const QDateTime&)) const
{
    if (!std::isfinite(deltaW) || !updatedAt.isValid())
        return std::nullopt;
    QJsonObject object;
    object.insert(QStringLiteral("deltaW"), deltaW);
    object.insert(QStringLiteral("samples"), samples);
    object.insert(QStringLiteral("updatedAt"), secondsOf(updatedAt));
    return object;
}

std::optional<LearnedEffect> LearnedEffect::fromJsonObject(const QJsonObject& object, QDateTime (*dateOf)(double))
{
    const auto deltaW = JsonCodec::requiredDouble(object, "deltaW");
    const auto samples = JsonCodec::requiredInteger(object, "samples");
    const auto seconds = JsonCodec::requiredDouble(object, "updatedAt");
    if (!deltaW || !samples || !seconds)
        return std::nullopt;
    const QDateTime updatedAt = dateOf(*seconds);
    if (!updatedAt.isValid())
        return std::nullopt;
    return LearnedEffect{*deltaW, *samples, updatedAt};
}

} // namespace kestrune
