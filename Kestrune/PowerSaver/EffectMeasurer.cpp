#include "Kestrune/PowerSaver/EffectMeasurer.h"

#include <algorithm>

namespace kestrune {

namespace {

double mean(const QList<double>& values)
{
    double sum = 0;
    for (double value : values)
        sum += value;
    return sum / double(values.size());
}

} // namespace

void EffectMeasurer::noteSnapshot(double drainW, const QDateTime& at)
{
    if (!(drainW > ignoredBelowW))
        return;
    drains.append({at, drainW});
    drains.removeIf([&](const Reading& reading) { return reading.date.msecsTo(at) > historyMs; });
    completeIfReady(at);
}

void EffectMeasurer::begin(const QString& key, const QDateTime& at)
{
    invalidateAll();
    QList<double> baseline;
    for (const Reading& reading : drains)
        if (reading.date.msecsTo(at) <= baselineMs)
            baseline << reading.watts;
    if (baseline.isEmpty())
        return;
    pendings.append({key, at, mean(baseline), false});
}

void EffectMeasurer::invalidateAll()
{
    for (Pending& pending : pendings)
        pending.invalid = true;
}

void EffectMeasurer::clear()
{
    drains.clear();
    pendings.clear();
}

void EffectMeasurer::completeIfReady(const QDateTime& now)
{
    struct Result {
        QString key;
        double deltaW;
        bool valid;
    };
    QList<Result> results;
    QList<Pending> kept;
    for (const Pending& pending : std::as_const(pendings)) {
        QList<double> after;
        for (const Reading& reading : std::as_const(drains)) {
            const qint64 since = pending.start.msecsTo(reading.date);
            if (since > afterStartMs && since <= afterEndMs)
                after << reading.watts;
        }
        if (after.size() >= 2)
            results.append({pending.key, std::clamp(pending.baselineW - mean(after), minDeltaW, maxDeltaW),
                            !pending.invalid});
        else if (pending.start.msecsTo(now) > giveUpMs)
            results.append({pending.key, 0, false});
        else
            kept << pending;
    }
    // The lists are settled before anyone hears of a result, so a handler that begins,
    // spoils or clears measurements acts on the measurer as it now stands.
    pendings = kept;
    if (!onResult)
        return;
    for (const Result& result : std::as_const(results))
        onResult(result.key, result.deltaW, result.valid);
}

} // namespace kestrune
