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

bool HelperDaemonProcess::start(PrivateBus& bus, const QString& sysfsRoot, const Options& options)
{
    QProcessEnvironment environment = bus.environment();
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), sysfsRoot);
    if (options.asSystemBus) {
        environment.insert(QStringLiteral("KESTRUNE_BUS"), QStringLiteral("system"));
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    }
    if (!m_child.start(options.program, {}, environment))
        return false;
    static std::atomic<int> watchers{0};
    QDBusConnection watcher = bus.connect(QStringLiteral("daemon-watch-%1").arg(++watchers));
    return waitUntil([&] { return watcher.interface()->isServiceRegistered(QString(HelperProtocol::label)).value(); },
                     options.timeoutMs);
}

} // namespace kestrune::test
