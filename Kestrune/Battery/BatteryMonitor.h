#pragma once

#include "Foundation/Clock.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Platform/Environment/PlatformEnvironment.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

namespace kestrune {

class PowerSourceNotifier;

// Produces battery snapshots: on a repeating timer and whenever a power source changes.
// The latest good reading stays in current(); each new one is handed to onUpdate
// synchronously, on the main thread.
class BatteryMonitor : public QObject {
    Q_OBJECT

public:
    // `sysfsRoot` holds class/power_supply; `clock` dates the readings; `changePoll` is how
    // often a tree without kernel notices (a simulated machine) is looked at for changes
    // where the file system cannot tell when it changes; none: no power-source notices.
    explicit BatteryMonitor(QString sysfsRoot = PlatformEnvironment::sysfsRoot(),
                            const Clock& clock = Clock::system(),
                            std::optional<std::chrono::milliseconds> changePoll = std::chrono::seconds(2),
                            QObject* parent = nullptr);
    ~BatteryMonitor() override;

    // The latest successful reading; never cleared by a failed one.
    const std::optional<BatterySnapshot>& current() const { return m_current; }
    std::function<void(const BatterySnapshot&)> onUpdate;

    // (Re)starts sampling: one reading at once, then one every `intervalSeconds` and one on
    // every power-source change.
    void start(double intervalSeconds);
    void stop();
    bool isSampling() const { return m_timer != nullptr; }

    // Reads the battery now. A failed reading returns nothing and changes nothing.
    std::optional<BatterySnapshot> refresh();

    // One reading of the battery under `sysfsRoot`, dated `now`.
    static std::optional<BatterySnapshot> readSnapshot(const QString& sysfsRoot, const QDateTime& now);
    // A snapshot from registry-style properties: nothing unless `properties` is a dictionary
    // with string keys; single missing or malformed properties take their neutral value.
    static std::optional<BatterySnapshot> snapshot(const QVariant& properties, const QDateTime& now);

private:
    QString m_root;
    const Clock& m_clock;
    std::optional<std::chrono::milliseconds> m_changePoll;
    std::optional<BatterySnapshot> m_current;
    QTimer* m_timer = nullptr;
    PowerSourceNotifier* m_source = nullptr;
};

} // namespace kestrune
