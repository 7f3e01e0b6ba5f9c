#include "Kestrune/Charging/ChargePolicy.h"

namespace kestrune {

ChargePolicy::JITDecision ChargePolicy::decideJIT(int soc, const QDateTime& now,
    const std::optional<QDateTime>& latchedUnplug, const std::optional<QDateTime>& predictedUnplug,
    const std::optional<QDateTime>& chargeStart)
{
    // A running charge is only kept or ended here; a new target is looked at on a later pass.
    if (latchedUnplug) {
        if (soc <= 99 && now < *latchedUnplug)
            return {true, latchedUnplug};
        return {};
    }
    if (predictedUnplug && chargeStart && *chargeStart <= now && now < *predictedUnplug && soc < 100)
        return {true, predictedUnplug};
    return {};
}

} // namespace kestrune
