#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

// Lays out the sysfs tree of a simulated laptop in a folder: a battery and a mains adapter
// under class/power_supply, a display backlight and a keyboard backlight LED. The files
// hold what the kernel's attributes hold, in the kernel's units.
class SimTree {
public:
    struct Options {
        // energy_* (µWh, power_now) or charge_* (µAh, current_now) battery.
        enum class Units { Energy, Charge };
        Units units = Units::Energy;
        int capacityPercent = 70;
        bool acOnline = true;
        // Modes listed in charge_behaviour; empty: the battery has no such attribute.
        QStringList behaviourModes{QStringLiteral("auto"), QStringLiteral("inhibit-charge"),
                                   QStringLiteral("force-discharge")};
        QString activeBehaviour = QStringLiteral("auto");
        // charge_control_end_threshold; nothing: the attribute is absent.
        std::optional<int> endThreshold = 100;
        QString batteryName = QStringLiteral("BAT0");
        QString adapterName = QStringLiteral("AC");
        double designWh = 57.0;      // design capacity
        double healthPercent = 92.0; // full capacity as a share of the design
        double designVolts = 11.55;
        double loadWatts = 8.0;      // the present draw on battery
        int cycleCount = 187;
        std::optional<int> temperatureTenths = 301;
        bool backlight = true;
        bool keyboardBacklight = true;
        // firmware/acpi/platform_profile, the simulated low power mode ("low-power" = on).
        bool platformProfile = true;
    };

    static QString batteryName() { return QStringLiteral("BAT0"); }
    static QString batteryPath(const QString& root, const Options& options);
    static QString batteryPath(const QString& root);
    static QString adapterPath(const QString& root, const Options& options);
    static QString adapterPath(const QString& root);
    static QString backlightPath(const QString& root);
    static QString keyboardBacklightPath(const QString& root);
    static QString platformProfilePath(const QString& root);
    // The simulated machine's own state beside the sysfs folders (the load, the state of the
    // stand-in system tools): <root>/kestrune-sim/<name>.
    static QString statePath(const QString& root, const QString& name);
    // Replaces a state file whole (readers never see half of it), creating its folder.
    static bool writeState(const QString& root, const QString& name, const QString& value, QString* error = nullptr);

    // Creates the tree under `root` (which may exist). Returns false with `error` set when a
    // file cannot be written.
    static bool create(const QString& root, const Options& options, QString* error = nullptr);

    // The kernel's battery status text for a battery in this state.
    static QString statusText(int capacityPercent, bool acOnline, const QString& activeBehaviour,
                              std::optional<int> endThreshold);
};

} // namespace kestrune
