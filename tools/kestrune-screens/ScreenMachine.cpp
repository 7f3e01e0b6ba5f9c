#include "tools/kestrune-screens/ScreenMachine.h"

#include "Shared/HelperProtocol.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTextStream>

namespace kestrune {

namespace {

const QString connectionName = QStringLiteral("kestrune-screens");

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(1000);
}

} // namespace

ScreenMachine::~ScreenMachine()
{
    stop(m_daemon);
    QDBusConnection::disconnectFromBus(connectionName);
    stop(m_busDaemon);
}

bool ScreenMachine::setUp(int capacityPercent)
{
    QTextStream err(stderr);
    QString error;
    SimTree::Options options;
    options.capacityPercent = capacityPercent;
    if (!m_dir.isValid() || !SimTree::create(root(), options, &error)) {
        err << "kestrune-screens: cannot lay out the simulated laptop: " << error << Qt::endl;
        return false;
    }
    m_model = std::make_unique<BatteryModel>(root());

    // A bus of our own: nothing of the desktop's is touched.
    m_busDaemon.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_busDaemon.waitForReadyRead(5000)) {
        err << "kestrune-screens: cannot start dbus-daemon" << Qt::endl;
        return false;
    }
    m_address = QString::fromUtf8(m_busDaemon.readLine()).trimmed();
    if (!bus().isConnected()) {
        err << "kestrune-screens: cannot connect to " << m_address << Qt::endl;
        return false;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KESTRUNE_BUS"), m_address);
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), root());
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(daemonProgram(), {});
    const bool listening = waitUntil([this] {
        return bus().interface()->isServiceRegistered(QString::fromLatin1(HelperProtocol::label)).value();
    });
    if (!listening)
        err << "kestrune-screens: the helper daemon " << daemonProgram() << " did not start" << Qt::endl;
    return listening && step(1);
}

QDBusConnection ScreenMachine::bus() const
{
    return QDBusConnection::connectToBus(m_address, connectionName);
}

QString ScreenMachine::daemonProgram() const
{
    return QStringLiteral(KESTRUNE_HELPER_PROGRAM);
}

bool ScreenMachine::step(double seconds)
{
    QString error;
    if (m_model->step(seconds, &error))
        return true;
    QTextStream(stderr) << "kestrune-screens: " << error << Qt::endl;
    return false;
}

void ScreenMachine::stopDaemon()
{
    stop(m_daemon);
    waitUntil([this] { return !bus().interface()->isServiceRegistered(QString::fromLatin1(HelperProtocol::label)).value(); });
}

bool ScreenMachine::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace kestrune
