#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FastClock.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/RecordingNotifications.h"

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace kestrune::test {

// The simulated laptop with its battery model running fast, the real daemon on a private
// bus, and the application's real monitor, helper client, charge controller and power saver,
// wired as the application shell wires them. The application's objects are public for the
// test to drive and inspect.
class SimulatedLaptop {
public:
    // Simulated seconds per real second, for the battery model and the application's clock alike.
    static constexpr double speed = 60;

    struct Options {
        int capacityPercent = 70;
        bool unplugged = false;
    };

    // The daemon and the simulator are built; without them there is nothing to run.
    static bool toolsBuilt();

    SimulatedLaptop() = default;
    ~SimulatedLaptop();
    SimulatedLaptop(const SimulatedLaptop&) = delete;
    SimulatedLaptop& operator=(const SimulatedLaptop&) = delete;

    // Lays out the tree, starts the daemon, builds the application's objects, and starts the
    // monitor and the battery model. A failure on the way fails the calling test: call it
    // under ASSERT_NO_FATAL_FAILURE.
    void start(const Options& options);
    // Stops reading the battery, lets an evaluation in flight finish while everything it uses
    // is alive, and stops the model. Done on destruction too.
    void stop();

    // Runs one kestrune-sim command on this laptop's tree ("plug", "unplug", "load" with its
    // watts) to its end; true when it succeeded.
    bool sim(const QString& command, const QStringList& arguments = {}) const;
    // What the model draws now, in W.
    double modelDraw() const;
    // The action log, oldest first, for failure messages.
    std::string actionLog() const;

    PrivateBus bus;
    QTemporaryDir machine;
    QString root = machine.filePath(QStringLiteral("sys"));
    HelperDaemonProcess daemon;
    ChildProcess model;
    FastClock clock { speed };
    FakeWorkspace workspace;
    QDBusConnection appBus { QString() };
    std::unique_ptr<BusServiceManagement> services;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ChargingSettings> settings;
    std::unique_ptr<HelperClient> client;
    std::unique_ptr<AdaptiveEngine> adaptive;
    std::unique_ptr<ChargeController> controller;
    std::unique_ptr<ProcessEnergyTracker> tracker;
    std::unique_ptr<DisplayControl> display;
    std::unique_ptr<HistoryStore> history;
    QList<Posted> posts;
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<SavingsModel> savings;
    std::unique_ptr<PowerSaverEngine> engine;
    std::unique_ptr<BatteryMonitor> monitor;

private:
    bool m_running = false;
    // Evaluations started and not yet ended.
    std::shared_ptr<int> m_evaluations = std::make_shared<int>(0);
};

} // namespace kestrune::test
