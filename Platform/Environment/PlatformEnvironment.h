#pragma once

#include <QString>

namespace kestrune {

// Where the platform layer finds the machine. These two variables are the test and demo
// seam (a simulated machine in a folder, a private bus), not user configuration; nothing
// else in Kestrune reads the environment.
class PlatformEnvironment {
public:
    enum class Bus { System, Session, Address };

    // KESTRUNE_SYSFS_ROOT, default "/sys"; never ends in a slash (except "/").
    static QString sysfsRoot();
    // KESTRUNE_BUS: "session" selects the session bus, a D-Bus address ("unix:path=…") a bus
    // of its own, so that the daemon can live on a private bus while the desktop's session
    // bus carries everything else; anything else the system bus.
    static Bus bus();
    // The address KESTRUNE_BUS names, or empty when it names none.
    static QString busAddress();
    // What a process started for us must find in KESTRUNE_BUS to reach the same bus.
    static QString busSetting();
};

} // namespace kestrune
