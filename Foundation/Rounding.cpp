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

namespace {

// A whole number as a long long, saturating at the type's range; 0 for a value that is not a
// number. Infinities saturate too.
long long saturated(double whole)
{
    if (std::isnan(whole))
        return 0;
    constexpr auto hi = std::numeric_limits<long long>::max();
    constexpr auto lo = std::numeric_limits<long long>::min();
    if (whole >= static_cast<double>(hi))
        return hi;
    if (whole <= static_cast<double>(lo))
        return lo;
    return static_cast<long long>(whole);
}

} // namespace

long long Rounding::toInteger(double value)
{
    if (!std::isfinite(value))
        return 0;
    return saturated(std::round(value));
}

long long Rounding::towardZero(double value)
{
    return saturated(std::trunc(value));
}

} // namespace kestrune
