#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace kestrune {

// Measures what an action really saves: the mean drain of the 90 s before it starts is the
// baseline, and once two readings fall between 90 s and 300 s after the start, their mean is
// compared with it. Anything that disturbs the comparison (another action, the user changing
// the brightness, another application in front) spoils the measurement; a spoiled one is still
// reported, marked invalid, so that it is recorded but not learned from.
//
// Times are compared in whole milliseconds, so the window bounds hold exactly. Results are
// delivered synchronously from inside noteSnapshot().
class EffectMeasurer {
public:
    struct Reading {
        QDateTime date;
        double watts = 0;

        bool operator==(const Reading&) const = default;
    };

    struct Pending {
        QString key;
        QDateTime start;
        double baselineW = 0;
        bool invalid = false;

        bool operator==(const Pending&) const = default;
    };

    static constexpr qint64 historyMs = 600'000;
    static constexpr qint64 baselineMs = 90'000;
    static constexpr qint64 afterStartMs = 90'000;
    static constexpr qint64 afterEndMs = 300'000;
    static constexpr qint64 giveUpMs = 360'000;
    static constexpr double ignoredBelowW = 0.1;
    static constexpr double minDeltaW = -3;
    static constexpr double maxDeltaW = 15;

    // Drain readings of the last 600 s, oldest first.
    QList<Reading> drains;
    // Measurements in progress, in start order.
    QList<Pending> pendings;
    // (action key, saving in W, valid): positive when the drain fell after the action.
    std::function<void(const QString&, double, bool)> onResult;

    // One drain reading (W, positive while discharging). Readings of 0.1 W or less, or not a
    // number, are ignored and complete nothing.
    void noteSnapshot(double drainW, const QDateTime& at);
    // An action started at `at`: spoils every measurement in progress and, when there are
    // readings in the 90 s before, starts measuring this one.
    void begin(const QString& key, const QDateTime& at);
    void invalidateAll();
    // Forgets every reading and measurement; measurements in flight never report.
    void clear();

private:
    void completeIfReady(const QDateTime& now);
};

} // namespace kestrune
