#include "tests/support/HelperDaemonProcess.h"

#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"

#include <QDBusConnectionInterface>
#include <QFileInfo>

#include <atomic>

namespace kestrune::test {

QString HelperDaemonProcess::program()
{
    return buildDir() + QStringLiteral("/KestruneHelper/kestrune-helper");
}

bool HelperDaemonProcess::isBuilt()
{
    return QFileInfo(program()).isExecutable();
}

BusServiceManagement::Options HelperDaemonProcess::serviceOptions(const QString& activationDirectory)
{
    BusServiceManagement::Options options;
    options.systemBus = false;
    options.label = HelperProtocol::label;
    options.program = program();
    options.activationDirectory = activationDirectory;
    return options;
}

bool HelperDaemonProcess::start(PrivateBus& bus, const QString& sysfsRoot, int timeoutMs)
{
    QProcessEnvironment environment = bus.environment();
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), sysfsRoot);
    if (!m_child.start(program(), {}, environment))
        return false;
    static std::atomic<int> watchers{0};
    QDBusConnection watcher = bus.connect(QStringLiteral("daemon-watch-%1").arg(++watchers));
    return waitUntil([&] { return watcher.interface()->isServiceRegistered(QString(HelperProtocol::label)).value(); },
                     timeoutMs);
}

} // namespace kestrune::test
