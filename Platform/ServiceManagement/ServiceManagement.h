#pragma once

#include <QString>

#include <optional>

namespace kestrune {

// The system's service management as the application sees it: whether the privileged daemon is
// registered with the system, registering and unregistering it, and showing the user where to
// enable it. The application's own launch at login belongs here too, as a second service with
// the same four operations.
class ServiceManagement {
public:
    // The daemon's registration as the system reports it. Unknown: the system could not be asked.
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound, Unknown };

    virtual ~ServiceManagement() = default;

    virtual Status daemonStatus() = 0;
    // Nothing on success, otherwise the error's description for the user.
    virtual std::optional<QString> registerDaemon() = 0;
    virtual std::optional<QString> unregisterDaemon() = 0;

    // Opens the place where the user allows the daemon to run. False when this desktop has no
    // such place; enableInstructions() then says what the user has to do instead.
    virtual bool openSystemSettingsLoginItems() = 0;
    virtual QString enableInstructions() const = 0;
};

} // namespace kestrune
