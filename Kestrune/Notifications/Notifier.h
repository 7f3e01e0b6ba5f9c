#pragma once

#include "Foundation/Clock.h"
#include "Platform/Notifications/NotificationService.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

namespace kestrune {

// Posts the application's notifications and reports clicks on them.
//
// Every notification carries an identifier chosen by the caller ("limit", "full", ...) and a
// cooldown: another one with the same identifier is dropped while the last is younger than
// the cooldown. Each posting goes out under the identifier, a hyphen and a fresh UUID, so a
// click reports that longer name and consumers compare by prefix.
//
// The desktop's notification service shows a notification the same way whether or not one
// of our windows is in front: every notification appears as a banner with the default sound
// at all times, which is how we want them shown while the application is active as well.
class Notifier : public QObject {
    Q_OBJECT

public:
    // The platform's permission states. There is no permission to ask for here: the service
    // being reachable counts as authorized, its absence as denied.
    enum class AuthorizationStatus { NotDetermined = 0, Denied = 1, Authorized = 2, Provisional = 3, Ephemeral = 4 };
    Q_ENUM(AuthorizationStatus)

    // Notifications through org.freedesktop.Notifications on `bus` (the session bus).
    explicit Notifier(QDBusConnection bus, const Clock& clock = Clock::system(), QObject* parent = nullptr);
    explicit Notifier(std::unique_ptr<NotificationService> service, const Clock& clock = Clock::system(),
                      QObject* parent = nullptr);
    ~Notifier() override;

    // Posts unless a notification with `id` went out less than `cooldown` seconds ago. A
    // cooldown of 0 never holds one back, but still counts as the last posting.
    void notify(const QString& id, const QString& title, const QString& body, double cooldown);

    QCoro::Task<AuthorizationStatus> authorizationStatus();
    // The closest thing to asking for permission: lets the service start if it can. The
    // status is read afterwards with authorizationStatus().
    QCoro::Task<> requestAuthorization();

    // When each identifier was last posted (or attempted); kept for the process's lifetime.
    const QHash<QString, QDateTime>& lastSent() const { return m_lastSent; }

    // Called with the clicked notification's full identifier ("limit-<UUID>").
    std::function<void(const QString&)> onNotificationTap;

private:
    std::unique_ptr<NotificationService> m_service;
    const Clock& m_clock;
    QHash<QString, QDateTime> m_lastSent;
};

} // namespace kestrune
