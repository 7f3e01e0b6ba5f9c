#include "Foundation/Epoch.h"

#include <cmath>

namespace kestrune {

double Epoch::secondsSince1970(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
}

double Epoch::secondsSince2001(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch() - referenceDateUnixSeconds * 1000) / 1000.0;
}

QDateTime Epoch::fromSecondsSince1970(double seconds)
{
    // QDateTime spans far less than a qint64 of milliseconds; stay well inside both.
    constexpr double limit = 1e14;
    if (!std::isfinite(seconds) || std::fabs(seconds) > limit)
        return {};
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), Qt::UTC);
}

QDateTime Epoch::fromSecondsSince2001(double seconds)
{
    if (!std::isfinite(seconds))
        return {};
    return fromSecondsSince1970(seconds + static_cast<double>(referenceDateUnixSeconds));
}

} // namespace kestrune
