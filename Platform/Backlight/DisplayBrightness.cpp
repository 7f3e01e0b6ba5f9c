#include "Platform/Backlight/DisplayBrightness.h"

#include "Platform/Sysfs/PowerSupplyTree.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace kestrune {

namespace {

int typeRank(const QString& type)
{
    static const QStringList preferred{QStringLiteral("firmware"), QStringLiteral("platform"), QStringLiteral("raw")};
    const qsizetype rank = preferred.indexOf(type);
    return rank < 0 ? int(preferred.size()) : int(rank);
}

std::optional<qint64> maxBrightness(const QString& device)
{
    const auto max = PowerSupplyTree::readInteger(device, QStringLiteral("max_brightness"));
    if (!max || *max <= 0)
        return std::nullopt;
    return max;
}

} // namespace

DisplayBrightness::DisplayBrightness(QString sysfsRoot, std::shared_ptr<BacklightWriter> writer)
    : m_root(std::move(sysfsRoot))
    , m_writer(std::move(writer))
{
}

std::optional<QString> DisplayBrightness::mainDevice() const
{
    const QDir dir(m_root + QStringLiteral("/class/backlight"));
    std::optional<QString> best;
    int bestRank = 0;
    // Sorted by name, so the first of a rank wins.
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        const QString path = dir.filePath(name);
        if (!maxBrightness(path))
            continue;
        const int rank = typeRank(PowerSupplyTree::read(path, QStringLiteral("type")).value_or(QString()).trimmed());
        if (!best || rank < bestRank) {
            best = path;
            bestRank = rank;
        }
    }
    return best;
}

int DisplayBrightness::get(quint32, float* value) const
{
    const auto device = mainDevice();
    if (!device || !value)
        return failure;
    const auto max = maxBrightness(*device);
    const auto now = PowerSupplyTree::readInteger(*device, QStringLiteral("brightness"));
    if (!max || !now)
        return failure;
    *value = static_cast<float>(std::clamp(double(*now) / double(*max), 0.0, 1.0));
    return success;
}

int DisplayBrightness::set(quint32, float value)
{
    const auto device = mainDevice();
    if (!device || !std::isfinite(value))
        return failure;
    const auto max = maxBrightness(*device);
    if (!max)
        return failure;
    // A fraction read from a fine scale (max_brightness 96,000 or 120,000) is a float within
    // half a float step of raw / max, so times max it can fall just short of the raw value and
    // round down a whole step. The margin, the largest such shortfall, brings a value read back
    // to exactly its step; it is far too small to lift a cap over a step of its own.
    const double margin = double(*max) * std::ldexp(1.0, -24) + 0.001;
    const double steps = std::floor(double(std::clamp(value, 0.0f, 1.0f)) * double(*max) + margin);
    const auto raw = static_cast<quint32>(std::clamp<double>(steps, 1, double(*max)));
    return m_writer->write(QStringLiteral("backlight"), QFileInfo(*device).fileName(), raw) ? success : failure;
}

} // namespace kestrune
