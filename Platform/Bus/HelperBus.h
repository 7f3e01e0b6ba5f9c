#pragma once

#include <QDBusConnection>

namespace kestrune {

// The bus on which the privileged daemon offers its service: the system bus on an installed
// machine, the session bus (KESTRUNE_BUS=session) or a private bus named by its address
// (KESTRUNE_BUS=unix:path=…) for the demo and the simulated machine.
class HelperBus {
public:
    static QDBusConnection connection();
    static bool isSystemBus();
};

} // namespace kestrune
