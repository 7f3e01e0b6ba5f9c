#include "Kestrune/Notifications/Notifier.h"

#include "Platform/Notifications/FreedesktopNotifications.h"

#include <QUuid>

namespace kestrune {

Notifier::Notifier(QDBusConnection bus, const Clock& clock, QObject* parent)
    : Notifier(std::make_unique<FreedesktopNotifications>(std::move(bus)), clock, parent)
{
}

Notifier::Notifier(std::unique_ptr<NotificationService> service, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_service(std::move(service))
    , m_clock(clock)
{
    connect(m_service.get(), &NotificationService::activated, this, [this](const QString& requestId) {
        if (onNotificationTap)
            onNotificationTap(requestId);
    });
}

Notifier::~Notifier() = default;

void Notifier::notify(const QString& id, const QString& title, const QString& body, double cooldown)
{
    const QDateTime now = m_clock.now();
    if (cooldown > 0) {
        const auto last = m_lastSent.constFind(id);
        if (last != m_lastSent.cend()) {
            const double elapsed = static_cast<double>(last.value().msecsTo(now)) / 1000.0;
            if (elapsed < cooldown)
                return;
        }
    }
    // The cooldown counts from the attempt, whether or not anything is shown.
    m_lastSent.insert(id, now);
    const QString requestId = id + u'-' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    m_service->post(requestId, title, body);
}

QCoro::Task<Notifier::AuthorizationStatus> Notifier::authorizationStatus()
{
    // isAvailable() touches nothing of ours after its first await, and neither does this.
    const bool available = co_await m_service->isAvailable();
    co_return available ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied;
}

QCoro::Task<> Notifier::requestAuthorization()
{
    co_await m_service->requestAuthorization();
}

} // namespace kestrune
