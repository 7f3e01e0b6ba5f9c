#include "tools/kestrune-sim/SimTree.h"

#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/SystemTools/StandInState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace kestrune {

namespace {

bool writeFile(const QString& path, const QString& value, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(value.toUtf8() + '\n') < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString micro(double value)
{
    return QString::number(std::llround(value * 1e6));
}

} // namespace

QString SimTree::batteryPath(const QString& root, const Options& options)
{
    return root + QStringLiteral("/class/power_supply/") + options.batteryName;
}

QString SimTree::adapterPath(const QString& root, const Options& options)
{
    return root + QStringLiteral("/class/power_supply/") + options.adapterName;
}

QString SimTree::batteryPath(const QString& root)
{
    return batteryPath(root, Options());
}

QString SimTree::adapterPath(const QString& root)
{
    return adapterPath(root, Options());
}

QString SimTree::backlightPath(const QString& root)
{
    return root + QStringLiteral("/class/backlight/intel_backlight");
}

QString SimTree::keyboardBacklightPath(const QString& root)
{
    return root + QStringLiteral("/class/leds/kestrune::kbd_backlight");
}

QString SimTree::platformProfilePath(const QString& root)
{
    return root + QStringLiteral("/firmware/acpi/platform_profile");
}

QString SimTree::statePath(const QString& root, const QString& name)
{
    return StandInState::path(root, name);
}

bool SimTree::writeState(const QString& root, const QString& name, const QString& value, QString* error)
{
    return StandInState::write(root, name, value, error);
}

QString SimTree::statusText(int capacityPercent, bool acOnline, const QString& activeBehaviour,
                            std::optional<int> endThreshold)
{
    if (activeBehaviour == QLatin1String(ChargeBehaviour::forceDischarge) || !acOnline)
        return QStringLiteral("Discharging");
    if (capacityPercent >= 100)
        return QStringLiteral("Full");
    if (activeBehaviour == QLatin1String(ChargeBehaviour::inhibitCharge)
        || (endThreshold && capacityPercent >= *endThreshold))
        return QStringLiteral("Not charging");
    return QStringLiteral("Charging");
}

bool SimTree::create(const QString& root, const Options& o, QString* error)
{
    const QString battery = batteryPath(root, o);
    const QString adapter = adapterPath(root, o);
    if (!QDir().mkpath(battery) || !QDir().mkpath(adapter)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(root);
        return false;
    }

    const double fullWh = o.designWh * o.healthPercent / 100.0;
    const double nowWh = fullWh * o.capacityPercent / 100.0;
    const double volts = o.designVolts + 0.9 * o.capacityPercent / 100.0;
    const QString status = statusText(o.capacityPercent, o.acOnline, o.activeBehaviour, o.endThreshold);
    const bool discharging = status == QLatin1String("Discharging");
    const bool charging = status == QLatin1String("Charging");
    const double watts = discharging ? o.loadWatts : (charging ? 30.0 : 0.0);

    struct Attribute {
        QString name;
        QString value;
    };
    QList<Attribute> attributes{
        {"type", "Battery"},
        {"present", "1"},
        {"technology", "Li-ion"},
        {"manufacturer", "Kestrune"},
        {"model_name", "SIM-57"},
        {"serial_number", "0001"},
        {"status", status},
        {"capacity", QString::number(o.capacityPercent)},
        {"capacity_level", "Normal"},
        {"cycle_count", QString::number(o.cycleCount)},
        {"voltage_min_design", micro(o.designVolts)},
        {"voltage_now", micro(volts)},
    };
    if (o.units == Options::Units::Energy) {
        attributes << Attribute{"energy_full_design", micro(o.designWh)}
                   << Attribute{"energy_full", micro(fullWh)}
                   << Attribute{"energy_now", micro(nowWh)}
                   << Attribute{"power_now", micro(watts)};
    } else {
        attributes << Attribute{"charge_full_design", micro(o.designWh / o.designVolts)}
                   << Attribute{"charge_full", micro(fullWh / o.designVolts)}
                   << Attribute{"charge_now", micro(nowWh / o.designVolts)}
                   << Attribute{"current_now", micro(watts / volts)};
    }
    if (o.temperatureTenths)
        attributes << Attribute{"temp", QString::number(*o.temperatureTenths)};
    if (!o.behaviourModes.isEmpty()) {
        ChargeBehaviour behaviour;
        behaviour.modes = o.behaviourModes;
        behaviour.active = o.activeBehaviour;
        attributes << Attribute{"charge_behaviour", behaviour.toKernelText()};
    }
    if (o.endThreshold) {
        attributes << Attribute{"charge_control_end_threshold", QString::number(*o.endThreshold)}
                   << Attribute{"charge_control_start_threshold", "0"};
    }
    for (const Attribute& a : attributes) {
        if (!writeFile(battery + u'/' + a.name, a.value, error))
            return false;
    }

    if (!writeFile(adapter + "/type", "Mains", error) || !writeFile(adapter + "/online", o.acOnline ? "1" : "0", error))
        return false;

    if (o.backlight) {
        const QString path = backlightPath(root);
        QDir().mkpath(path);
        if (!writeFile(path + "/type", "raw", error) || !writeFile(path + "/max_brightness", "19393", error)
            || !writeFile(path + "/brightness", "15514", error)
            || !writeFile(path + "/actual_brightness", "15514", error))
            return false;
    }
    if (o.keyboardBacklight) {
        const QString path = keyboardBacklightPath(root);
        QDir().mkpath(path);
        if (!writeFile(path + "/max_brightness", "2", error) || !writeFile(path + "/brightness", "1", error))
            return false;
    }
    if (o.platformProfile) {
        const QString path = platformProfilePath(root);
        QDir().mkpath(QFileInfo(path).path());
        if (!writeFile(path, "balanced", error)
            || !writeFile(path + "_choices", "low-power balanced performance", error))
            return false;
    }
    return writeState(root, QStringLiteral("load_watts"), QString::number(o.loadWatts), error);
}

} // namespace kestrune
