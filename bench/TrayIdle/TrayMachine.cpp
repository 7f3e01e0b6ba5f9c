#include "bench/TrayIdle/TrayMachine.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/SimProgram.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-demo/DemoHistory.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>

namespace kestrune {

namespace {

// 90 days of history, written once per run and copied into each machine's home.
QString seededHistory()
{
    static QTemporaryDir folder;
    static bool seeded = false;
    const QString path = folder.filePath(QStringLiteral("History.store"));
    if (!seeded) {
        demo::DemoHistory::Options history;
        history.end = QDateTime::currentDateTimeUtc();
        history.days = 90;
        seeded = demo::DemoHistory::seed(path, history).has_value();
    }
    return seeded ? path : QString();
}

} // namespace

bool TrayMachine::setUp(bool meterDaemon)
{
    if (!m_bus.isRunning() || !m_home.isValid() || !layHome()
        || !QDir().mkpath(path(QStringLiteral("runtime")))
        || !QFile::setPermissions(
            path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    m_tray = std::make_unique<FakeStatusNotifierWatcher>(m_bus.connect(QStringLiteral("tray")));
    if (!m_tray->isRegistered()
        || !test::SimProgram::run(
            { QStringLiteral("tree"), sysfsRoot(), QStringLiteral("--capacity"), QStringLiteral("80") })
        || !m_model.start(test::SimProgram::path(), { QStringLiteral("run"), sysfsRoot() }))
        return false;

    QProcessEnvironment environment = m_bus.environment();
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), sysfsRoot());
    if (!m_daemon.start(test::buildDir() + QStringLiteral("/KestruneHelper/kestrune-helper"), {}, environment,
            meterDaemon, path(QStringLiteral("daemon.counts"))))
        return false;
    QDBusConnection watcher = m_bus.connect(QStringLiteral("daemon-watch"));
    return test::waitUntil(
        [&] { return watcher.interface()->isServiceRegistered(QString(HelperProtocol::label)).value(); },
        10000);
}

bool TrayMachine::layHome()
{
    UserDefaults defaults(path(QStringLiteral("config/Kestrune/defaults.json")));
    // No backend: the figures are the programs' own.
    defaults.set(QStringLiteral("backendEnabled"), false);
    defaults.set(QString::fromLatin1(AppState::onboardingCompletedKey), true);
    defaults.synchronize();
    const QString history = seededHistory();
    return !history.isEmpty() && QDir().mkpath(path(QStringLiteral("data/Kestrune")))
        && QFile::copy(history, path(QStringLiteral("data/Kestrune/History.store")));
}

QProcessEnvironment TrayMachine::programEnvironment() const
{
    QProcessEnvironment environment = m_bus.environment();
    environment.insert(QStringLiteral("KESTRUNE_BUS"), QStringLiteral("session"));
    environment.insert(QStringLiteral("KESTRUNE_SYSFS_ROOT"), sysfsRoot());
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

QString TrayMachine::kestrune()
{
    return test::buildDir() + QStringLiteral("/Kestrune/Program/kestrune");
}

QString TrayMachine::minimalTray()
{
    return test::buildDir() + QStringLiteral("/bench/TrayIdle/minimal-tray/minimal-tray");
}

} // namespace kestrune
