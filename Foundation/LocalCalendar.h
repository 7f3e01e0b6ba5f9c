#pragma once

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace kestrune {

// Days, weekdays and clock times as the user lives them: the Gregorian calendar in one time
// zone. A calendar made without a zone follows the system's zone as it is at each call, so a
// change of zone while the application runs takes effect at once; tests give a fixed zone.
class LocalCalendar {
public:
    LocalCalendar() = default;
    explicit LocalCalendar(QTimeZone zone);

    QTimeZone timeZone() const;

    // The calendar day that contains `moment`.
    QDate dayOf(const QDateTime& moment) const;
    // When `day` begins: local midnight, or the first moment after it where a change of
    // offset skips midnight. Invalid when the day cannot be formed.
    QDateTime startOfDay(const QDate& day) const;
    QDateTime startOfDay(const QDateTime& moment) const { return startOfDay(dayOf(moment)); }

    // 1 Sunday, 2 Monday, ..., 7 Saturday.
    int weekday(const QDateTime& moment) const;
    // hour × 60 + minute, 0...1439; seconds are ignored.
    int minuteOfDay(const QDateTime& moment) const;
    // The moment `day` shows the clock time `minuteOfDay`. A clock time that a change of
    // offset skips that day falls back to as many minutes after the start of the day.
    QDateTime atMinuteOfDay(const QDate& day, int minuteOfDay) const;

private:
    QTimeZone m_zone; // invalid: the system's zone
};

} // namespace kestrune
