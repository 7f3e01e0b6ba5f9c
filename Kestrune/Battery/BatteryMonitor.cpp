#include "Kestrune/Battery/BatteryMonitor.h"

#include "Foundation/Rounding.h"
#include "Platform/BatteryRegistry/BatteryRegistry.h"
#include "Platform/BatteryRegistry/PowerSourceNotifier.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isUnsigned(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::ULong: case QMetaType::UShort:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// A number's 64-bit integer value. An unsigned value with the top bit set is read as the
// signed number with that bit pattern: the registry stores a discharge current that way.
std::optional<qint64> integer(const QVariantMap& map, const char* key)
{
    const QVariant v = map.value(QString::fromLatin1(key));
    if (!isNumber(v))
        return std::nullopt;
    if (isUnsigned(v))
        return static_cast<qint64>(v.toULongLong());
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (std::isnan(d))
            return 0;
        if (d >= 9.2e18)
            return std::numeric_limits<qint64>::max();
        if (d <= -9.2e18)
            return std::numeric_limits<qint64>::min();
        return static_cast<qint64>(d);
    }
    return v.toLongLong();
}

bool boolean(const QVariantMap& map, const char* key)
{
    const QVariant v = map.value(QString::fromLatin1(key));
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return v.toDouble() != 0.0;
    const auto value = integer(map, key);
    return value && *value != 0;
}

int saturated(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::optional<QVariantMap> dictionary(const QVariant& v)
{
    if (v.typeId() == QMetaType::QVariantMap)
        return v.toMap();
    if (v.typeId() == QMetaType::QVariantHash) {
        QVariantMap map;
        const QVariantHash hash = v.toHash();
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return map;
    }
    return std::nullopt;
}

// The system's time estimates use 65535 for "still working it out".
std::optional<int> minutes(const QVariantMap& map, const char* key)
{
    const auto value = integer(map, key);
    if (!value || *value < 1 || *value >= 65535)
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace

BatteryMonitor::BatteryMonitor(QString sysfsRoot, const Clock& clock,
                               std::optional<std::chrono::milliseconds> changePoll, QObject* parent)
    : QObject(parent)
    , m_root(std::move(sysfsRoot))
    , m_clock(clock)
    , m_changePoll(changePoll)
{
}

BatteryMonitor::~BatteryMonitor()
{
    stop();
}

void BatteryMonitor::start(double intervalSeconds)
{
    stop();
    refresh();

    // A timer of no length would spin; the shortest one the event loop offers stands in.
    const double ms = std::isnan(intervalSeconds) ? 1.0 : intervalSeconds * 1000.0;
    const int intervalMs = static_cast<int>(std::clamp(ms, 1.0, double(std::numeric_limits<int>::max())));
    m_timer = new QTimer(this);
    // A coarse timer may fire up to 5 % early or late, which lets the system batch wake-ups
    // the way a tolerance of a sixth of the interval is meant to.
    m_timer->setTimerType(Qt::CoarseTimer);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { refresh(); });
    m_timer->start();

    if (!m_changePoll)
        return;
    m_source = new PowerSourceNotifier(m_root, *m_changePoll, this);
    // Queued: a change notice only schedules a reading, it never reads inside the notifier.
    connect(m_source, &PowerSourceNotifier::changed, this, [this] { refresh(); }, Qt::QueuedConnection);
    if (m_source->start() == PowerSourceNotifier::Mechanism::None) {
        delete m_source;
        m_source = nullptr;
    }
}

void BatteryMonitor::stop()
{
    // onUpdate may stop the monitor from inside the timer's own signal, so the objects are
    // released once control has left them.
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
    if (m_source) {
        m_source->stop();
        m_source->disconnect(this);
        m_source->deleteLater();
        m_source = nullptr;
    }
}

std::optional<BatterySnapshot> BatteryMonitor::refresh()
{
    auto reading = readSnapshot(m_root, m_clock.now());
    if (!reading)
        return std::nullopt;
    m_current = reading;
    if (onUpdate)
        onUpdate(*reading);
    return reading;
}

std::optional<BatterySnapshot> BatteryMonitor::readSnapshot(const QString& sysfsRoot, const QDateTime& now)
{
    const auto properties = BatteryRegistry::copyProperties(sysfsRoot);
    if (!properties)
        return std::nullopt;
    return snapshot(*properties, now);
}

std::optional<BatterySnapshot> BatteryMonitor::snapshot(const QVariant& properties, const QDateTime& now)
{
    const auto found = dictionary(properties);
    if (!found)
        return std::nullopt;
    const QVariantMap& p = *found;

    BatterySnapshot s;
    s.date = now;

    // "MaxCapacity" of exactly 100 means both values are already percentages.
    const qint64 current = integer(p, "CurrentCapacity").value_or(0);
    const auto max = integer(p, "MaxCapacity");
    double soc = static_cast<double>(current);
    if (max && *max >= 1 && *max != 100)
        soc = Rounding::halfAwayFromZero(static_cast<double>(current) / static_cast<double>(*max) * 100.0);
    s.socPercent = static_cast<int>(std::clamp(soc, 0.0, 100.0));

    s.isCharging = boolean(p, "IsCharging");
    s.externalConnected = boolean(p, "ExternalConnected");
    s.fullyCharged = boolean(p, "FullyCharged");
    s.temperatureC = static_cast<double>(integer(p, "Temperature").value_or(0)) / 100.0;
    s.cycleCount = saturated(integer(p, "CycleCount").value_or(0));
    s.designCapacitymAh = saturated(integer(p, "DesignCapacity").value_or(0));
    auto nominal = integer(p, "NominalChargeCapacity");
    if (!nominal)
        nominal = integer(p, "AppleRawMaxCapacity");
    s.nominalCapacitymAh = saturated(nominal.value_or(0));
    s.voltageV = static_cast<double>(integer(p, "Voltage").value_or(0)) / 1000.0;
    s.amperageA = static_cast<double>(integer(p, "Amperage").value_or(0)) / 1000.0;

    if (const auto adapter = dictionary(p.value(QStringLiteral("AdapterDetails")))) {
        const auto watts = integer(*adapter, "Watts");
        if (watts && *watts >= 1)
            s.adapterWatts = saturated(*watts);
        const QVariant name = adapter->value(QStringLiteral("Name"));
        if (name.typeId() == QMetaType::QString)
            s.adapterName = name.toString();
    }

    s.timeToFullMinutes = minutes(p, "AvgTimeToFull");
    s.timeToEmptyMinutes = minutes(p, "AvgTimeToEmpty");
    return s;
}

} // namespace kestrune
