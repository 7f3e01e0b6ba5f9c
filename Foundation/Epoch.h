#pragma once

#include <QDateTime>

namespace kestrune {

// Dates cross files and the wire as seconds (with a fraction) since one of two epochs:
// 2001-01-01 00:00:00 UTC, the reference date of the stored formats, or the Unix epoch
// where a key says so. QDateTime keeps milliseconds, so conversions round to the nearest one.
class Epoch {
public:
    static constexpr qint64 referenceDateUnixSeconds = 978307200; // 2001-01-01T00:00:00Z

    static double secondsSince2001(const QDateTime& date);
    static double secondsSince1970(const QDateTime& date);

    // Invalid (a null QDateTime) when the number is not finite or out of QDateTime's range.
    static QDateTime fromSecondsSince2001(double seconds);
    static QDateTime fromSecondsSince1970(double seconds);
};

} // namespace kestrune
