#pragma once

#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/BatteryModel.h"

#include <QDBusConnection>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kestrune {

// A simulated laptop for screens of the real application core: its sysfs tree in a
// temporary folder, a D-Bus bus of its own, and this build's helper daemon on that bus. The
// battery model advances only when asked, so every screen shows the same figures.
class ScreenMachine {
public:
    // Lays out the tree at `capacityPercent` on AC and starts the daemon on the bus. False,
    // with the reason on standard error, when a piece cannot be set up.
    bool setUp(int capacityPercent);

    // The folder the application's files go in; its sysfs tree is "sys" in it.
    QString folder() const { return m_dir.path(); }
    QString root() const { return m_dir.filePath(QStringLiteral("sys")); }
    // The application's connection to the machine's bus.
    QDBusConnection bus() const { return m_appBus; }

    // The battery `seconds` later.
    bool step(double seconds);
    // The daemon leaves the bus, as on a machine where it is not installed.
    void stopDaemon();

private:
    QTemporaryDir m_dir;
    test::PrivateBus m_bus;
    test::HelperDaemonProcess m_daemon;
    QDBusConnection m_appBus{QString()};
    std::unique_ptr<BatteryModel> m_model;
};

} // namespace kestrune
