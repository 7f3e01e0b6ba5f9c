#include "tools/kestrune-screens/ScreenMachine.h"

#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusConnectionInterface>
#include <QTextStream>

namespace kestrune {

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
    if (!m_bus.isRunning()) {
        err << "kestrune-screens: cannot start dbus-daemon" << Qt::endl;
        return false;
    }
    m_appBus = m_bus.connect(QStringLiteral("kestrune-screens"));
    if (!m_daemon.start(m_bus, root())) {
        err << "kestrune-screens: the helper daemon " << test::HelperDaemonProcess::program() << " did not start"
            << Qt::endl;
        return false;
    }
    return step(1);
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
    m_daemon.stop();
    test::waitUntil(
        [this] { return !m_appBus.interface()->isServiceRegistered(QString::fromLatin1(HelperProtocol::label)).value(); },
        10000);
}

} // namespace kestrune
