#include "Foundation/Rounding.h"

#include <cmath>
#include <limits>

namespace kestrune {

double Rounding::halfAwayFromZero(double value)
{
    return std::round(value);
}

double Rounding::toPlaces(double value, int places)
{
    const double scale = std::pow(10.0, places);
    return std::round(value * scale) / scale;
}

long long Rounding::toInteger(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::round(value);
    constexpr auto hi = std::numeric_limits<long long>::max();
    constexpr auto lo = std::numeric_limits<long long>::min();
    if (rounded >= static_cast<double>(hi))
        return hi;
    if (rounded <= static_cast<double>(lo))
        return lo;
    return static_cast<long long>(rounded);
}

} // namespace kestrune
