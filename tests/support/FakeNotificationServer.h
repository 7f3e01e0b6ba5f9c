#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace kestrune::test {

// A desktop notification service on a test bus: records what it is asked to show and lets
// the test click or close a notification.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint id;
        QString application, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;
    // What GetCapabilities announces ("body-markup": bodies are read as markup).
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};

    explicit FakeNotificationServer(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }
    bool publish();
    void invokeAction(uint id, const QString& action) { emitSignal("ActionInvoked", id, action); }
    void close(uint id) { emitSignal("NotificationClosed", id, 2u); }

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& application, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);

private:
    void emitSignal(const char* name, uint id, const QVariant& argument);
    QDBusConnection m_bus;
    uint m_nextId = 7;
};

} // namespace kestrune::test
