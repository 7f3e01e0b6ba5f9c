#include "tests/support/FakeNotificationServer.h"

#include <QDBusMessage>

namespace kestrune::test {

namespace {
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

bool FakeNotificationServer::publish()
{
    return m_bus.registerObject(path, this, QDBusConnection::ExportAllSlots) && m_bus.registerService(interface);
}

uint FakeNotificationServer::Notify(const QString& application, uint, const QString&, const QString& summary,
                                    const QString& body, const QStringList& actions, const QVariantMap& hints, int)
{
    shown.push_back({m_nextId, application, summary, body, actions, hints});
    return m_nextId++;
}

void FakeNotificationServer::emitSignal(const char* name, uint id, const QVariant& argument)
{
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, QString::fromLatin1(name));
    signal << id << argument;
    m_bus.send(signal);
}

} // namespace kestrune::test
