#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QSocketNotifier;

namespace kestrune {

// Tells when a power source changed: an adapter plugged in or out, the battery starting or
// stopping to charge. On the real /sys the kernel announces it (uevents of the power_supply
// subsystem over netlink); a simulated tree in a folder has no kernel behind it, so there the
// notifier looks at the adapters' `online` and the batteries' `status` every poll interval.
// The netlink socket also falls back to polling when it cannot be opened or fails.
class PowerSourceNotifier : public QObject {
    Q_OBJECT

public:
    enum class Mechanism { None, Netlink, Poll };

    explicit PowerSourceNotifier(QString sysfsRoot,
                                 std::chrono::milliseconds pollInterval = std::chrono::seconds(2),
                                 QObject* parent = nullptr);
    ~PowerSourceNotifier() override;

    // Starts watching (again); returns the mechanism in use.
    Mechanism start();
    void stop();
    Mechanism mechanism() const { return m_mechanism; }

    // Whether one kernel uevent datagram ("ACTION@DEVPATH\0KEY=VALUE\0...") concerns a power
    // supply.
    static bool isPowerSupplyEvent(const QByteArray& datagram);

signals:
    // Emitted on the thread that owns the notifier, at most once per burst of events.
    void changed();

private:
    bool openNetlink();
    void closeNetlink();
    void readNetlink();
    void startPolling();
    QString pollState() const;
    void announce();

    QString m_root;
    std::chrono::milliseconds m_pollInterval;
    Mechanism m_mechanism = Mechanism::None;
    int m_socket = -1;
    QSocketNotifier* m_socketNotifier = nullptr;
    QTimer m_pollTimer;
    QString m_lastState;
    bool m_announcePending = false;
};

} // namespace kestrune
