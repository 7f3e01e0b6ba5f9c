#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kestrune {

// One method call to the daemon that ends exactly once: with the daemon's reply, with a bus
// error, or when its time is up, whichever comes first. Whatever arrives later is dropped.
// finished() is emitted once, when the call ends; a call that could not be sent at all is
// finished before the constructor returns, so check isFinished() before waiting for it.
class HelperCall : public QObject {
    Q_OBJECT

public:
    HelperCall(QDBusConnection bus, const QDBusMessage& message, std::chrono::milliseconds timeout);
    // A call that was never sent and has already ended without an answer.
    HelperCall();

    bool isFinished() const { return m_finished; }
    // The daemon's reply; nothing after an error, a timeout or an abandoned call.
    const std::optional<QDBusMessage>& reply() const { return m_reply; }

    // Ends the call without an answer, unless it has ended already.
    void abandon() { finish(std::nullopt); }

signals:
    void finished();

private:
    void finish(std::optional<QDBusMessage> reply);

    QTimer m_timer;
    bool m_finished = false;
    std::optional<QDBusMessage> m_reply;
};

} // namespace kestrune
