#include "KestruneHelper/PowerMetricsSampler.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace kestrune {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// A string node's text, read with its length: the library's copying accessor aborts the
// process on a string that holds a NUL. Such a string names no process and reads as none.
std::optional<QString> stringValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    if (!value || length > static_cast<uint64_t>(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    const QByteArrayView bytes(value, static_cast<qsizetype>(length));
    if (bytes.contains('\0'))
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

// An integer or real node as a double. Integers are read as signed: the format stores
// negative ones in two's complement.
std::optional<double> numberValue(plist_t node)
{
    if (!node)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<double>(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> integerValue(plist_t node)
{
    if (!node)
        return std::nullopt;
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<qint64>(value);
    }
    const auto real = numberValue(node);
    // A real is cut towards zero; one no integer can hold is no pid.
    if (!real || !std::isfinite(*real) || std::fabs(*real) >= 9.2e18)
        return std::nullopt;
    return static_cast<qint64>(*real);
}

} // namespace

QStringList PowerMetricsSampler::arguments(int seconds)
{
    return {QStringLiteral("--samplers"), QStringLiteral("tasks"), QStringLiteral("--show-process-energy"),
            QStringLiteral("-i"), QString::number(seconds * 1000), QStringLiteral("-n"), QStringLiteral("1"),
            QStringLiteral("-f"), QStringLiteral("plist")};
}

PowerMetricsReport PowerMetricsSampler::sample(qint64 durationSeconds, const QString& program, int grace,
                                               const Clock& clock)
{
    const int seconds = static_cast<int>(std::clamp<qint64>(durationSeconds, minSeconds, maxSeconds));
    QElapsedTimer elapsed;
    elapsed.start();
    const QDateTime start = clock.now();

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments(seconds));
    // Nobody reads the tool's complaints; a pipe nobody reads would stall it once full.
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1))
        return PowerMetricsReport{start, 0, {}};

    // Reading and waiting share one deadline: a tool that never closes its output or never
    // exits gives up its thread all the same.
    QDeadlineTimer deadline(qint64(seconds) * 1000 + grace);
    QByteArray output;
    bool overflow = false;
    const auto take = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (output.size() + chunk.size() > outputLimit)
            overflow = true;
        else
            output += chunk;
    };
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired() && !overflow) {
        const int step = static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100));
        if (!process.waitForReadyRead(step) && process.state() != QProcess::NotRunning)
            process.waitForFinished(step);
        take();
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }
    take();

    std::vector<ProcessPowerSample> processes;
    if (!overflow)
        processes = parse(output);
    return PowerMetricsReport{start, static_cast<double>(elapsed.nsecsElapsed()) / 1e9, std::move(processes)};
}

std::vector<ProcessPowerSample> PowerMetricsSampler::parse(const QByteArray& plistData)
{
    if (plistData.isEmpty() || plistData.size() > outputLimit)
        return {};
    plist_t rootNode = nullptr;
    plist_from_memory(plistData.constData(), static_cast<uint32_t>(plistData.size()), &rootNode);
    const PlistPtr root(rootNode);
    if (!root || plist_get_node_type(rootNode) != PLIST_DICT)
        return {};
    plist_t tasks = plist_dict_get_item(rootNode, "tasks");
    if (!tasks || plist_get_node_type(tasks) != PLIST_ARRAY)
        return {};
    const uint32_t count = plist_array_get_size(tasks);
    // The list is taken only when every entry is a dictionary.
    for (uint32_t i = 0; i < count; ++i) {
        if (plist_get_node_type(plist_array_get_item(tasks, i)) != PLIST_DICT)
            return {};
    }

    std::vector<ProcessPowerSample> samples;
    for (uint32_t i = 0; i < count; ++i) {
        plist_t task = plist_array_get_item(tasks, i);
        const auto name = stringValue(plist_dict_get_item(task, "name"));
        if (!name)
            continue;
        if (*name == QLatin1String("powermetrics") || *name == QLatin1String("ALL_TASKS")
            || *name == QLatin1String("DEAD_TASKS"))
            continue;
        ProcessPowerSample sample;
        sample.name = *name;
        sample.pid = integerValue(plist_dict_get_item(task, "pid")).value_or(-1);
        auto impact = numberValue(plist_dict_get_item(task, "energy_impact"));
        if (!impact)
            impact = numberValue(plist_dict_get_item(task, "energy_impact_per_s"));
        sample.energyImpact = impact.value_or(0);
        sample.cpuMsPerS = numberValue(plist_dict_get_item(task, "cputime_ms_per_s")).value_or(0);
        // JSON has no infinity or NaN: one such task would otherwise sink the whole reply.
        if (!std::isfinite(sample.energyImpact) || !std::isfinite(sample.cpuMsPerS))
            continue;
        if (sample.energyImpact > 0)
            samples.push_back(std::move(sample));
    }
    std::stable_sort(samples.begin(), samples.end(), [](const ProcessPowerSample& a, const ProcessPowerSample& b) {
        return a.energyImpact > b.energyImpact;
    });
    return samples;
}

} // namespace kestrune
