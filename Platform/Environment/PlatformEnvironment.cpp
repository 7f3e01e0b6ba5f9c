#include "Platform/Environment/PlatformEnvironment.h"

#include <QtGlobal>

namespace kestrune {

QString PlatformEnvironment::sysfsRoot()
{
    QString root = qEnvironmentVariable("KESTRUNE_SYSFS_ROOT");
    if (root.isEmpty())
        return QStringLiteral("/sys");
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    return root;
}

PlatformEnvironment::Bus PlatformEnvironment::bus()
{
    return qEnvironmentVariable("KESTRUNE_BUS").trimmed().toLower() == QLatin1String("session")
        ? Bus::Session
        : Bus::System;
}

} // namespace kestrune
