#include "tests/support/FakePolkitAuthority.h"

#include "Platform/Polkit/PolkitAuthority.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMap>

#include <utility>

namespace kestrune::test {

namespace {
using Details = QMap<QString, QString>;
} // namespace

bool FakePolkitAuthority::registerOn(QDBusConnection connection)
{
    qDBusRegisterMetaType<Details>();
    m_connection = connection;
    return connection.registerVirtualObject(QString::fromLatin1(PolkitAuthority::path), this)
        && connection.registerService(QString::fromLatin1(PolkitAuthority::service));
}

void FakePolkitAuthority::release()
{
    m_holding = false;
    for (const QDBusMessage& question : std::exchange(m_held, {}))
        answer(question);
}

bool FakePolkitAuthority::handleMessage(const QDBusMessage& message, const QDBusConnection&)
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
    if (m_holding)
        m_held << message;
    else
        answer(message);
    return true;
}

void FakePolkitAuthority::answer(const QDBusMessage& question)
{
    QDBusArgument result;
    result.beginStructure();
    result << authorise << false << Details{};
    result.endStructure();
    m_connection.send(question.createReply(QVariant::fromValue(result)));
}

} // namespace kestrune::test
