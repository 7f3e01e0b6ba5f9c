#pragma once

#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "tests/support/ChildProcess.h"

#include <QString>

namespace kestrune::test {

class PrivateBus;

// This build's real kestrune-helper, on a private bus over a simulated machine's tree.
class HelperDaemonProcess {
public:
    static QString program();
    static bool isBuilt();
    // How the application finds this daemon on the session bus: registration writes its
    // activation file into `activationDirectory`.
    static BusServiceManagement::Options serviceOptions(const QString& activationDirectory);

    struct Options {
        // The private bus poses as the system bus, so the daemon asks the authority on it
        // (a fake polkit) about callers other than root and itself.
        bool asSystemBus = false;
        // A copy of the daemon elsewhere runs the stand-in tools found beside it.
        QString program = HelperDaemonProcess::program();
        int timeoutMs = 10000;
    };

    // Starts the daemon and waits until it owns its name on the bus.
    bool start(PrivateBus& bus, const QString& sysfsRoot, const Options& options);
    bool start(PrivateBus& bus, const QString& sysfsRoot) { return start(bus, sysfsRoot, Options()); }
    void stop() { m_child.stop(); }
    qint64 pid() const { return m_child.pid(); }

private:
    ChildProcess m_child;
};

} // namespace kestrune::test
