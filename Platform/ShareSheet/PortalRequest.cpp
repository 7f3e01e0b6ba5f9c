#include "Platform/ShareSheet/PortalRequest.h"

#include <atomic>

namespace kestrune {

namespace {

std::atomic<int> requests{0};

} // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_token(QStringLiteral("kestrune%1").arg(++requests))
{
    // ":1.42" asks on the path ".../1_42/<token>".
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    m_expectedPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, m_token);
    // Any path: the portal may answer on the one its reply names instead.
    bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), QString(),
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), this,
                SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
}

void PortalRequest::onResponse(uint response, const QVariantMap&, const QDBusMessage& message)
{
    if (m_response || (message.path() != m_expectedPath && message.path() != m_repliedPath))
        return;
    m_response = response;
    emit answered();
}

} // namespace kestrune
