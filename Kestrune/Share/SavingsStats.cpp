#include "Kestrune/Share/SavingsStats.h"

#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"

#include <QDate>

#include <array>
#include <utility>

namespace kestrune {

int SavingsStats::streak(const QList<DayEntry>& entries, const QDateTime& now, const LocalCalendar& calendar)
{
    QSet<qint64> activeDays; // instants, so that days given in any zone compare exactly
    for (const DayEntry& entry : entries)
        if (entry.minutes >= activeDayMinutes && entry.day.isValid())
            activeDays.insert(entry.day.toMSecsSinceEpoch());

    QDate date = calendar.dayOf(now);
    const QDateTime today = calendar.startOfDay(date);
    if (!today.isValid())
        return 0;
    int count = activeDays.contains(today.toMSecsSinceEpoch()) ? 1 : 0;
    // Step back by calendar date rather than by 24 hours, so that a day made shorter or
    // longer by a clock change, or one that starts after midnight, keeps the run going.
    for (;;) {
        date = date.addDays(-1);
        const QDateTime day = calendar.startOfDay(date);
        if (!date.isValid() || !day.isValid() || !activeDays.contains(day.toMSecsSinceEpoch()))
            break;
        ++count;
    }
    return count;
}

QString SavingsStats::formattedDuration(double minutes)
{
    // Not-a-number and infinite figures read as 0 or saturate, never as garbage.
    const long long m = Rounding::toInteger(minutes);
    if (m <= 59)
        return Localized::fmt("%lld分", m);
    const long long hours = m / 60;
    const long long rest = m % 60;
    if (rest != 0)
        return Localized::fmt("%lld時間%lld分", hours, rest);
    return Localized::fmt("%lld時間", hours);
}

QList<SavingsStats::Milestone> SavingsStats::newMilestones(const Summary& summary, const QSet<QString>& achieved)
{
    QList<Milestone> reached;
    const auto offer = [&](const QString& key, bool isReached, auto&& title, auto&& body) {
        if (!achieved.contains(key) && isReached)
            reached << Milestone{key, title(), body()};
    };

    offer(QStringLiteral("daily30"), summary.todayMinutes >= 30.0,
          [&] { return Localized::fmt("今日、バッテリーを%@延命しました", formattedDuration(summary.todayMinutes)); },
          [] { return Localized::text("AI節電の実績をシェアして自慢しましょう。タップでシェア画面を開きます。"); });

    static const std::array<std::pair<double, const char*>, 3> totals{{
        {360.0, "total6h"},
        {1440.0, "total24h"},
        {6000.0, "total100h"},
    }};
    for (const auto& [threshold, key] : totals)
        offer(QString::fromLatin1(key), summary.totalMinutes >= threshold,
              [&] { return Localized::fmt("累計%@の延命を達成しました", formattedDuration(summary.totalMinutes)); },
              [] { return Localized::text("Kestruneの累計実績をシェアできます。タップでシェア画面を開きます。"); });

    offer(QStringLiteral("streak7"), summary.streakDays >= 7,
          [] { return Localized::text("7日連続で節電実績を達成しました"); },
          [] { return Localized::text("1週間の継続実績をシェアしましょう。タップでシェア画面を開きます。"); });
    return reached;
}

} // namespace kestrune
