#pragma once

#include "tools/kestrune-sim/BatteryModel.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace kestrune {

// A simulated laptop for screens of the real application core: its sysfs tree in a
// temporary folder, a D-Bus bus of its own, and this build's helper daemon on that bus. The
// battery model advances only when asked, so every screen shows the same figures.
class ScreenMachine {
public:
    ScreenMachine() = default;
    ~ScreenMachine();

    ScreenMachine(const ScreenMachine&) = delete;
    ScreenMachine& operator=(const ScreenMachine&) = delete;

    // Lays out the tree at `capacityPercent` on AC and starts the bus and the daemon. False,
    // with the reason on standard error, when a piece cannot be set up.
    bool setUp(int capacityPercent);

    // The folder the application's files go in; its sysfs tree is "sys" in it.
    QString folder() const { return m_dir.path(); }
    QString root() const { return m_dir.filePath(QStringLiteral("sys")); }
    QDBusConnection bus() const;
    QString daemonProgram() const;

    BatteryModel& model() { return *m_model; }
    // The battery `seconds` later.
    bool step(double seconds);
    // The daemon leaves the bus, as on a machine where it is not installed.
    void stopDaemon();

    // Runs the event loop until `done` holds, for at most `timeoutMs`; whether it held.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

private:
    QTemporaryDir m_dir;
    QProcess m_busDaemon;
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<BatteryModel> m_model;
};

} // namespace kestrune
