#pragma once

#include <QDateTime>
#include <QJsonObject>

#include <optional>

namespace kestrune {

// What one action has been measured to save on this machine: a moving average of the
// measured drops in drain.
struct LearnedEffect {
    double deltaW = 0;    // learned saving in W
    qint64 samples = 0;   // measurements folded in
    QDateTime updatedAt;  // time of the last measurement

    bool operator==(const LearnedEffect&) const = default;

    // Whether this machine could have learned it by `now`: a saving a measurement can show,
    // a count of measurements, a last measurement already past.
    bool couldBeLearnedBy(const QDateTime& now) const;

    // {"deltaW", "samples", "updatedAt"}, the date as seconds since the epoch that
    // `secondsOf` counts from (the stored form and the backup use different ones).
    // Nothing when a figure is not finite or the date is invalid, which JSON cannot carry.
    std::optional<QJsonObject> toJsonObject(double (*secondsOf)(const QDateTime&)) const;
    // All three members are required; `dateOf` reads the seconds back.
    static std::optional<LearnedEffect> fromJsonObject(const QJsonObject& object,
                                                       QDateTime (*dateOf)(double));
};

} // namespace kestrune
