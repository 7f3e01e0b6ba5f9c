#pragma once

#include "Kestrune/Share/SavingsStats.h"

#include <QList>
#include <QString>

#include <optional>

namespace kestrune {

// The period a savings card covers. Its raw value is what leaves the application: the saved
// file's name, the card upload's "p" and the detail of the "share" action record.
class SharePeriod {
public:
    enum Value { Today, Week, Total };

    constexpr SharePeriod(Value value = Today)
        : m_value(value)
    {
    }

    // Today, week, total: the order of the share window's picker.
    static QList<SharePeriod> allCases();
    // Nothing for anything but the three raw values.
    static std::optional<SharePeriod> fromRawValue(const QString& rawValue);

    Value value() const { return m_value; }
    QString rawValue() const;
    // The short label ("今日"), localised.
    QString label() const;
    // The card's caption ("今日の実績"), localised.
    QString cardCaption() const;
    // The period's figures in a summary.
    double minutes(const SavingsStats::Summary& summary) const;
    double wattHours(const SavingsStats::Summary& summary) const;

    bool operator==(const SharePeriod&) const = default;

private:
    Value m_value;
};

} // namespace kestrune
