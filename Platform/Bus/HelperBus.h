#pragma once

#include <QDBusConnection>

namespace kestrune {

// The bus on which the privileged daemon offers its service: the system bus on an installed
// machine, the session bus for the demo and the simulated machine (KESTRUNE_BUS=session).
class HelperBus {
public:
    static QDBusConnection connection();
    static bool isSystemBus();
};

} // namespace kestrune
