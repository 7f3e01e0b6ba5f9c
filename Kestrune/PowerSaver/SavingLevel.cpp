#include "Kestrune/PowerSaver/SavingLevel.h"

#include <algorithm>

namespace kestrune {

int SavingLevel::decide(const Inputs& in)
{
    if (!in.automatic)
        return std::clamp(in.manualLevel, 1, 3);
    if (in.boost)
        return 3;

    // A ratio that is not a number passes none of the comparisons below.
    std::optional<double> ratio;
    if (in.estimatedRuntimeHours && in.requiredHours)
        ratio = *in.estimatedRuntimeHours / *in.requiredHours;
    const qint64 threshold = in.strategyThreshold.value_or(defaultThresholdPercent);

    int candidate = 1;
    if (in.soc <= lowChargePercent || (ratio && *ratio < 0.75))
        candidate = 3;
    else if (in.soc <= threshold || (ratio && *ratio < 1.05))
        candidate = 2;

    if (candidate >= in.level)
        return candidate;

    if (in.lastLevelChange.msecsTo(in.now) < minimumStayMs)
        return in.level;
    if (in.level == 3 && !(in.soc >= 26 && (!ratio || *ratio > 0.95)))
        return 3;
    if (in.level < 2 || candidate != 1)
        return candidate;
    // From 2 or 3 straight down to 1 only with a clear margin; otherwise stay where we are.
    if (in.soc > threshold + 5 && (!ratio || *ratio > 1.3))
        return 1;
    return in.level;
}

} // namespace kestrune
