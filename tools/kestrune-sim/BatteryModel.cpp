#include "tools/kestrune-sim/BatteryModel.h"

#include "Foundation/Rounding.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace kestrune {

namespace {

// Readers of the tree must never see a half-written attribute, so each one is replaced whole.
bool replace(const QString& path, const QString& value, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(value.toUtf8() + '\n') < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::optional<double> readNumber(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const double value = QString::fromUtf8(file.read(64)).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A share of a brightness device's maximum; 0 without the device.
double brightnessShare(const QString& device)
{
    const auto value = readNumber(device + QStringLiteral("/brightness"));
    const auto max = readNumber(device + QStringLiteral("/max_brightness"));
    if (!value || !max || *max <= 0)
        return 0;
    return std::clamp(*value / *max, 0.0, 1.0);
}

double chargePower(double percent)
{
    if (percent < 80)
        return BatteryModel::chargeWatts;
    const double share = std::clamp((percent - 80) / 20, 0.0, 1.0);
    return BatteryModel::chargeWatts - share * (BatteryModel::chargeWatts - BatteryModel::trickleWatts);
}

} // namespace

BatteryModel::BatteryModel(QString root)
    : m_root(std::move(root))
{
}

int BatteryModel::countBackgroundProcesses(std::optional<qint64> ancestor)
{
    constexpr qulonglong kernelThread = 0x00200000; // PF_KTHREAD
    // The fields after the name in parentheses, which may hold anything: state, parent, ...
    const auto statOf = [](qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        const QByteArray stat = file.readAll();
        return stat.mid(stat.lastIndexOf(')') + 1).simplified().split(' ');
    };
    const auto descends = [&](qint64 pid) {
        for (int depth = 0; pid > 1 && depth < 64; ++depth) {
            if (pid == *ancestor)
                return true;
            const QList<QByteArray> fields = statOf(pid);
            pid = fields.size() > 1 ? fields.at(1).toLongLong() : 0;
        }
        return false;
    };
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QList<QByteArray> fields = statOf(pid);
        if (fields.size() < 17)
            continue;
        const qulonglong flags = fields.at(6).toULongLong();
        if (!(flags & kernelThread) && fields.at(16).toInt() == 19 && (!ancestor || descends(pid)))
            ++count;
    }
    return count;
}

double BatteryModel::drawWatts() const
{
    const double load = readNumber(SimTree::statePath(m_root, QStringLiteral("load_watts"))).value_or(defaultLoadWatts);
    QFile profile(SimTree::platformProfilePath(m_root));
    const bool lowPower = profile.open(QIODevice::ReadOnly) && profile.readAll().trimmed() == "low-power";
    const double throttled = std::min(maxThrottledWatts, throttledWatts * m_throttledCounter());
    const double draw = std::max(0.0, load) * (lowPower ? lowPowerFactor : 1.0)
        + displayWatts * brightnessShare(SimTree::backlightPath(m_root))
        + keyboardWatts * brightnessShare(SimTree::keyboardBacklightPath(m_root)) - throttled;
    return std::max(minimumDrawWatts, draw);
}

bool BatteryModel::step(double seconds, QString* error)
{
    const PowerSupplyTree tree(m_root);
    const auto battery = tree.systemBattery();
    if (!battery) {
        if (error)
            *error = QStringLiteral("no battery under %1").arg(tree.classPath());
        return false;
    }
    const QString path = battery->path;

    // Energy in Wh whichever units the battery reports; charge is converted at the design voltage.
    const bool energyUnits = PowerSupplyTree::exists(path, QStringLiteral("energy_now"));
    const double designVolts
        = PowerSupplyTree::readInteger(path, QStringLiteral("voltage_min_design")).value_or(11'550'000) / 1e6;
    const double unitWh = energyUnits ? 1e-6 : 1e-6 * designVolts;
    const QString nowName = energyUnits ? QStringLiteral("energy_now") : QStringLiteral("charge_now");
    const QString fullName = energyUnits ? QStringLiteral("energy_full") : QStringLiteral("charge_full");
    const auto nowRaw = PowerSupplyTree::readInteger(path, nowName);
    const auto fullRaw = PowerSupplyTree::readInteger(path, fullName);
    if (!nowRaw || !fullRaw || *fullRaw <= 0) {
        if (error)
            *error = QStringLiteral("%1 has no readable %2 and %3").arg(path, nowName, fullName);
        return false;
    }
    const double fullWh = *fullRaw * unitWh;
    double nowWh = std::clamp(*nowRaw * unitWh, 0.0, fullWh);

    bool online = false;
    for (const PowerSupplyTree::Supply& supply : tree.externalSupplies())
        online = online || PowerSupplyTree::readInteger(supply.path, QStringLiteral("online")).value_or(0) == 1;

    const QString behaviourText = PowerSupplyTree::read(path, QStringLiteral("charge_behaviour")).value_or(QString());
    const ChargeBehaviour behaviour = ChargeBehaviour::parse(behaviourText);
    if (behaviour.listed)
        m_modes = behaviour.modes;
    const QString active = behaviour.active.isEmpty() ? QString::fromLatin1(ChargeBehaviour::automatic) : behaviour.active;
    const auto endThreshold = PowerSupplyTree::readInteger(path, QStringLiteral("charge_control_end_threshold"));

    const double percentBefore = 100 * nowWh / fullWh;
    double watts = 0;
    if (active == QLatin1String(ChargeBehaviour::forceDischarge) || !online) {
        watts = drawWatts();
        nowWh = std::max(0.0, nowWh - watts * seconds / 3600);
    } else if (active != QLatin1String(ChargeBehaviour::inhibitCharge)) {
        const double limitPercent = endThreshold ? std::clamp<double>(*endThreshold, 0, 100) : 100.0;
        const double limitWh = fullWh * limitPercent / 100;
        if (nowWh < limitWh && Rounding::toInteger(percentBefore) < limitPercent) {
            watts = chargePower(percentBefore);
            nowWh = std::min(limitWh, nowWh + watts * seconds / 3600);
        }
    }

    const int capacity = static_cast<int>(std::clamp<long long>(Rounding::toInteger(100 * nowWh / fullWh), 0, 100));
    const QString status = SimTree::statusText(capacity, online, active,
                                               endThreshold ? std::optional<int>(int(*endThreshold)) : std::nullopt);
    const double volts = designVolts + 0.9 * capacity / 100.0;

    const auto micro = [](double value) { return QString::number(std::llround(value * 1e6)); };
    bool ok = replace(path + u'/' + nowName, QString::number(std::llround(nowWh / unitWh)), error)
        && replace(path + QStringLiteral("/capacity"), QString::number(capacity), error)
        && replace(path + QStringLiteral("/voltage_now"), micro(volts), error);
    if (ok && energyUnits)
        ok = replace(path + QStringLiteral("/power_now"), micro(watts), error);
    else if (ok)
        ok = replace(path + QStringLiteral("/current_now"), micro(watts / volts), error);
    // The status is replaced only when it changes, and last: what watches the tree for plugging
    // and charging wakes then and reads the values that go with it, as on a laptop whose kernel
    // announces a change once it has taken its readings.
    ok = ok
        && (status == PowerSupplyTree::read(path, QStringLiteral("status"))
            || replace(path + QStringLiteral("/status"), status, error));

    // The kernel always shows the list with the active mode in brackets; a plain file that was
    // just written holds only the bare mode. It is rewritten only if nobody changed it meanwhile.
    if (ok && !behaviour.listed && !behaviour.active.isEmpty()
        && PowerSupplyTree::read(path, QStringLiteral("charge_behaviour")).value_or(QString()) == behaviourText) {
        ChargeBehaviour kernel;
        // A model started after the write never saw the list: the simulated laptop's own.
        kernel.modes = m_modes.isEmpty() ? SimTree::Options().behaviourModes : m_modes;
        if (!kernel.modes.contains(behaviour.active))
            kernel.modes << behaviour.active;
        kernel.active = behaviour.active;
        ok = replace(path + QStringLiteral("/charge_behaviour"), kernel.toKernelText(), error);
    }
    return ok;
}

bool BatteryModel::setAdapterOnline(const QString& root, bool online, QString* error)
{
    const QList<PowerSupplyTree::Supply> supplies = PowerSupplyTree(root).externalSupplies();
    if (supplies.isEmpty()) {
        if (error)
            *error = QStringLiteral("no mains or USB supply under %1").arg(PowerSupplyTree(root).classPath());
        return false;
    }
    for (const PowerSupplyTree::Supply& supply : supplies) {
        if (!replace(supply.path + QStringLiteral("/online"), online ? QStringLiteral("1") : QStringLiteral("0"), error))
            return false;
    }
    return true;
}

bool BatteryModel::setLoad(const QString& root, double watts, QString* error)
{
    if (!std::isfinite(watts) || watts < 0) {
        if (error)
            *error = QStringLiteral("the load must be a number of watts, 0 or more");
        return false;
    }
    return SimTree::writeState(root, QStringLiteral("load_watts"), QString::number(watts), error);
}

} // namespace kestrune
