#include "Kestrune/Backend/AIUsage.h"

#include "Kestrune/Backend/BackendJson.h"

namespace kestrune {

AIUsage AIUsage::fromAnswer(const QJsonObject& answer)
{
    const QJsonObject usage = answer.value(QStringLiteral("usage")).toObject();
    return AIUsage { BackendJson::integer(usage.value(QStringLiteral("input_tokens"))).value_or(0),
        BackendJson::integer(usage.value(QStringLiteral("output_tokens"))).value_or(0) };
}

} // namespace kestrune
