#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrune {

// The battery of the simulated laptop over time. Each step reads the tree (adapter online,
// charge_behaviour, the end threshold, the load, the simulated low power mode, the
// backlights) and moves the charge: up on mains unless charging is inhibited or the end
// threshold is reached, down on battery or under forced discharge. Reading the tree afresh
// every step is what lets the daemon, the commands and tests steer a running model.
class BatteryModel {
public:
    // Draw of the machine besides its load, and what the power-saving measures take off it.
    static constexpr double displayWatts = 3.0;       // at full brightness
    static constexpr double keyboardWatts = 0.5;      // at full backlight
    static constexpr double lowPowerFactor = 0.8;     // on the load
    static constexpr double throttledWatts = 0.3;     // per process at background priority
    static constexpr double maxThrottledWatts = 1.5;
    static constexpr double minimumDrawWatts = 0.5;
    static constexpr double defaultLoadWatts = 8.0;
    // Charging power below 80 %, tapering to the trickle at 100 %.
    static constexpr double chargeWatts = 30.0;
    static constexpr double trickleWatts = 6.0;

    explicit BatteryModel(QString root);

    // Advances the battery by `seconds` of simulated time and writes its attributes. False
    // with `error` set when the tree has no battery or a file cannot be written.
    bool step(double seconds, QString* error = nullptr);

    // What the machine draws from its power source now, in W.
    double drawWatts() const;

    // Counts the processes at background priority; the default looks at every process in /proc.
    void setThrottledCounter(std::function<int()> counter) { m_throttledCounter = std::move(counter); }
    // With `ancestor`, only its descendants count: the machine of a test that runs beside
    // others whose processes are not its own.
    static int countBackgroundProcesses(std::optional<qint64> ancestor = std::nullopt);

    // The commands that steer a running model from outside.
    static bool setAdapterOnline(const QString& root, bool online, QString* error = nullptr);
    static bool setLoad(const QString& root, double watts, QString* error = nullptr);

private:
    QString m_root;
    // The modes charge_behaviour listed when last seen in the kernel's bracketed form.
    QStringList m_modes;
    std::function<int()> m_throttledCounter = [] { return countBackgroundProcesses(); };
};

} // namespace kestrune
