#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include "Foundation/LocalCalendar.h"

namespace kestrune {

// How the power saver reports what it has achieved: the savings summary, one day of the
// savings ledger, and the one-off milestones. Pure functions only; the engine keeps the
// figures and the set of milestones already announced.
class SavingsStats {
public:
    struct Summary {
        double todayMinutes = 0;
        double todayWh = 0;
        double weekMinutes = 0;   // today and the six calendar days before
        double weekWh = 0;
        double totalMinutes = 0;  // since the first use
        double totalWh = 0;
        int streakDays = 0;

        bool operator==(const Summary&) const = default;
    };

    struct DayEntry {
        QDateTime day;  // the start of the day in the local calendar
        double minutes = 0;
        double wh = 0;

        bool operator==(const DayEntry&) const = default;
    };

    struct Milestone {
        QString key;    // "daily30", "total6h", "total24h", "total100h" or "streak7"
        QString title;  // localised
        QString body;   // localised

        bool operator==(const Milestone&) const = default;
    };

    // The minutes a day needs to count as active.
    static constexpr double activeDayMinutes = 5.0;

    // Consecutive active days counted back from today in `zone`. Today counts once it is
    // active, but while it is not yet, a run that ended yesterday still counts in full.
    // Each entry's `day` must be the start of its day in `zone`.
    static int streak(const QList<DayEntry>& entries, const QDateTime& now, const LocalCalendar& calendar);

    // Minutes as a short hours-and-minutes text ("2時間5分"), rounded to whole minutes.
    static QString formattedDuration(double minutes);

    // The milestones that `summary` reaches and that are not in `achieved`, in the order
    // "daily30", the all-time milestones rising, "streak7".
    static QList<Milestone> newMilestones(const Summary& summary, const QSet<QString>& achieved);
};

} // namespace kestrune
