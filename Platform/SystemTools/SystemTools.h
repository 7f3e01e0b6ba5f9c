#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace kestrune {

// The system tools the daemon runs, named by the paths callers and messages use
// ("/usr/bin/pmset"), and where the program that answers for each one really lives. On
// Linux these are Kestrune's own stand-ins, installed next to the daemon; tests hand in a
// table of fake scripts.
class SystemTools {
public:
    static constexpr auto powermetrics = "/usr/bin/powermetrics";
    static constexpr auto pmset = "/usr/bin/pmset";
    static constexpr auto mdutil = "/usr/bin/mdutil";
    static constexpr auto tmutil = "/usr/bin/tmutil";

    SystemTools() = default;
    // `table` maps a tool path to the program to run in its place.
    explicit SystemTools(QHash<QString, QString> table);

    // The stand-ins found for a daemon whose program is in `programDir`: beside it (the
    // installed layout, libexec/kestrune), in the build tree's tools/<name>/ folders, or in
    // `libexecDir`. A tool found nowhere keeps its own path (and fails to launch there).
    static SystemTools locate(const QString& programDir, const QString& libexecDir);

    // The program to run for `toolPath`.
    QString resolve(const QString& toolPath) const;

private:
    QHash<QString, QString> m_table;
};

} // namespace kestrune
