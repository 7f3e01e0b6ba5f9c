#pragma once

#include <QDBusConnection>
#include <QObject>

namespace kestrune {

// Tells when the machine is about to sleep and when it has woken: logind
// (org.freedesktop.login1 on the system bus) announces PrepareForSleep(true) before suspending
// and PrepareForSleep(false) after resuming. Only the announcement of the name's owner counts;
// another peer sending the same signal is not heard. Where there is no logind there are no
// notices at all.
class LogindSleepWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr auto service = "org.freedesktop.login1";
    static constexpr auto path = "/org/freedesktop/login1";
    static constexpr auto interface = "org.freedesktop.login1.Manager";

    explicit LogindSleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(), QObject* parent = nullptr);

    // Whether the bus could be asked for the announcements.
    bool isWatching() const { return m_watching; }

signals:
    void willSleep();
    void didWake();

private slots:
    void prepareForSleep(bool start);

private:
    bool m_watching = false;
};

} // namespace kestrune
