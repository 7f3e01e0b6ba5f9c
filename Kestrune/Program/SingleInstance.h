#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

namespace kestrune {

// One instance of the application per session. The first owns the bus name
// org.kestrune.Kestrune and offers the desktop's application interface
// (org.freedesktop.Application); a later launch asks it to come forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static constexpr auto serviceName = "org.kestrune.Kestrune";
    static constexpr auto objectPath = "/org/kestrune/Kestrune";
    static constexpr auto interfaceName = "org.freedesktop.Application";

    enum class Claim {
        Owned,            // this is the instance; `activated` follows every later launch
        OtherActivated,   // another instance runs and was asked to come forward
        OtherUnreachable, // another instance owns the name but did not answer
        NoBus,            // no session bus: nothing can tell instances apart
    };

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;

    Claim claim(int timeoutMs = 5000);
    // Lets the name go, so that a new instance can take it at once (a relaunch).
    void release();

public slots:
    // Called by a later launch (or by the desktop) on the instance.
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);

signals:
    void activated();

private:
    QDBusConnection m_bus;
    bool m_owned = false;
};

} // namespace kestrune
