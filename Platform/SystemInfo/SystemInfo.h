#pragma once

#include <QDBusConnection>
#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>

namespace kestrune {

// What the machine says about itself when the application introduces it to its backend:
// the name the user gave it, the operating system, this application's version and the
// hardware model. Each read falls back to something harmless rather than failing.
class SystemInfo {
public:
    // The name used when the system gives none.
    static constexpr auto fallbackName = "Mac";

    // hostnamed is asked on `bus` (the system bus in production); the hardware model is read
    // under `sysfsRoot`.
    explicit SystemInfo(QDBusConnection bus = QDBusConnection::systemBus(), QString sysfsRoot = QString(),
        std::chrono::milliseconds hostnamedTimeout = std::chrono::milliseconds(2000));

    // hostnamed's pretty host name, else the host name, else `fallbackName`.
    QCoro::Task<QString> computerName() const;
    // The distribution's name and version with the kernel's, e.g.
    // "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64".
    static QString osVersion();
    static QString applicationVersion();
    // DMI's product name, empty when the machine does not report one.
    QString hardwareModel() const;

private:
    QDBusConnection m_bus;
    QString m_sysfsRoot;
    std::chrono::milliseconds m_hostnamedTimeout;
};

} // namespace kestrune
