#include "Platform/Bus/HelperBus.h"

#include "Platform/Environment/PlatformEnvironment.h"

namespace kestrune {

QDBusConnection HelperBus::connection()
{
    switch (PlatformEnvironment::bus()) {
    case PlatformEnvironment::Bus::Session:
        return QDBusConnection::sessionBus();
    case PlatformEnvironment::Bus::Address:
        // One named connection per process: every caller shares it, as they share the
        // session and system buses.
        return QDBusConnection::connectToBus(PlatformEnvironment::busAddress(), QStringLiteral("kestrune-helper-bus"));
    case PlatformEnvironment::Bus::System:
        break;
    }
    return QDBusConnection::systemBus();
}

bool HelperBus::isSystemBus()
{
    return PlatformEnvironment::bus() == PlatformEnvironment::Bus::System;
}

} // namespace kestrune
