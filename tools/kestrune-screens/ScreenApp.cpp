#include "tools/kestrune-screens/ScreenApp.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Notifications/FreedesktopNotifications.h"
#include "tests/support/TestAppContext.h"

#include <QDBusConnectionInterface>

namespace kestrune {

namespace {

// The daemon's registration as the screen needs it; nothing is ever registered.
class FixedServices final : public ServiceManagement {
public:
    explicit FixedServices(Status status)
        : m_status(status)
    {
    }
    Status daemonStatus() override { return m_status; }
    std::optional<QString> registerDaemon() override { return std::nullopt; }
    std::optional<QString> unregisterDaemon() override { return std::nullopt; }
    bool openSystemSettingsLoginItems() override { return false; }
    QString enableInstructions() const override { return {}; }

private:
    Status m_status;
};

const QString noBus = QStringLiteral("kestrune-screens-no-bus");

} // namespace

ScreenApp::ScreenApp(Options options)
{
    // The notification service is "there" when its name is owned on the session bus; the
    // screens own it themselves where the bus has no such service, and let it go afterwards.
    QDBusConnection session = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(FreedesktopNotifications::serviceName);
    if (options.notifications && session.isConnected() && !session.interface()->isServiceRegistered(service))
        m_ownsNotifications = session.registerService(service);

    AppContext context = test::testAppContext(m_folder.path(), QDBusConnection(noBus), Clock::system());
    if (options.notifications)
        context.sessionBus = session;
    context.services = std::make_shared<FixedServices>(options.daemonStatus);
    {
        UserDefaults defaults(context.defaultsPath);
        defaults.set(QStringLiteral("backendEnabled"), !options.backend.isEmpty());
        if (!options.backend.isEmpty()) {
            defaults.set(QStringLiteral("backendURL"), options.backend.toString());
            defaults.set(QString::fromLatin1(BackendClient::deviceIDKey), QStringLiteral("screens"));
        }
    }
    m_state = std::make_unique<AppState>(std::move(context));

    const QDateTime now = m_state->clock().now();
    if (HistoryStore* history = m_state->history()) {
        for (int day = options.pastDays; day >= 1; --day)
            history->accrueSavings(4.2 + day, 38 + 9 * day, 3, now.addDays(-day));
        history->accrueSavings(12.3, 135, 4, now);
    }
    m_state->powerSaver().loadLedgerTotals(now);
    m_state->helper().refreshStatus();
}

ScreenApp::~ScreenApp()
{
    m_state.reset();
    if (m_ownsNotifications)
        QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(FreedesktopNotifications::serviceName));
}

} // namespace kestrune
