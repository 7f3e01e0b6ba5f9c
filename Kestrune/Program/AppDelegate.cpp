#include "Kestrune/Program/AppDelegate.h"

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Platform/ServiceManagement/LoginItem.h"

#include <QTimer>

namespace kestrune {

AppDelegate::AppDelegate(AppState& state)
    : m_state(state)
{
}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    m_state.start();
    if (!launchedAsLoginItem(arguments))
        m_state.requestWindow();
}

void AppDelegate::applicationDidBecomeActive()
{
    QTimer::singleShot(0, &m_state, [&state = m_state] { state.reconnectHelperIfNeeded(); });
}

void AppDelegate::applicationShouldHandleReopen()
{
    m_state.requestWindow();
}

void AppDelegate::applicationWillTerminate()
{
    m_state.helper().synchronousResetChargingDefaults();
    m_state.displayControl().restoreBrightness();
    m_state.displayControl().restoreKeyboardBacklight();
}

bool AppDelegate::launchedAsLoginItem(const QStringList& arguments)
{
    return arguments.mid(1).contains(QLatin1String(LoginItem::launchArgument));
}

} // namespace kestrune
