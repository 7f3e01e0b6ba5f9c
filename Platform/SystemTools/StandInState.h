#pragma once

#include <QString>

#include <optional>

namespace kestrune {

// What the stand-in system tools remember between their runs (the power profile low power
// mode replaced, the jobs a pause stopped), one small file per name: on the simulated
// machine beside its other state, <root>/kestrune-sim/<name>; on the real one (sysfs root
// "/sys") in Kestrune's state folder, which outlives a restart as the settings it records do.
class StandInState {
public:
    static constexpr auto stateFolder = "/var/lib/kestrune";

    static QString path(const QString& sysfsRoot, const QString& name);
    // The file's text without surrounding white space; nothing when there is no such file.
    static std::optional<QString> read(const QString& sysfsRoot, const QString& name);
    // Replaces the file whole (readers never see half of it), creating its folder.
    static bool write(const QString& sysfsRoot, const QString& name, const QString& value, QString* error = nullptr);
    static bool remove(const QString& sysfsRoot, const QString& name, QString* error = nullptr);
};

} // namespace kestrune
