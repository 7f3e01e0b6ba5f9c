#include "tests/support/PrivateBus.h"

#include "tests/support/TestPaths.h"

#include <QDeadlineTimer>
#include <QFile>

namespace kestrune::test {

namespace {

// The tests' bus configuration with the service folder, and for Users::Anyone every user
// admitted (authenticated by their socket credentials).
QByteArray configuration(PrivateBus::Users users, const QString& serviceDirectory)
{
    QString config = QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>%1</include>
  <servicedir>%2</servicedir>
)")
                         .arg(QString(sourceDir() + QStringLiteral("/tests/support/test-bus.conf")).toHtmlEscaped(),
                              serviceDirectory.toHtmlEscaped());
    if (users == PrivateBus::Users::Anyone)
        config += QStringLiteral("  <policy context=\"default\"><allow user=\"*\"/></policy>\n");
    return (config + QStringLiteral("</busconfig>\n")).toUtf8();
}

} // namespace

PrivateBus::PrivateBus(Users users, const QString& serviceDirectory)
{
    const QString config = m_configDir.filePath(QStringLiteral("bus.conf"));
    const QString services = serviceDirectory.isEmpty() ? m_configDir.filePath(QStringLiteral("services"))
                                                        : serviceDirectory;
    QFile file(config);
    if (!m_configDir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(configuration(users, services)) < 0)
        return;
    file.close();
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start();
    if (!m_daemon.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(5000);
    QByteArray line;
    while (!line.contains('\n') && !deadline.hasExpired()) {
        m_daemon.waitForReadyRead(100);
        line += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(line.left(line.indexOf('\n'))).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(2000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(2000);
        }
    }
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}

QProcessEnvironment PrivateBus::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("KESTRUNE_BUS"), QStringLiteral("session"));
    return env;
}

} // namespace kestrune::test
