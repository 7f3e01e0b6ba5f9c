#include "Kestrune/PowerSaver/LearnedEffect.h"

#include "Kestrune/PowerSaver/EffectMeasurer.h"
#include "Shared/JsonCodec.h"

#include <cmath>

namespace kestrune {

bool LearnedEffect::couldBeLearnedBy(const QDateTime& now) const
{
    // The comparisons also fail for a figure that is not a number.
    return deltaW >= EffectMeasurer::minDeltaW && deltaW <= EffectMeasurer::maxDeltaW && samples >= 0
        && updatedAt.isValid() && updatedAt <= now;
}

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
