#pragma once

#include "Platform/ServiceManagement/ServiceManagement.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

// Launch at login: the application's XDG autostart entry. The session starts every entry of
// the autostart folders at login; an entry in the user's folder overrides a system-wide one
// of the same name, and Hidden=true or X-GNOME-Autostart-enabled=false switches it off.
class LoginItem {
public:
    // The argument that only the autostart entry passes, so the program can tell a launch at
    // login from one the user asked for.
    static constexpr auto launchArgument = "--login-item";
    static constexpr auto entryName = "org.kestrune.Kestrune.desktop";

    struct Options {
        QString autostartDirectory;        // the user's ($XDG_CONFIG_HOME/autostart)
        QStringList systemAutostartDirectories; // $XDG_CONFIG_DIRS/autostart, first wins
        QString program;                   // the absolute path the entry starts
    };

    explicit LoginItem(Options options);
    // The user's folders and this running program.
    static Options standardOptions();

    // Enabled while the entry in force (the user's, else the first system one) exists and is
    // not switched off; NotRegistered otherwise.
    ServiceManagement::Status status() const;
    // Nothing on success, otherwise the error's description for the user. An entry the desktop
    // would not start (the program is not there to run as the entry names it) is not written.
    std::optional<QString> registerItem();
    std::optional<QString> unregisterItem();

    QString entryPath() const;
    // The entry's text, or nothing when the program's path cannot be written on an Exec line.
    std::optional<QString> entryContents() const;

private:
    // Why the desktop would not start the program from an entry of `contents`, if it would not.
    std::optional<QString> startFailure(const QString& contents) const;
    std::optional<QString> systemEntryPath() const;
    std::optional<QString> writeEntry(const QString& contents);

    Options m_options;
};

} // namespace kestrune
