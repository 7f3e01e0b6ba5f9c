#pragma once

#include <QLatin1StringView>

namespace kestrune {

// The contract between the application and the privileged daemon: one D-Bus service named
// after the daemon label, object "/", one interface of the same name with thirteen methods.
// JSON replies travel as byte arrays (empty = no answer), the version as a 64-bit integer.
class HelperProtocol {
public:
    static constexpr int version = 2;

    // Bus name, interface name and the polkit action prefix.
    static constexpr QLatin1StringView label{"org.kestrune.helper"};
    static constexpr QLatin1StringView objectPath{"/"};
    // The polkit action that lets a local active user drive the daemon.
    static constexpr QLatin1StringView controlAction{"org.kestrune.helper.control"};

    // The thirteen methods, in protocol order.
    static constexpr QLatin1StringView getVersion{"getVersion"};
    static constexpr QLatin1StringView probeCapabilities{"probeCapabilities"};
    static constexpr QLatin1StringView setChargingEnabled{"setChargingEnabled"};
    static constexpr QLatin1StringView setForceDischarge{"setForceDischarge"};
    static constexpr QLatin1StringView setAppleLimit80{"setAppleLimit80"};
    static constexpr QLatin1StringView readChargingState{"readChargingState"};
    static constexpr QLatin1StringView samplePowerMetrics{"samplePowerMetrics"};
    static constexpr QLatin1StringView resetChargingDefaults{"resetChargingDefaults"};
    static constexpr QLatin1StringView setLowPowerMode{"setLowPowerMode"};
    static constexpr QLatin1StringView setProcessThrottled{"setProcessThrottled"};
    static constexpr QLatin1StringView setSpotlightPaused{"setSpotlightPaused"};
    static constexpr QLatin1StringView setTimeMachinePaused{"setTimeMachinePaused"};
    static constexpr QLatin1StringView restoreAllPowerSaving{"restoreAllPowerSaving"};
};

} // namespace kestrune
