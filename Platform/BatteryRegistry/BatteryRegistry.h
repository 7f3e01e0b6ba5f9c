#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace kestrune {

// The battery's registry entry, rebuilt from sysfs `class/power_supply`. The properties carry
// the registry's names and units, so that one set of reading rules serves every source:
//
//   "CurrentCapacity", "MaxCapacity"   percent of 100 (from `capacity`), or now and full in mAh
//   "IsCharging", "FullyCharged"       from the battery's `status`
//   "ExternalConnected"                any mains or USB supply online
//   "Temperature"                      hundredths of a degree Celsius
//   "CycleCount"
//   "DesignCapacity", "NominalChargeCapacity"   mAh
//   "Voltage"                          mV
//   "Amperage"                         signed mA, negative while the battery discharges
//   "AdapterDetails"                   {"Watts", "Name"} where the kernel tells them
//   "AvgTimeToFull", "AvgTimeToEmpty"  minutes, where the kernel tells them
//
// Every value is a qint64 or a bool (the adapter's name a string). An attribute that is
// missing or unreadable leaves its property out; the reader decides what that means.
class BatteryRegistry {
public:
    // The properties of the machine's battery under `sysfsRoot`; nothing when there is no
    // battery (or its bay is empty).
    static std::optional<QVariantMap> copyProperties(const QString& sysfsRoot);
    // The same under PlatformEnvironment::sysfsRoot().
    static std::optional<QVariantMap> copyProperties();
};

} // namespace kestrune
