#include "KestruneHelper/CallerAuthorisation.h"

#include "KestruneHelper/RegularUsers.h"
#include "Platform/Polkit/PolkitAuthority.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

#include <qcoro/qcorodbuspendingcall.h>

namespace kestrune {

QCoro::Task<CallerAuthorisation::Verdict> CallerAuthorisation::check(Policy policy, QString sender)
{
    if (sender.isEmpty())
        co_return Verdict{};
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("GetConnectionUnixUser"));
    call << sender;
    const QDBusPendingCall pending = policy.bus.asyncCall(call);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return Verdict{};
    bool ok = false;
    const uint uid = reply.arguments().constFirst().toUInt(&ok);
    if (!ok)
        co_return Verdict{};
    co_return co_await decide(std::move(policy), std::move(sender), uid);
}

QCoro::Task<CallerAuthorisation::Verdict> CallerAuthorisation::decide(Policy policy, QString sender, std::uint32_t uid)
{
    if (uid == 0 || uid == policy.ownUid)
        co_return Verdict{true, uid};
    if (!policy.consultPolkit || !RegularUsers(policy.loginDefsPath).contains(uid))
        co_return Verdict{false, uid};
    const bool allowed = co_await PolkitAuthority::checkAuthorization(policy.bus, sender, policy.action);
    co_return Verdict{allowed, uid};
}

} // namespace kestrune
