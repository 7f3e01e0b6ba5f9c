#include "tests/support/PrivateBus.h"

#include <QDeadlineTimer>
#include <QFile>

namespace kestrune::test {

namespace {
// A session-type bus that admits every user (authenticated by their socket credentials).
const char* const anyoneConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

PrivateBus::PrivateBus(Users users)
{
    QStringList busArguments{QStringLiteral("--session")};
    if (users == Users::Anyone) {
        m_configDir = std::make_unique<QTemporaryDir>();
        const QString config = m_configDir->filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(anyoneConfig) < 0)
            return;
        file.close();
        busArguments = {QStringLiteral("--config-file=") + config};
    }
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments(busArguments
                          + QStringList{QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                        QStringLiteral("--print-address=1")});
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
