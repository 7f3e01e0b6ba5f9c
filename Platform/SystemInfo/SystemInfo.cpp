#include "Platform/SystemInfo/SystemInfo.h"

#include "Platform/Environment/PlatformEnvironment.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFile>
#include <QSysInfo>

#include <QCoro/QCoroDBusPendingCall>

namespace kestrune {

SystemInfo::SystemInfo(QDBusConnection bus, QString sysfsRoot, std::chrono::milliseconds hostnamedTimeout)
    : m_bus(std::move(bus))
    , m_sysfsRoot(sysfsRoot.isEmpty() ? PlatformEnvironment::sysfsRoot() : std::move(sysfsRoot))
    , m_hostnamedTimeout(hostnamedTimeout)
{
}

QCoro::Task<QString> SystemInfo::computerName() const
{
    // Only values cross the await: the caller may drop this object meanwhile.
    QDBusConnection bus = m_bus;
    const int timeoutMs = int(m_hostnamedTimeout.count());
    QString name;
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.hostname1"),
            QStringLiteral("/org/freedesktop/hostname1"), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        call << QStringLiteral("org.freedesktop.hostname1") << QStringLiteral("PrettyHostname");
        const QDBusPendingReply<QDBusVariant> reply = co_await bus.asyncCall(call, timeoutMs);
        if (!reply.isError())
            name = reply.value().variant().toString().trimmed();
    }
    if (name.isEmpty())
        name = QSysInfo::machineHostName().trimmed();
    if (name.isEmpty())
        name = QString::fromLatin1(fallbackName);
    co_return name;
}

QString SystemInfo::osVersion()
{
    return QStringLiteral("%1, kernel %2").arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion());
}

QString SystemInfo::applicationVersion()
{
    return QStringLiteral(KESTRUNE_VERSION);
}

QString SystemInfo::hardwareModel() const
{
    QFile file(m_sysfsRoot + QStringLiteral("/class/dmi/id/product_name"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // A DMI string is short; more than this is not a model name.
    return QString::fromUtf8(file.read(256)).trimmed();
}

} // namespace kestrune
