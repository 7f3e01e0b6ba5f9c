#include "Kestrune/PowerSaver/PowerDeficit.h"

#include <algorithm>
#include <limits>

namespace kestrune {

double PowerDeficit::compute(const Inputs& in)
{
    if (in.boost)
        return std::numeric_limits<double>::infinity();

    std::optional<double> target;
    if (in.requiredHours && *in.requiredHours > 0.05 && in.fullWh > 0)
        target = in.fullWh * in.socPercent / 100.0 / *in.requiredHours;
    if (in.strategyTargetW) {
        target = target ? std::min(std::max(*in.strategyTargetW, (1 - strategyLeeway) * *target),
                                   (1 + strategyLeeway) * *target)
                        : *in.strategyTargetW;
    }

    if (!target) {
        if (in.tier == 2)
            return 0.2 * in.drainWatts;
        if (in.tier >= 3)
            return 0.35 * in.drainWatts;
        return 0;
    }
    const double deficit = in.drainWatts - *target;
    // At the maximum level there is always something left to save.
    return in.tier >= 3 ? std::max(deficit, 0.3 * in.drainWatts) : deficit;
}

} // namespace kestrune
