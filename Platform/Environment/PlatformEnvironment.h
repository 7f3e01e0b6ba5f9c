#pragma once

#include <QString>

namespace kestrune {

// Where the platform layer finds the machine. These two variables are the test and demo
// seam (a simulated machine in a folder, a private bus), not user configuration; nothing
// else in Kestrune reads the environment.
class PlatformEnvironment {
public:
    enum class Bus { System, Session };

    // KESTRUNE_SYSFS_ROOT, default "/sys"; never ends in a slash (except "/").
    static QString sysfsRoot();
    // KESTRUNE_BUS: "session" selects the session bus; anything else the system bus.
    static Bus bus();
};

} // namespace kestrune
