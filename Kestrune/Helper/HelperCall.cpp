#include "Kestrune/Helper/HelperCall.h"

#include <QDBusPendingCallWatcher>

namespace kestrune {

HelperCall::HelperCall(QDBusConnection bus, const QDBusMessage& message, std::chrono::milliseconds timeout)
{
    if (!bus.isConnected()) {
        finish(std::nullopt);
        return;
    }
    // Our own timer ends the call; the bus's timeout (the same length) only lets the bus
    // library forget the call.
    m_timer.setSingleShot(true);
    m_timer.setInterval(timeout);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(std::nullopt); });
    m_timer.start();

    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, int(timeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusMessage reply = w->reply();
        w->deleteLater();
        if (reply.type() == QDBusMessage::ReplyMessage)
            finish(reply);
        else
            finish(std::nullopt);
    });
}

HelperCall::HelperCall()
{
    finish(std::nullopt);
}

void HelperCall::finish(std::optional<QDBusMessage> reply)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    m_reply = std::move(reply);
    emit finished();
}

} // namespace kestrune
