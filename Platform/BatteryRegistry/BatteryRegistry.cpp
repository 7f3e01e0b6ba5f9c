#include "Platform/BatteryRegistry/BatteryRegistry.h"

#include "Foundation/Rounding.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/Sysfs/PowerSupplyTree.h"

#include <cmath>

namespace kestrune {

namespace {

using Tree = PowerSupplyTree;

qint64 rounded(double value)
{
    return static_cast<qint64>(Rounding::toInteger(value));
}

// µAh (or µV, µA) to the registry's milli units.
qint64 milli(qint64 micro)
{
    return rounded(static_cast<double>(micro) / 1000.0);
}

// The voltage that turns an energy_* battery's µWh into mAh: the design voltage where the
// driver tells it, else the present one.
std::optional<qint64> designMicrovolts(const QString& battery)
{
    for (const char* attribute : {"voltage_min_design", "voltage_max_design", "voltage_now"}) {
        const auto volts = Tree::readInteger(battery, QString::fromLatin1(attribute));
        if (volts && *volts > 0)
            return volts;
    }
    return std::nullopt;
}

// A capacity in mAh from the charge_* attribute, or else from the energy_* one.
std::optional<qint64> capacitymAh(const QString& battery, const QString& suffix, std::optional<qint64> microvolts)
{
    if (const auto charge = Tree::readInteger(battery, QStringLiteral("charge_") + suffix))
        return milli(*charge);
    const auto energy = Tree::readInteger(battery, QStringLiteral("energy_") + suffix);
    if (!energy || !microvolts)
        return std::nullopt;
    // µWh / µV = Ah.
    return rounded(static_cast<double>(*energy) / static_cast<double>(*microvolts) * 1000.0);
}

// The battery current in signed mA. Drivers disagree on the sign of current_now, so the
// direction comes from the status and only the magnitude from the driver.
std::optional<qint64> amperagemA(const QString& battery, const QString& status)
{
    std::optional<double> microamps;
    if (const auto current = Tree::readInteger(battery, QStringLiteral("current_now"))) {
        microamps = static_cast<double>(*current);
    } else {
        const auto power = Tree::readInteger(battery, QStringLiteral("power_now"));
        const auto volts = Tree::readInteger(battery, QStringLiteral("voltage_now"));
        if (power && volts && *volts > 0)
            microamps = static_cast<double>(*power) / static_cast<double>(*volts) * 1e6;
    }
    if (!microamps)
        return std::nullopt;
    const qint64 magnitude = rounded(std::fabs(*microamps) / 1000.0);
    if (status == QLatin1String("Discharging"))
        return -magnitude;
    if (status == QLatin1String("Charging"))
        return magnitude;
    // Idle, full or unknown: whatever the driver says, which is about nothing anyway.
    return rounded(*microamps / 1000.0);
}

std::optional<qint64> minutes(const QString& battery, const QString& avg, const QString& now)
{
    auto seconds = Tree::readInteger(battery, avg);
    if (!seconds)
        seconds = Tree::readInteger(battery, now);
    if (!seconds)
        return std::nullopt;
    return rounded(static_cast<double>(*seconds) / 60.0);
}

} // namespace

std::optional<QVariantMap> BatteryRegistry::copyProperties()
{
    return copyProperties(PlatformEnvironment::sysfsRoot());
}

std::optional<QVariantMap> BatteryRegistry::copyProperties(const QString& sysfsRoot)
{
    const Tree tree(sysfsRoot);
    const auto supply = tree.systemBattery();
    if (!supply)
        return std::nullopt;
    const QString battery = supply->path;

    QVariantMap p;
    const auto put = [&p](const char* key, std::optional<qint64> value) {
        if (value)
            p.insert(QString::fromLatin1(key), *value);
    };

    const QString status = Tree::read(battery, QStringLiteral("status")).value_or(QString()).trimmed();
    const auto microvolts = designMicrovolts(battery);

    std::optional<qint64> percent = Tree::readInteger(battery, QStringLiteral("capacity"));
    if (percent) {
        put("CurrentCapacity", *percent);
        put("MaxCapacity", 100);
    } else {
        // Only the ratio of the two matters; without any voltage, µWh keep it as well.
        const auto unit = microvolts ? microvolts : std::optional<qint64>(1000);
        const auto now = capacitymAh(battery, QStringLiteral("now"), unit);
        auto full = capacitymAh(battery, QStringLiteral("full"), unit);
        // Some drivers report no full capacity (or 0) at all. The design capacity is a fair
        // stand-in; a full capacity below 1 would read as a percentage, so 60 % of a battery
        // would show as full and stop charging.
        if (!full || *full < 1)
            full = capacitymAh(battery, QStringLiteral("full_design"), unit);
        if (now && full && *full >= 1) {
            put("CurrentCapacity", now);
            put("MaxCapacity", full);
            percent = rounded(static_cast<double>(*now) / static_cast<double>(*full) * 100.0);
        }
    }

    p.insert(QStringLiteral("IsCharging"), status == QLatin1String("Charging"));

    const QList<Tree::Supply> externals = tree.externalSupplies();
    bool connected = false;
    for (const Tree::Supply& s : externals) {
        if (Tree::readInteger(s.path, QStringLiteral("online")).value_or(0) <= 0)
            continue;
        if (!connected) {
            QVariantMap adapter;
            const auto microvoltsMax = Tree::readInteger(s.path, QStringLiteral("voltage_max"));
            const auto microampsMax = Tree::readInteger(s.path, QStringLiteral("current_max"));
            if (microvoltsMax && microampsMax && *microvoltsMax > 0 && *microampsMax > 0)
                adapter.insert(QStringLiteral("Watts"),
                               rounded(static_cast<double>(*microvoltsMax) * static_cast<double>(*microampsMax) / 1e12));
            const QString model = Tree::read(s.path, QStringLiteral("model_name")).value_or(QString()).trimmed();
            if (!model.isEmpty())
                adapter.insert(QStringLiteral("Name"), model);
            if (!adapter.isEmpty())
                p.insert(QStringLiteral("AdapterDetails"), adapter);
        }
        connected = true;
    }
    // Some machines list no adapter at all; the battery's status still tells whether
    // something feeds it.
    if (externals.isEmpty())
        connected = status == QLatin1String("Charging") || status == QLatin1String("Not charging")
            || status == QLatin1String("Full");
    p.insert(QStringLiteral("ExternalConnected"), connected);
    // Many machines never report "Full": a battery at 100 % that does not charge on
    // external power is full all the same.
    const bool full = status == QLatin1String("Full")
        || (status == QLatin1String("Not charging") && connected && percent && *percent >= 100);
    p.insert(QStringLiteral("FullyCharged"), full);

    if (const auto tenths = Tree::readInteger(battery, QStringLiteral("temp")))
        put("Temperature", rounded(static_cast<double>(*tenths) * 10.0));
    // Drivers that do not count cycles report -1 (or another negative value).
    if (const auto cycles = Tree::readInteger(battery, QStringLiteral("cycle_count")); cycles && *cycles >= 0)
        put("CycleCount", cycles);
    put("DesignCapacity", capacitymAh(battery, QStringLiteral("full_design"), microvolts));
    put("NominalChargeCapacity", capacitymAh(battery, QStringLiteral("full"), microvolts));
    if (const auto volts = Tree::readInteger(battery, QStringLiteral("voltage_now")))
        put("Voltage", milli(*volts));
    put("Amperage", amperagemA(battery, status));
    put("AvgTimeToFull", minutes(battery, QStringLiteral("time_to_full_avg"), QStringLiteral("time_to_full_now")));
    put("AvgTimeToEmpty", minutes(battery, QStringLiteral("time_to_empty_avg"), QStringLiteral("time_to_empty_now")));
    return p;
}

} // namespace kestrune
