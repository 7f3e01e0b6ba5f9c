#include "Kestrune/Share/SharePeriod.h"

#include "Foundation/Localized.h"

#include <QtGlobal>

#include <array>

namespace kestrune {

namespace {

struct Row {
    const char* rawValue;
    const char* label;
    const char* caption;
    double SavingsStats::Summary::*minutes;
    double SavingsStats::Summary::*wattHours;
};

using Summary = SavingsStats::Summary;

constexpr std::array<Row, 3> rows{{
    {"today", QT_TRANSLATE_NOOP("Kestrune", "今日"), QT_TRANSLATE_NOOP("Kestrune", "今日の実績"),
     &Summary::todayMinutes, &Summary::todayWh},
    {"week", QT_TRANSLATE_NOOP("Kestrune", "今週"), QT_TRANSLATE_NOOP("Kestrune", "今週の実績"),
     &Summary::weekMinutes, &Summary::weekWh},
    {"total", QT_TRANSLATE_NOOP("Kestrune", "累計"), QT_TRANSLATE_NOOP("Kestrune", "累計実績"),
     &Summary::totalMinutes, &Summary::totalWh},
}};

const Row& rowOf(SharePeriod::Value value)
{
    return rows[size_t(value)];
}

} // namespace

QList<SharePeriod> SharePeriod::allCases()
{
    return {Today, Week, Total};
}

std::optional<SharePeriod> SharePeriod::fromRawValue(const QString& rawValue)
{
    for (const SharePeriod period : allCases())
        if (period.rawValue() == rawValue)
            return period;
    return std::nullopt;
}

QString SharePeriod::rawValue() const
{
    return QString::fromLatin1(rowOf(m_value).rawValue);
}

QString SharePeriod::label() const
{
    return Localized::text(rowOf(m_value).label);
}

QString SharePeriod::cardCaption() const
{
    return Localized::text(rowOf(m_value).caption);
}

double SharePeriod::minutes(const SavingsStats::Summary& summary) const
{
    return summary.*rowOf(m_value).minutes;
}

double SharePeriod::wattHours(const SavingsStats::Summary& summary) const
{
    return summary.*rowOf(m_value).wattHours;
}

} // namespace kestrune
