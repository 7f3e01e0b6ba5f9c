#include "Kestrune/Share/SavingsStats.h"

#include "tests/support/ManualClock.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrune;

namespace {

const QTimeZone tokyo("Asia/Tokyo");

SavingsStats::DayEntry day(int m, int d, double minutes, const QTimeZone& zone = tokyo)
{
    return {QDate(2026, m, d).startOfDay(zone), minutes, minutes / 10.0};
}

QStringList keys(const QList<SavingsStats::Milestone>& milestones)
{
    QStringList list;
    for (const auto& m : milestones)
        list << m.key;
    return list;
}

} // namespace

TEST(SavingsStatsTest, StreakCountsBackFromTodayAcrossTheDayChange)
{
    ASSERT_TRUE(tokyo.isValid());
    // 23:50 on 10 May in Tokyo. 6 May is a gap; 8 May sits exactly on 5 minutes.
    test::ManualClock clock(QDateTime(QDate(2026, 5, 10), QTime(14, 50), Qt::UTC));
    QList<SavingsStats::DayEntry> entries{day(5, 5, 60), day(5, 7, 12), day(5, 8, 5.0), day(5, 9, 40), day(5, 10, 4.99)};
    EXPECT_EQ(SavingsStats::streak(entries, clock.now(), LocalCalendar(tokyo)), 3);
    entries.last().minutes = 5.0;
    EXPECT_EQ(SavingsStats::streak(entries, clock.now(), LocalCalendar(tokyo)), 4);

    // Past midnight in Tokyo (still 10 May in UTC) the new day has nothing yet, and the run
    // that ended yesterday still counts in full; one more idle day ends it.
    clock.advance(20 * 60);
    EXPECT_EQ(SavingsStats::streak(entries, clock.now(), LocalCalendar(tokyo)), 4);
    clock.advance(86400);
    EXPECT_EQ(SavingsStats::streak(entries, clock.now(), LocalCalendar(tokyo)), 0);

    // The UTC midnight is not the start of the Tokyo day.
    const SavingsStats::DayEntry utcDay{QDateTime(QDate(2026, 5, 10), QTime(0, 0), Qt::UTC), 30, 3};
    EXPECT_EQ(SavingsStats::streak({utcDay}, QDateTime(QDate(2026, 5, 10), QTime(3, 0), Qt::UTC), LocalCalendar(tokyo)), 0);

    // Summer time began in Berlin on 29 March 2026: a day of 23 hours keeps the run.
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime monday(QDate(2026, 3, 30), QTime(10, 0), Qt::UTC);
    EXPECT_EQ(SavingsStats::streak({day(3, 28, 9, berlin), day(3, 29, 9, berlin), day(3, 30, 9, berlin)}, monday,
                                   LocalCalendar(berlin)),
              3);
}

TEST(SavingsStatsTest, DurationTexts)
{
    const QList<std::pair<double, QString>> texts{
        {0.4, "0分"}, {59.4, "59分"}, {59.5, "1時間"}, {61, "1時間1分"},
        {125, "2時間5分"}, {1440, "24時間"}, {-3.2, "-3分"}, {std::nan(""), "0分"},
    };
    for (const auto& [minutes, text] : texts)
        EXPECT_EQ(SavingsStats::formattedDuration(minutes), text) << minutes;
}

TEST(SavingsStatsTest, MilestonesComeInOrderOnceAndAtTheirThresholds)
{
    SavingsStats::Summary summary;
    summary.totalMinutes = 2000;
    const auto first = SavingsStats::newMilestones(summary, {});
    EXPECT_EQ(keys(first), (QStringList{"total6h", "total24h"}));
    // The title carries the summary's own figure, not the threshold.
    EXPECT_EQ(first[0].title, QStringLiteral("累計33時間20分の延命を達成しました"));
    EXPECT_EQ(first[0].body, QStringLiteral("Kestruneの累計実績をシェアできます。タップでシェア画面を開きます。"));

    summary = {30.0, 0, 0, 0, 6000, 0, 7};
    EXPECT_EQ(keys(SavingsStats::newMilestones(summary, {})),
              (QStringList{"daily30", "total6h", "total24h", "total100h", "streak7"}));
    const auto rest = SavingsStats::newMilestones(summary, {"total6h", "daily30", "total24h", "total100h"});
    ASSERT_EQ(keys(rest), QStringList{"streak7"});
    EXPECT_EQ(rest[0].title, QStringLiteral("7日連続で節電実績を達成しました"));
    EXPECT_TRUE(SavingsStats::newMilestones(summary, {"daily30", "total6h", "total24h", "total100h", "streak7"}).isEmpty());

    summary = {29.99, 0, 0, 0, 359.9, 0, 6};
    EXPECT_TRUE(SavingsStats::newMilestones(summary, {}).isEmpty());
    summary.todayMinutes = 45;
    EXPECT_EQ(SavingsStats::newMilestones(summary, {}).value(0).title, QStringLiteral("今日、バッテリーを45分延命しました"));
}
