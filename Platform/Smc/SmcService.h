#pragma once

#include "Platform/Smc/SmcUserClient.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace kestrune {

// Looks up the controller service and opens a user client on it.
class SmcService {
public:
    enum class Lookup { Found, NotFound };

    // Whether the machine under `sysfsRoot` has a controller to talk to (a system battery).
    static Lookup find(const QString& sysfsRoot);
    // Opens a user client; returns a kernel return code and fills `client` on success.
    static std::int32_t open(const QString& sysfsRoot, std::unique_ptr<SmcUserClient>& client);
};

} // namespace kestrune
