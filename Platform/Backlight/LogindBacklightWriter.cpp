#include "Platform/Backlight/LogindBacklightWriter.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace kestrune {

LogindBacklightWriter::LogindBacklightWriter(QDBusConnection bus, std::chrono::milliseconds timeout)
    : m_bus(std::move(bus))
    , m_timeout(timeout)
{
}

bool LogindBacklightWriter::canWrite() const
{
    QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!bus)
        return false;
    const QString name = QString::fromLatin1(service);
    if (bus->isServiceRegistered(name).value())
        return true;
    return bus->activatableServiceNames().value().contains(name);
}

bool LogindBacklightWriter::write(const QString& subsystem, const QString& name, quint32 value)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(sessionPath),
                                                       QString::fromLatin1(sessionInterface),
                                                       QStringLiteral("SetBrightness"));
    call << subsystem << name << value;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, static_cast<int>(m_timeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace kestrune
