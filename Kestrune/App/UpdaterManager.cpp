#include "Kestrune/App/UpdaterManager.h"

#include <QTimer>

namespace kestrune {

UpdaterManager::UpdaterManager(Updater::Options options, UserDefaults& defaults, UpdateUserDriver& driver,
                               const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_controller(new Updater(std::move(options), defaults, driver, clock, this))
{
    connect(m_controller, &Updater::canCheckForUpdatesChanged, this, &UpdaterManager::updaterChanged);
    // The updater's value at start arrives the same way as every later one.
    updaterChanged();
}

void UpdaterManager::updaterChanged()
{
    // The value is the updater's when it reports, stored by a posted task that is dropped
    // once the manager is gone.
    const bool canCheck = m_controller->canCheckForUpdates();
    QTimer::singleShot(0, this, [this, canCheck] {
        if (m_canCheckForUpdates == canCheck)
            return;
        m_canCheckForUpdates = canCheck;
        emit canCheckForUpdatesChanged(canCheck);
    });
}

} // namespace kestrune
