// tmutil: Kestrune's stand-in for the tool that switches scheduled backups.
//
//   tmutil enable|disable
//
// On the simulated machine (KESTRUNE_SYSFS_ROOT set) it keeps the state in the tree's
// kestrune-sim/backups file. On a real machine it resumes or pauses the system's backup
// timer (snapper's timeline snapshots or borgmatic) and fails when there is none.
// Exit status 0 on success, 1 on failure, 64 for a command line it does not know.

#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/TimerUnits.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

namespace {
const QStringList backupTimers{QStringLiteral("snapper-timeline.timer"), QStringLiteral("borgmatic.timer")};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream err(stderr);
    if (arguments.size() != 1
        || (arguments.at(0) != QLatin1String("enable") && arguments.at(0) != QLatin1String("disable"))) {
        err << "usage: tmutil enable|disable\n";
        return 64;
    }
    const bool enable = arguments.at(0) == QLatin1String("enable");

    QString error;
    const QString root = PlatformEnvironment::sysfsRoot();
    if (root != QLatin1String("/sys")) {
        if (!SimTree::writeState(root, QStringLiteral("backups"),
                                 enable ? QStringLiteral("enabled") : QStringLiteral("disabled"), &error)) {
            err << "tmutil: " << error << '\n';
            return 1;
        }
        return 0;
    }
    const QStringList timers = TimerUnits::installed(backupTimers);
    if (timers.isEmpty()) {
        err << "tmutil: no backup timer to switch on this machine (looked for " << backupTimers.join(", ") << ")\n";
        return 1;
    }
    if (!TimerUnits::setRunning(timers, enable, &error)) {
        err << "tmutil: " << error << '\n';
        return 1;
    }
    return 0;
}
