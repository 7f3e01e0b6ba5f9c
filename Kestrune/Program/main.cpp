// kestrune: the battery keeper in the system tray. One instance per session: launching it
// again brings the running instance forward.

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppContext.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Program/KestruneApp.h"
#include "Kestrune/Program/QuitSignals.h"
#include "Kestrune/Program/SingleInstance.h"
#include "Kestrune/UI/UpdateDialogDriver.h"
#include "Platform/SystemInfo/SystemInfo.h"

#include <QApplication>
#include <QMessageBox> // UpdateDialogDriver.h names it only
#include <QSystemTrayIcon>
#include <QTextStream>
#include <QTimer>

using namespace kestrune;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The tray keeps the application; closing its windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrune.Kestrune"));
    // What the General tab shows as the version of the application.
    QCoreApplication::setApplicationVersion(SystemInfo::applicationVersion());
    AppLanguage::installTranslator(UserDefaults(UserDefaults::standardFilePath()));

    SingleInstance instance(QDBusConnection::sessionBus());
    switch (instance.claim()) {
    case SingleInstance::Claim::OtherActivated:
        return 0;
    case SingleInstance::Claim::OtherUnreachable:
        QTextStream(stderr) << "kestrune: another instance runs but does not answer\n";
        return 1;
    case SingleInstance::Claim::Owned:
    case SingleInstance::Claim::NoBus:
        break;
    }

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &application, &QCoreApplication::quit);

    UpdateDialogDriver updateDialog;
    AppContext::setSystemUpdateDriver(&updateDialog);
    KestruneApp kestrune(AppState::shared(), {.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable()});
    QObject::connect(&instance, &SingleInstance::activated, &kestrune, &KestruneApp::reopen);
    QTimer::singleShot(0, &kestrune, [&kestrune] { kestrune.finishLaunching(QCoreApplication::arguments()); });

    const int code = application.exec();
    // The last turn's settings and the figures of the ticks may still wait to be written.
    AppState::shared().shutDown();
    instance.release();
    AppLanguage::relaunchIfRequested();
    return code;
}
