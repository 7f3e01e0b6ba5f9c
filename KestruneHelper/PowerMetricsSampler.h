#pragma once

#include "Foundation/Clock.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/ProcessPowerSample.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace kestrune {

// Which processes use energy right now: one sample of the power-metrics tool's tasks
// sampler, parsed from its property-list output. Stateless; a sampling blocks the calling
// thread for about the requested seconds.
class PowerMetricsSampler {
public:
    static constexpr int minSeconds = 1;
    static constexpr int maxSeconds = 15;
    // How long the tool may take beyond its sampling interval before it is killed.
    static constexpr int defaultGraceMs = 15'000;
    // More output than this is not a report the tool would write (a machine with twenty
    // thousand processes writes about 7 MB); it is dropped.
    static constexpr qsizetype outputLimit = 8 << 20;

    // Never fails: a tool that cannot be started gives an empty report of duration 0, output
    // that cannot be read a report without processes.
    static PowerMetricsReport sample(qint64 durationSeconds, const QString& program, int graceMs = defaultGraceMs,
                                     const Clock& clock = Clock::system());

    // The tool's arguments for a sampling of `seconds` (already clamped).
    static QStringList arguments(int seconds);

    // The tasks of the tool's output with a positive energy impact, highest first (equal
    // ones in the tool's order). The tool's own entry and its summary rows are left out.
    static std::vector<ProcessPowerSample> parse(const QByteArray& plistData);
};

} // namespace kestrune
