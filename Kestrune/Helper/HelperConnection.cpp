#include "Kestrune/Helper/HelperConnection.h"

#include <QDBusMessage>

namespace kestrune {

HelperConnection::HelperConnection(QDBusConnection bus, const QString& service, const QString& path, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_service(service)
    , m_path(path)
{
    m_watcher.setConnection(m_bus);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    m_watcher.addWatchedService(m_service);
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString&) {
                // A name that merely gains an owner (the bus starting the daemon) is no loss.
                if (m_valid && !oldOwner.isEmpty())
                    emit invalidated();
            });
}

HelperCall* HelperConnection::call(const QString& method, const QVariantList& arguments,
                                   std::chrono::milliseconds timeout)
{
    if (!m_valid)
        return new HelperCall();
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, m_path, m_service, method);
    message.setArguments(arguments);
    auto* call = new HelperCall(m_bus, message, timeout);
    m_calls.removeIf([](const QPointer<HelperCall>& c) { return c.isNull() || c->isFinished(); });
    if (!call->isFinished())
        m_calls.append(call);
    return call;
}

void HelperConnection::invalidate()
{
    if (!m_valid)
        return;
    m_valid = false;
    m_watcher.setWatchedServices({});
    const QList<QPointer<HelperCall>> calls = std::exchange(m_calls, {});
    for (const QPointer<HelperCall>& call : calls) {
        if (call)
            call->abandon();
    }
}

} // namespace kestrune
