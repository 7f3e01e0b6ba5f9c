// tmutil: Kestrune's stand-in for the tool that switches scheduled backups.
//
//   tmutil enable|disable
//
// On the simulated machine (KESTRUNE_SYSFS_ROOT set) backups are the tree's
// kestrune-sim/backups file ("enabled" or "disabled"). On a real machine they are the
// system's backup timer (snapper's timeline snapshots or borgmatic); without one it fails.
// "disable" pauses only backups that run, and "enable" resumes only what an earlier
// "disable" paused, so backups the administrator switched off stay off. Exit status 0 on
// success, 1 on failure, 64 for a command line it does not know.

#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/PeriodicJobs.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

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

    PeriodicJobs backups(PlatformEnvironment::sysfsRoot(), QStringLiteral("backup timer"),
                         QStringLiteral("tmutil.paused"),
                         {QStringLiteral("snapper-timeline.timer"), QStringLiteral("borgmatic.timer")},
                         {QStringLiteral("backups"), QStringLiteral("enabled"), QStringLiteral("disabled")});
    QString error;
    if (!(enable ? backups.resume(&error) : backups.pause(&error))) {
        err << "tmutil: " << error << '\n';
        return 1;
    }
    return 0;
}
