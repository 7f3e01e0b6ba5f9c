#pragma once

#include "Platform/Notifications/NotificationService.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

namespace kestrune::test {

struct Posted {
    QString id, title, body;
};

// Records what the notifier would show.
class RecordingNotifications : public NotificationService {
public:
    explicit RecordingNotifications(QList<Posted>* sink)
        : m_sink(sink)
    {
    }
    void post(const QString& requestId, const QString& title, const QString& body) override
    {
        m_sink->append({ requestId.section(u'-', 0, -6), title, body });
    }
    QCoro::Task<bool> isAvailable() override { co_return true; }

private:
    QList<Posted>* m_sink;
};

} // namespace kestrune::test
