#include "Platform/Environment/PlatformEnvironment.h"

#include <QtGlobal>

namespace kestrune {

namespace {

QString busVariable()
{
    return qEnvironmentVariable("KESTRUNE_BUS").trimmed();
}

// A D-Bus address is a transport, a colon and its key=value pairs.
bool isAddress(const QString& value)
{
    const qsizetype colon = value.indexOf(u':');
    return colon > 0 && value.indexOf(u'=', colon) > colon;
}

} // namespace

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
    const QString value = busVariable();
    if (value.toLower() == QLatin1String("session"))
        return Bus::Session;
    return isAddress(value) ? Bus::Address : Bus::System;
}

QString PlatformEnvironment::busAddress()
{
    return bus() == Bus::Address ? busVariable() : QString();
}

QString PlatformEnvironment::busSetting()
{
    switch (bus()) {
    case Bus::Session:
        return QStringLiteral("session");
    case Bus::Address:
        return busAddress();
    case Bus::System:
        break;
    }
    return QStringLiteral("system");
}

} // namespace kestrune
