#pragma once

#include "Platform/Updater/Updater.h"

#include <QObject>

namespace kestrune {

// Owns the application's updater and tells the views whether a check can start now. The
// views disable their check-for-updates buttons while `canCheckForUpdates` is false, start a
// check through `controller()->checkForUpdates()` and show `controller()->lastUpdateCheckDate()`.
class UpdaterManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    UpdaterManager(Updater::Options options, UserDefaults& defaults, UpdateUserDriver& driver,
                   const Clock& clock = Clock::system(), QObject* parent = nullptr);

    Updater* controller() const { return m_controller; }

    // False until the updater's own value has been taken over, shortly after construction.
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    void updaterChanged();

    Updater* m_controller = nullptr;
    bool m_canCheckForUpdates = false;
};

} // namespace kestrune
