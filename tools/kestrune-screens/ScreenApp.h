#pragma once

#include "Kestrune/App/AppState.h"
#include "Platform/ServiceManagement/ServiceManagement.h"

#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace kestrune {

// The application core for the windows' screens, in a scratch folder: no daemon, no backend,
// a desktop that never tells which application is in front, and savings made up for a good
// week. Nothing of this computer is read or changed.
class ScreenApp {
public:
    struct Options {
        // What the system reports of the daemon's registration.
        ServiceManagement::Status daemonStatus = ServiceManagement::Status::NotRegistered;
        // Whether the desktop's notification service is there.
        bool notifications = true;
        // Days of savings before today, each of them active.
        int pastDays = 6;
        // The backend, as a registered device; none: the backend is switched off.
        QUrl backend = QUrl();
    };

    explicit ScreenApp(Options options);
    ~ScreenApp();

    AppState& state() { return *m_state; }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<AppState> m_state;
    bool m_ownsNotifications = false;
};

} // namespace kestrune
