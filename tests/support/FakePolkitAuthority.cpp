#include "tests/support/FakePolkitAuthority.h"

#include "Platform/Polkit/PolkitAuthority.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMap>

namespace kestrune::test {

namespace {
using Details = QMap<QString, QString>;
} // namespace

bool FakePolkitAuthority::registerOn(QDBusConnection connection)
{
    qDBusRegisterMetaType<Details>();
    return connection.registerVirtualObject(QString::fromLatin1(PolkitAuthority::path), this)
        && connection.registerService(QString::fromLatin1(PolkitAuthority::service));
}

bool FakePolkitAuthority::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.member() != QLatin1String("CheckAuthorization"))
        return false;
    ++checks;
    signature = message.signature();
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 5) {
        const auto subject = arguments.at(0).value<QDBusArgument>();
        subject.beginStructure();
        subject >> subjectKind >> subjectDetails;
        subject.endStructure();
        action = arguments.at(1).toString();
        flags = arguments.at(3).toUInt();
    }
    QDBusArgument result;
    result.beginStructure();
    result << authorise.load() << false << Details{};
    result.endStructure();
    connection.send(message.createReply(QVariant::fromValue(result)));
    return true;
}

} // namespace kestrune::test
