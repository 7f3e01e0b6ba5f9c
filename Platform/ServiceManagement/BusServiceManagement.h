#pragma once

#include "Platform/ServiceManagement/ServiceManagement.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

namespace kestrune {

// The daemon's registration on Linux: a D-Bus service that the bus starts on demand.
//
// The daemon counts as enabled while its bus name has an owner or the bus knows how to start
// it (an activation file names it); as not found when its program is missing; otherwise as not
// registered. On the session bus (the demo and the simulated machine) registering writes the
// activation file into the user's own service folder and unregistering removes it. The system
// bus's activation and policy files belong to the administrator: there registering only
// confirms an installation, and fails with the install step when there is none.
class BusServiceManagement final : public ServiceManagement {
public:
    struct Options {
        bool systemBus = true;
        QString label;               // the daemon's bus name
        QString program;             // the daemon's executable
        QString activationDirectory; // session bus: the folder the bus reads activation files from
        QStringList environment;     // session bus: VAR=value pairs the started daemon runs with
        QString installCommand;      // system bus: what the administrator runs to install the daemon
    };

    BusServiceManagement(QDBusConnection bus, Options options);

    // The helper bus, the daemon installed next to the application (or under ../libexec/kestrune),
    // the user's $XDG_DATA_HOME/dbus-1/services, and the platform roots passed on to the daemon.
    static Options standardOptions(const QString& label);

    Status daemonStatus() override;
    std::optional<QString> registerDaemon() override;
    std::optional<QString> unregisterDaemon() override;
    bool openSystemSettingsLoginItems() override;
    QString enableInstructions() const override;

    QString activationFilePath() const;
    // The activation file's text: the name and a command line the bus can run without a shell;
    // nothing when a path or variable cannot be written on that line.
    std::optional<QString> activationFileContents() const;

private:
    bool programExists() const;
    void reloadBus();

    QDBusConnection m_bus;
    Options m_options;
};

} // namespace kestrune
