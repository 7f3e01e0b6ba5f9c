#include "Platform/Polkit/PolkitAuthority.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMap>
#include <QVariantMap>

#include <qcoro/qcorodbuspendingcall.h>

namespace kestrune {

namespace {

// The authority's subject: a kind and its details, marshalled as (sa{sv}).
struct Subject {
    QString kind;
    QVariantMap details;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Subject& subject)
{
    argument.beginStructure();
    argument << subject.kind << subject.details;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Subject& subject)
{
    argument.beginStructure();
    argument >> subject.kind >> subject.details;
    argument.endStructure();
    return argument;
}

using Details = QMap<QString, QString>;

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<Subject>();
        qDBusRegisterMetaType<Details>();
        return true;
    }();
    (void)registered;
}

} // namespace

} // namespace kestrune

Q_DECLARE_METATYPE(kestrune::Subject)

namespace kestrune {

QCoro::Task<bool> PolkitAuthority::checkAuthorization(QDBusConnection bus, QString busName, QString actionId)
{
    registerTypes();
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                       QString::fromLatin1(interface),
                                                       QStringLiteral("CheckAuthorization"));
    const Subject subject{QStringLiteral("system-bus-name"), {{QStringLiteral("name"), busName}}};
    const quint32 noInteraction = 0;
    call << QVariant::fromValue(subject) << actionId << QVariant::fromValue(Details{}) << noInteraction
         << QString();

    const QDBusPendingCall pending = bus.asyncCall(call);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return false;
    // The result is (bba{ss}): authorised, challenge, details.
    const auto result = reply.arguments().constFirst().value<QDBusArgument>();
    if (result.currentSignature() != QLatin1String("(bba{ss})"))
        co_return false;
    bool authorised = false;
    bool challenge = false;
    Details details;
    result.beginStructure();
    result >> authorised >> challenge >> details;
    result.endStructure();
    co_return authorised;
}

} // namespace kestrune
