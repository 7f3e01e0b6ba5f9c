#include "Kestrune/Program/KestruneApp.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/UI/MainWindowView.h"
#include "Kestrune/UI/MenuBar/MenuBarExtra.h"
#include "Kestrune/UI/OnboardingView.h"
#include "Kestrune/UI/ShareView.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace kestrune {

KestruneApp::KestruneApp(AppState& state, Options options, QObject* parent)
    : QObject(parent)
    , m_appDelegate(state)
    , m_state(state)
{
    repairStatusItemDefaults(state.defaults());

    const OpenWindow open = [this](const QString& id) { openWindow(id); };
    m_windows.addResizable(QStringLiteral("main"), QT_TRANSLATE_NOOP("Kestrune", "Kestrune"), QSize(880, 640),
                           [this, open] { return new MainWindowView(m_state, open); });
    m_windows.addFitted(QStringLiteral("share"), QT_TRANSLATE_NOOP("Kestrune", "実績をシェア"),
                        [this] { return new ShareView(m_state); });
    m_windows.addFitted(QStringLiteral("onboarding"), QT_TRANSLATE_NOOP("Kestrune", "ようこそ"),
                        [this, open] { return new OnboardingView(m_state, open); });

    m_menuBar = std::make_unique<MenuBarExtra>(state, open, options.trayAvailable);
    connect(m_menuBar.get(), &MenuBarExtra::popoverOpened, this, [this] { m_appDelegate.applicationDidBecomeActive(); });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState applicationState) {
        if (applicationState == Qt::ApplicationActive)
            m_appDelegate.applicationDidBecomeActive();
    });
    // A quit by the footer, the session's end or a signal: charging is given back first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_appDelegate.applicationWillTerminate(); });
    // The session is ending: what waits for its batch is written before the program may be
    // ended without a quit.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { m_state.defaults().synchronize(); });
    m_menuBar->show();
}

KestruneApp::~KestruneApp() = default;

void KestruneApp::repairStatusItemDefaults(UserDefaults& defaults)
{
    const QString visible = QString::fromLatin1(statusItemVisibleKey);
    const QVariant stored = defaults.object(visible);
    if (stored.typeId() == QMetaType::Bool && !stored.toBool())
        defaults.set(visible, true);
    const QString position = QString::fromLatin1(statusItemPositionKey);
    if (!defaults.contains(position))
        defaults.set(position, 300.0);
}

void KestruneApp::finishLaunching(const QStringList& arguments)
{
    m_appDelegate.applicationDidFinishLaunching(arguments);
}

void KestruneApp::reopen()
{
    m_appDelegate.applicationShouldHandleReopen();
    m_menuBar->reopen();
}

void KestruneApp::openWindow(const QString& id)
{
    m_windows.open(id);
}

} // namespace kestrune
