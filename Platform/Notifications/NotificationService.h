#pragma once

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

namespace kestrune {

// The desktop's notification service as the application sees it: post a notification under
// an identifier of ours, and hear which of ours the user clicked.
class NotificationService : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows a notification with the default sound, now. Fire and forget: a failure shows
    // nothing and is not reported.
    virtual void post(const QString& requestId, const QString& title, const QString& body) = 0;
    // Whether notifications can be shown at all.
    virtual QCoro::Task<bool> isAvailable() = 0;
    // Gives the service a chance to come up before the user is told whether notifications can
    // be shown. There is no permission to ask for: a service that is always there needs nothing.
    virtual QCoro::Task<> requestAuthorization() { co_return; }

signals:
    // The user clicked the body of a notification posted under `requestId`.
    void activated(const QString& requestId);
};

} // namespace kestrune
