#pragma once

#include "Foundation/Clock.h"
#include "Foundation/LocalCalendar.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Platform/Network/NetworkPathMonitor.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "Platform/ServiceManagement/ServiceManagement.h"
#include "Platform/Updater/Updater.h"
#include "Platform/Workspace/Workspace.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace kestrune {

class UpdateUserDriver;

// Everything the application core takes from the machine it runs on. AppState builds its
// engines over these seams, so that the program runs it on the real machine
// (AppContext::system()) and tests and benchmarks run it on a simulated one: a sysfs tree
// in a folder, private buses, fakes and a clock of their own.
struct AppContext {
    // Where the privileged daemon offers its service.
    QDBusConnection helperBus{QString()};
    // The desktop's notification service.
    QDBusConnection sessionBus{QString()};
    // logind's wake notices.
    QDBusConnection systemBus{QString()};

    QString sysfsRoot;
    QString defaultsPath;
    QString historyPath;

    // Must outlive the AppState; dates every reading and every record.
    const Clock* clock = &Clock::system();
    LocalCalendar calendar;

    // None: a desktop that never tells which application is in front.
    std::shared_ptr<Workspace> workspace;
    // None: the daemon's registration on the helper bus.
    std::shared_ptr<ServiceManagement> services;
    // Launch at login. None: the user's autostart folder and this running program.
    std::optional<LoginItem::Options> loginItem;
    // None: the system's view of the network.
    std::unique_ptr<NetworkPathMonitor> networkPath;

    // How often the battery is read without a power-source change.
    double monitorIntervalSeconds = 30;
    // How often a tree without kernel notices (a simulated machine) is looked at for changes
    // where the file system cannot tell when it changes. None: no power-source notices at all,
    // for screens and tests whose every reading is one they ask for.
    std::optional<std::chrono::milliseconds> powerSourcePoll{std::chrono::seconds(2)};

    HelperClientConfig helper;
    BackendClientConfig backend;

    Updater::Options updater;
    // Must outlive the AppState. None: the answers of update checks are not shown.
    UpdateUserDriver* updateDriver = nullptr;

    // The machine this process runs on: the platform's roots, buses and files, the X11
    // desktop, the system's service management and network, the update dialog set with
    // setSystemUpdateDriver.
    static AppContext system();
    // The program entry names its update dialog here before AppState::shared() is first used.
    static void setSystemUpdateDriver(UpdateUserDriver* driver);
};

} // namespace kestrune
