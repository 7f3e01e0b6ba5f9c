#include "Platform/Bus/HelperBus.h"

#include "Platform/Environment/PlatformEnvironment.h"

namespace kestrune {

QDBusConnection HelperBus::connection()
{
    return isSystemBus() ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
}

bool HelperBus::isSystemBus()
{
    return PlatformEnvironment::bus() == PlatformEnvironment::Bus::System;
}

} // namespace kestrune
