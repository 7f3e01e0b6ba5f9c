#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kestrune::test {

// A D-Bus daemon of the test's own, so that test programs running in parallel never meet
// on a shared bus. Child processes reach it through DBUS_SESSION_BUS_ADDRESS=address().
//
// Its only activatable services are those in its service folder, never what the machine has
// installed: a desktop's notification daemon, say, must not start on a test's bus.
class PrivateBus {
public:
    // Who may connect: only the user running the test (a session bus's usual rule), or
    // every user, for tests that call from another user id.
    enum class Users { Owner, Anyone };

    // `serviceDirectory`: where the bus finds activatable services; none: an empty folder
    // of the bus's own.
    explicit PrivateBus(Users users = Users::Owner, const QString& serviceDirectory = QString());
    ~PrivateBus();

    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // A new connection to the bus under its own name (each one a separate peer).
    QDBusConnection connect(const QString& name);
    // The environment for a child process that should use this bus as its session bus.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_configDir; // the bus configuration and its default service folder
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace kestrune::test
