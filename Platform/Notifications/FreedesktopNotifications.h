#pragma once

#include "Platform/Notifications/NotificationService.h"

#include <QDBusConnection>
#include <QHash>

namespace kestrune {

// org.freedesktop.Notifications on a bus (the session bus in production). The service
// numbers notifications itself, so the numbers it answers are mapped back to our request
// identifiers until it reports the notification closed.
class FreedesktopNotifications : public NotificationService {
    Q_OBJECT

public:
    static constexpr auto serviceName = "org.freedesktop.Notifications";
    static constexpr auto objectPath = "/org/freedesktop/Notifications";
    static constexpr auto interfaceName = "org.freedesktop.Notifications";
    // The action a click on the notification's body invokes.
    static constexpr auto defaultAction = "default";

    explicit FreedesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

    void post(const QString& requestId, const QString& title, const QString& body) override;
    // The service is on the bus, or the bus can start it.
    QCoro::Task<bool> isAvailable() override;
    // Asks the bus to start the service, where it knows how; the answer does not matter, the
    // availability is read afterwards.
    QCoro::Task<> requestAuthorization() override;

    // The text with "&", "<" and ">" written as entities, for a service that reads markup.
    static QString escapedMarkup(const QString& text);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void notify(const QString& requestId, const QString& title, const QString& body);

    QDBusConnection m_bus;
    QHash<uint, QString> m_requests;
};

} // namespace kestrune
