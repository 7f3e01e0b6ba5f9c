#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QFileSystemWatcher;
class QSocketNotifier;

namespace kestrune {

// Tells when a power source changed: an adapter plugged in or out, the battery starting or
// stopping to charge. On the real /sys the kernel announces it (uevents of the power_supply
// subsystem over netlink); a simulated tree in a folder has no kernel behind it, so there the
// notifier has the file system tell it (inotify) when an adapter's `online` or a battery's
// `status` is written or replaced, or a supply comes or goes, and wakes for nothing else.
// Where neither can be had (no netlink socket, no inotify), it looks at those files every
// poll interval.
class PowerSourceNotifier : public QObject {
    Q_OBJECT

public:
    enum class Mechanism { None, Netlink, Watch, Poll };

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
    bool startWatching();
    // Watches the supplies' folder and the files that tell their state, those replaced since
    // they were watched included; false when the folder cannot be watched.
    bool watchTree();
    void startPolling();
    // Announces a change when the state differs from the one last seen.
    void checkState();
    QString pollState() const;
    void announce();

    QString m_root;
    std::chrono::milliseconds m_pollInterval;
    Mechanism m_mechanism = Mechanism::None;
    int m_socket = -1;
    QSocketNotifier* m_socketNotifier = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_pollTimer;
    QString m_lastState;
    bool m_announcePending = false;
};

} // namespace kestrune
