#include "Kestrune/App/AppContext.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Bus/HelperBus.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/Network/SystemNetworkPathMonitor.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Platform/Workspace/X11Workspace.h"
#include "Shared/HelperProtocol.h"

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
    context.services = std::make_shared<BusServiceManagement>(
        context.helperBus, BusServiceManagement::standardOptions(QString(HelperProtocol::label)));
    context.networkPath = std::make_unique<SystemNetworkPathMonitor>();
    context.updateDriver = systemUpdateDriver;
    return context;
}

void AppContext::setSystemUpdateDriver(UpdateUserDriver* driver)
{
    systemUpdateDriver = driver;
}

} // namespace kestrune
