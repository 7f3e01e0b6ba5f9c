#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

namespace kestrune {

// The desktop's tray as StatusNotifierItem hosts offer it: a watcher on the session bus with
// which tray icons register. With it, Qt finds a tray under a bare X server, so the program
// runs as it does on a desktop: a tray item and a closed popover.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit FakeStatusNotifierWatcher(QDBusConnection bus, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    bool isRegistered() const { return m_registered; }
    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service);

signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    bool m_registered = false;
    QStringList m_items;
};

} // namespace kestrune
