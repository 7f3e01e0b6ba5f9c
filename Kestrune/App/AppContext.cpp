#include "Kestrune/App/AppContext.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Bus/HelperBus.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/Workspace/X11Workspace.h"

namespace kestrune {

namespace {

UpdateUserDriver* systemUpdateDriver = nullptr;

} // namespace

AppContext AppContext::system()
{
    AppContext context;
    context.helperBus = HelperBus::connection();
    context.sessionBus = QDBusConnection::sessionBus();
    context.systemBus = QDBusConnection::systemBus();
    context.sysfsRoot = PlatformEnvironment::sysfsRoot();
    context.defaultsPath = UserDefaults::standardFilePath();
    context.historyPath = HistoryStore::defaultFilePath();
    context.workspace = std::make_shared<X11Workspace>();
    context.updateDriver = systemUpdateDriver;
    return context;
}

void AppContext::setSystemUpdateDriver(UpdateUserDriver* driver)
{
    systemUpdateDriver = driver;
}

} // namespace kestrune
