// kestrune-helper: the privileged daemon. It offers the helper service on its bus (the
// system bus when installed, the session bus for the demo) and runs until it is stopped.

#include "KestruneHelper/HelperService.h"
#include "Platform/Bus/HelperBus.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/SystemTools.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-helper"));

    HelperService::Config config;
    config.sysfsRoot = PlatformEnvironment::sysfsRoot();
    config.tools = SystemTools::locate(QCoreApplication::applicationDirPath(), QStringLiteral(KESTRUNE_LIBEXEC_DIR));
    config.consultPolkit = HelperBus::isSystemBus();

    HelperService service(config);
    QString error;
    QDBusConnection bus = HelperBus::connection();
    if (!bus.isConnected()) {
        QTextStream(stderr) << "kestrune-helper: no bus: " << bus.lastError().message() << '\n';
        return 1;
    }
    if (!service.registerOn(bus, &error)) {
        QTextStream(stderr) << "kestrune-helper: " << error << '\n';
        return 1;
    }
    return app.exec();
}
