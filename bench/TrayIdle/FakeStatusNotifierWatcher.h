#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <chrono>

namespace kestrune {

// The desktop's tray as StatusNotifierItem hosts offer it: a watcher on the session bus with
// which tray icons register. With it, Qt finds a tray under a bare X server, so the program
// runs as it does on a desktop: a tray item and a closed popover. Like a desktop's tray, it
// reads an item's properties (its icon's pixmaps, its tooltip) when the item registers and
// again whenever the item announces a new icon, tooltip, title or status, so that what an
// item draws for the tray is paid for as on a desktop.
class FakeStatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    using Clock = std::chrono::steady_clock;

    explicit FakeStatusNotifierWatcher(QDBusConnection bus, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    bool isRegistered() const { return m_registered; }
    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // When the process `pid` registered its item, if it did.
    std::optional<Clock::time_point> registeredAt(qint64 pid) const;

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service);

signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private slots:
    void readItem(const QDBusMessage& announcement);

private:
    void readItem(const QString& service, const QString& path);

    QDBusConnection m_bus;
    bool m_registered = false;
    QStringList m_items;
    QHash<qint64, Clock::time_point> m_registeredAt;
};

} // namespace kestrune
