#include "Foundation/LocalCalendar.h"

namespace kestrune {

LocalCalendar::LocalCalendar(QTimeZone zone)
    : m_zone(std::move(zone))
{
}

QTimeZone LocalCalendar::timeZone() const
{
    return m_zone.isValid() ? m_zone : QTimeZone::systemTimeZone();
}

QDate LocalCalendar::dayOf(const QDateTime& moment) const
{
    if (!moment.isValid())
        return {};
    return moment.toTimeZone(timeZone()).date();
}

QDateTime LocalCalendar::startOfDay(const QDate& day) const
{
    if (!day.isValid())
        return {};
    return day.startOfDay(timeZone()).toUTC();
}

int LocalCalendar::weekday(const QDateTime& moment) const
{
    // Qt counts Monday 1 ... Sunday 7.
    return dayOf(moment).dayOfWeek() % 7 + 1;
}

int LocalCalendar::minuteOfDay(const QDateTime& moment) const
{
    const QTime time = moment.toTimeZone(timeZone()).time();
    return time.hour() * 60 + time.minute();
}

QDateTime LocalCalendar::atMinuteOfDay(const QDate& day, int minuteOfDay) const
{
    if (!day.isValid() || minuteOfDay < 0 || minuteOfDay >= 24 * 60)
        return {};
    const QDateTime wallClock(day, QTime(minuteOfDay / 60, minuteOfDay % 60), timeZone());
    if (wallClock.isValid())
        return wallClock.toUTC();
    const QDateTime start = startOfDay(day);
    return start.isValid() ? start.addSecs(qint64(minuteOfDay) * 60) : QDateTime();
}

} // namespace kestrune
