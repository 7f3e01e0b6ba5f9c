#include "Platform/Smc/SmcService.h"

#include "Platform/Smc/SysfsSmcUserClient.h"
#include "Platform/Sysfs/PowerSupplyTree.h"

namespace kestrune {

SmcService::Lookup SmcService::find(const QString& sysfsRoot)
{
    return PowerSupplyTree(sysfsRoot).systemBattery() ? Lookup::Found : Lookup::NotFound;
}

std::int32_t SmcService::open(const QString& sysfsRoot, std::unique_ptr<SmcUserClient>& client)
{
    const auto battery = PowerSupplyTree(sysfsRoot).systemBattery();
    if (!battery)
        return SmcUserClient::errorUnsupported;
    client = std::make_unique<SysfsSmcUserClient>(sysfsRoot);
    return SmcUserClient::success;
}

} // namespace kestrune
