#pragma once

#include <QString>

namespace kestrune {

// The names of the power-saving actions. The same plain strings identify an action in the
// engine's applied set, the learned model, the history and the views, so they are compared
// exactly, letter case included.
class PowerActionKeys {
public:
    static constexpr const char* lowPowerMode = "lpm";
    static constexpr const char* keyboardOff = "kbOff";
    static constexpr const char* dim70 = "dim70";
    static constexpr const char* dim50 = "dim50";
    static constexpr const char* spotlight = "spotlight";
    static constexpr const char* timeMachine = "timemachine";
    // Followed by a process name: lower that process's priority.
    static constexpr const char* throttlePrefix = "throttle:";

    static QString throttleKey(const QString& processName);
    static bool isThrottleKey(const QString& key);
    // Everything after "throttle:", further colons included; empty for other keys.
    static QString throttledProcessName(const QString& key);

    // The label of an action in the action log, the learning report and the other views.
    // Unknown keys come back unchanged.
    static QString displayName(const QString& key);

    // The kind under which the action log files an applied action: "lpm", "dim", "service"
    // or "throttle". Anything that is not one of the fixed keys counts as a throttle.
    static QString logCategory(const QString& key);
};

} // namespace kestrune
