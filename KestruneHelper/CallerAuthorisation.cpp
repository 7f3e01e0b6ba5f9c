#include "KestruneHelper/CallerAuthorisation.h"

#include "Platform/Polkit/PolkitAuthority.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

#include <qcoro/qcorodbuspendingcall.h>

namespace kestrune {

QCoro::Task<bool> CallerAuthorisation::isAllowed(Policy policy, QString sender)
{
    if (sender.isEmpty())
        co_return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("GetConnectionUnixUser"));
    call << sender;
    const QDBusPendingCall pending = policy.bus.asyncCall(call);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return false;
    bool ok = false;
    const uint uid = reply.arguments().constFirst().toUInt(&ok);
    if (!ok)
        co_return false;
    if (uid == 0 || uid == policy.ownUid)
        co_return true;
    if (!policy.consultPolkit)
        co_return false;
    co_return co_await PolkitAuthority::checkAuthorization(policy.bus, sender, policy.action);
}

} // namespace kestrune
