#include "Kestrune/Adaptive/AdaptivePredictor.h"

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

const LocalCalendar berlin(QTimeZone("Europe/Berlin"));

// A Berlin wall-clock moment; 2 March 2026 is a Monday.
QDateTime local(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), berlin.timeZone());
}

std::optional<QDateTime> predict(const QList<QDateTime>& events, const QDateTime& after)
{
    return AdaptivePredictor::predictNextUnplug(events, after, berlin);
}

// Sessions as (start, hours), each an unplug followed by a plug.
QList<AdaptivePredictor::PlugEvent> sessions(const QList<std::pair<QDateTime, double>>& list)
{
    QList<AdaptivePredictor::PlugEvent> events;
    for (const auto& [start, hours] : list) {
        events.append({ start.addSecs(qint64(hours * 3600)), true }); // out of order on purpose
        events.append({ start, false });
    }
    return events;
}

} // namespace

TEST(LocalCalendarTest, WeekdaysStartOnSundayInTheCalendarsZone)
{
    EXPECT_EQ(berlin.weekday(local(3, 1, 12)), 1); // Sunday
    EXPECT_EQ(berlin.weekday(local(3, 7, 12)), 7); // Saturday
    // Sunday 23:30 UTC is already Monday in Berlin.
    EXPECT_EQ(berlin.weekday(QDateTime(QDate(2026, 3, 1), QTime(23, 30), Qt::UTC)), 2);
    EXPECT_EQ(berlin.minuteOfDay(QDateTime(QDate(2026, 3, 1), QTime(23, 30, 59), Qt::UTC)), 30);
}

TEST(AdaptivePredictorTest, NextUnplugUsesTheWeekdayOnlyWithThreeTimes)
{
    const QList<QDateTime> mondays { local(2, 16, 9), local(2, 23, 8, 30), local(2, 9, 8) };
    EXPECT_FALSE(predict(mondays.mid(0, 2), local(3, 2, 7)));
    EXPECT_EQ(predict(mondays, local(3, 2, 7)), local(3, 2, 8)); // index ⌊3 × 0.2⌋ = 0
    // Tuesday to Sunday have no history of their own and there are fewer than 5 overall.
    EXPECT_EQ(predict(mondays, local(3, 3, 7)), local(3, 9, 8));
    // Four unplugs on four weekdays: nothing to go on.
    EXPECT_FALSE(
        predict({ local(2, 16, 9), local(2, 17, 9), local(2, 18, 9), local(2, 19, 9) }, local(3, 2, 7)));

    // Five on five weekdays: every day uses all of them, index ⌊5 × 0.2⌋ = 1.
    const QList<QDateTime> mixed { local(2, 20, 20), local(2, 16, 18, 30), local(2, 17, 17), local(2, 18, 19),
        local(2, 19, 18) };
    EXPECT_EQ(predict(mixed, local(3, 7, 12)), local(3, 7, 18));
    EXPECT_EQ(predict(mixed, local(3, 7, 17, 50)), local(3, 8, 18));
}

TEST(AdaptivePredictorTest, NextUnplugMustBeMoreThanFifteenMinutesAhead)
{
    const QList<QDateTime> mondays { local(2, 16, 8), local(2, 23, 8, 30), local(2, 9, 9) };
    EXPECT_EQ(predict(mondays, local(3, 2, 7, 50)), local(3, 9, 8));
    EXPECT_EQ(predict(mondays, local(3, 2, 7, 45)), local(3, 9, 8)); // exactly 900 s ahead
    EXPECT_EQ(predict(mondays, local(3, 2, 7, 45).addSecs(-1)), local(3, 2, 8));
}

TEST(AdaptivePredictorTest, NextUnplugKeepsTheClockTimeAcrossAChangeOfOffset)
{
    // Sundays at 08:00; 29 March 2026 is the Sunday Berlin moves to summer time at 02:00.
    const QList<QDateTime> sundays { local(3, 1, 8), local(3, 8, 8), local(3, 15, 8) };
    EXPECT_EQ(predict(sundays, local(3, 29, 1)), local(3, 29, 8)); // 08:00 summer time, not 09:00
}

TEST(AdaptivePredictorTest, SessionHoursTakeTheUpperQuartileOfPlausibleSessions)
{
    // 0.2 h and 25 h are ignored; 0.25 h and 24 h count.
    EXPECT_FALSE(AdaptivePredictor::predictSessionHours(
        sessions({ { local(2, 2, 8), 0.2 }, { local(2, 3, 8), 25 }, { local(2, 5, 8), 2 } }), local(3, 2, 8),
        berlin));
    EXPECT_EQ(AdaptivePredictor::predictSessionHours(
                  sessions({ { local(2, 2, 8), 0.25 }, { local(2, 3, 8), 24 }, { local(2, 5, 8), 2 } }),
                  local(3, 2, 8), berlin),
        24);
    EXPECT_EQ(AdaptivePredictor::predictSessionHours(
                  sessions({ { local(2, 3, 8), 2 }, { local(2, 4, 8), 5 }, { local(2, 5, 8), 3 } }),
                  local(3, 2, 8), berlin),
        5);

    // A second unplug before any plug starts the session again: 09:00 to 12:00 is 3 h.
    QList<AdaptivePredictor::PlugEvent> restarted
        = sessions({ { local(2, 3, 9), 3 }, { local(2, 4, 8), 1 }, { local(2, 5, 8), 1 } });
    restarted.append({ local(2, 3, 8), false });
    EXPECT_EQ(AdaptivePredictor::predictSessionHours(restarted, local(3, 2, 8), berlin), 3);

    // Eight sessions, two on Mondays: all eight are used (index 6). A third Monday switches
    // to the Mondays alone.
    QList<std::pair<QDateTime, double>> eight { { local(2, 2, 8), 8 }, { local(2, 9, 8), 7 } };
    for (int i = 1; i <= 6; ++i)
        eight.append({ local(2, 2 + i, 8), double(i) });
    EXPECT_EQ(AdaptivePredictor::predictSessionHours(sessions(eight), local(3, 2, 8), berlin), 7);
    eight.append({ local(2, 16, 8), 0.5 });
    EXPECT_EQ(AdaptivePredictor::predictSessionHours(sessions(eight), local(3, 2, 8), berlin), 8);
}
