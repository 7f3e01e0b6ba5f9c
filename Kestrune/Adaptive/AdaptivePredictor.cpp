#include "Kestrune/Adaptive/AdaptivePredictor.h"

#include <QHash>

#include <algorithm>

namespace kestrune {

namespace {

// The element at ⌊n × q⌋ of the ascending values, kept inside the list: a low quantile
// for unplug times (better early than late), a high one for session lengths.
template <typename T> T quantile(QList<T> values, double q)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return values[std::min(n - 1, static_cast<qsizetype>(static_cast<double>(n) * q))];
}

} // namespace

std::optional<QDateTime> AdaptivePredictor::predictNextUnplug(
    const QList<QDateTime>& events, const QDateTime& after, const LocalCalendar& calendar)
{
    if (events.size() < 3 || !after.isValid())
        return std::nullopt;

    QHash<int, QList<int>> byWeekday;
    QList<int> all;
    for (const QDateTime& event : events) {
        if (!event.isValid())
            continue;
        const int minute = calendar.minuteOfDay(event);
        byWeekday[calendar.weekday(event)].append(minute);
        all.append(minute);
    }

    const QDate today = calendar.dayOf(after);
    const QDateTime earliest = after.addSecs(minimumLeadSeconds);
    for (int offset = 0; offset <= 7; ++offset) {
        const QDate day = today.addDays(offset);
        const QDateTime dayStart = calendar.startOfDay(day);
        if (!dayStart.isValid())
            continue;
        const QList<int> sameWeekday = byWeekday.value(calendar.weekday(dayStart));
        QList<int> chosen;
        if (sameWeekday.size() >= 3)
            chosen = sameWeekday;
        else if (all.size() >= 5)
            chosen = all;
        else
            continue;
        // The clock time on that day, even when a change of offset makes the day shorter
        // or longer than 24 hours.
        const QDateTime candidate = calendar.atMinuteOfDay(day, quantile(chosen, 0.2));
        if (candidate.isValid() && candidate > earliest)
            return candidate;
    }
    return std::nullopt;
}

std::optional<double> AdaptivePredictor::predictSessionHours(
    const QList<PlugEvent>& events, const QDateTime& startedAt, const LocalCalendar& calendar)
{
    QList<PlugEvent> sorted = events;
    std::stable_sort(
        sorted.begin(), sorted.end(), [](const PlugEvent& a, const PlugEvent& b) { return a.date < b.date; });

    struct Session {
        QDateTime start;
        double hours;
    };
    QList<Session> sessions;
    std::optional<QDateTime> openUnplug;
    for (const PlugEvent& event : sorted) {
        if (!event.plugged) {
            // A later unplug without a plug in between starts the session afresh.
            openUnplug = event.date;
            continue;
        }
        if (!openUnplug)
            continue;
        const double hours = static_cast<double>(openUnplug->msecsTo(event.date)) / 1000.0 / 3600.0;
        if (hours >= 0.25 && hours <= 24)
            sessions.append({ *openUnplug, hours });
        openUnplug.reset();
    }
    if (sessions.size() < 3)
        return std::nullopt;

    const int weekday = calendar.weekday(startedAt);
    QList<double> sameWeekday;
    QList<double> all;
    for (const Session& session : sessions) {
        all.append(session.hours);
        if (calendar.weekday(session.start) == weekday)
            sameWeekday.append(session.hours);
    }
    return quantile(sameWeekday.size() >= 3 ? sameWeekday : all, 0.75);
}

} // namespace kestrune
