#pragma once

#include <QDateTime>
#include <QJsonObject>

#include <optional>

namespace kestrune {

// One time the user undid or fought a power-saving action, and how much it counts.
struct PenaltyEvent {
    QDateTime date;
    double weight = 0; // 1.0 for an outright undo, 0.5 for a milder override

    bool operator==(const PenaltyEvent&) const = default;

    // Whether the engine could have recorded it by `now`: a weight it gives, a date already past.
    bool couldBeRecordedBy(const QDateTime& now) const;

    // {"date", "weight"}, the date as seconds since the epoch that `secondsOf` counts from.
    // Nothing when the weight is not finite or the date is invalid.
    std::optional<QJsonObject> toJsonObject(double (*secondsOf)(const QDateTime&)) const;
    // Both members are required.
    static std::optional<PenaltyEvent> fromJsonObject(const QJsonObject& object, QDateTime (*dateOf)(double));
};

} // namespace kestrune
