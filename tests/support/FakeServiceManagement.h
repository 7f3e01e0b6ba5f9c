#pragma once

#include "Platform/ServiceManagement/ServiceManagement.h"

namespace kestrune::test {

// Service management whose answers the test sets, and which counts what it was asked.
class FakeServiceManagement final : public ServiceManagement {
public:
    FakeServiceManagement() = default;
    explicit FakeServiceManagement(Status initial)
        : status(initial)
    {
    }

    Status status = Status::NotRegistered;
    std::optional<QString> registerError;     // what registerDaemon() answers
    std::optional<Status> statusAfterRegister; // the status a registration (even a failed one) leaves
    std::optional<QString> unregisterError;
    std::optional<Status> statusAfterUnregister;
    bool canOpenSettings = true;

    int statusReads = 0;
    int registrations = 0;
    int unregistrations = 0;
    int settingsOpened = 0;

    Status daemonStatus() override
    {
        ++statusReads;
        return status;
    }
    std::optional<QString> registerDaemon() override
    {
        ++registrations;
        if (statusAfterRegister)
            status = *statusAfterRegister;
        return registerError;
    }
    std::optional<QString> unregisterDaemon() override
    {
        ++unregistrations;
        if (statusAfterUnregister)
            status = *statusAfterUnregister;
        return unregisterError;
    }
    bool openSystemSettingsLoginItems() override
    {
        settingsOpened += canOpenSettings ? 1 : 0;
        return canOpenSettings;
    }
    QString enableInstructions() const override { return QStringLiteral("install the helper"); }
};

} // namespace kestrune::test
