#include "Kestrune/Program/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace kestrune {

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

SingleInstance::~SingleInstance()
{
    release();
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs)
{
    QDBusConnectionInterface* busInterface = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!busInterface)
        return Claim::NoBus;
    const QString name = QString::fromLatin1(serviceName);
    const QString path = QString::fromLatin1(objectPath);
    // The object is in place before the name is, so that an activation never finds the name
    // without it.
    m_bus.registerObject(path, this, QDBusConnection::ExportScriptableSlots);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = busInterface->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owned = true;
        return Claim::Owned;
    }
    m_bus.unregisterObject(path);
    if (!reply.isValid())
        return Claim::NoBus;

    QDBusMessage activate = QDBusMessage::createMethodCall(name, path, QString::fromLatin1(interfaceName),
                                                           QStringLiteral("Activate"));
    activate << QVariantMap();
    const QDBusMessage answer = m_bus.call(activate, QDBus::Block, timeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage ? Claim::OtherActivated : Claim::OtherUnreachable;
}

void SingleInstance::release()
{
    if (!m_owned)
        return;
    m_owned = false;
    m_bus.unregisterService(QString::fromLatin1(serviceName));
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
}

void SingleInstance::Activate(const QVariantMap&)
{
    emit activated();
}

} // namespace kestrune
