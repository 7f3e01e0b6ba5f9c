#pragma once

#include "Foundation/LocalCalendar.h"

#include <QDateTime>
#include <QList>

#include <optional>

namespace kestrune {

// Predictions from the user's plug habits: when they will next unplug, and how long a
// battery session usually lasts. Pure functions of their arguments; days, weekdays and
// clock times are those of the calendar given.
class AdaptivePredictor {
public:
    struct PlugEvent {
        QDateTime date;
        bool plugged = false; // false: power was disconnected
    };

    // Unplugs closer than this to `after` (or past) are not predicted: there would be no
    // time left to act on them.
    static constexpr qint64 minimumLeadSeconds = 900;

    // The next unplug more than 15 minutes after `after`, within today and the seven days
    // after: the 20 % quantile of the clock times of past unplugs on that weekday (when it
    // has at least 3), else of all unplugs (when there are at least 5).
    static std::optional<QDateTime> predictNextUnplug(
        const QList<QDateTime>& events, const QDateTime& after, const LocalCalendar& calendar);

    // The 75 % quantile of past unplug-to-plug sessions of 15 minutes to 24 hours, in hours;
    // from the sessions that began on the weekday of `startedAt` when there are at least 3.
    static std::optional<double> predictSessionHours(
        const QList<PlugEvent>& events, const QDateTime& startedAt, const LocalCalendar& calendar);
};

} // namespace kestrune
