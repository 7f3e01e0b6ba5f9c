// mdutil: Kestrune's stand-in for the tool that switches file indexing.
//
//   mdutil -a -i on|off
//
// On the simulated machine (KESTRUNE_SYSFS_ROOT set) indexing is the tree's
// kestrune-sim/indexing file ("on" or "off"). On a real machine it is the system's periodic
// file-index refresh (the plocate or mlocate updatedb timer); without one it fails. "off"
// pauses only indexing that runs, and "on" resumes only what an earlier "off" paused, so
// indexing the administrator switched off stays off. Exit status 0 on success, 1 on failure,
// 64 for a command line it does not know.

#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/PeriodicJobs.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (arguments.size() != 3 || arguments.at(0) != QLatin1String("-a") || arguments.at(1) != QLatin1String("-i")
        || (arguments.at(2) != QLatin1String("on") && arguments.at(2) != QLatin1String("off"))) {
        err << "usage: mdutil -a -i on|off\n";
        return 64;
    }
    const bool on = arguments.at(2) == QLatin1String("on");

    PeriodicJobs indexing(PlatformEnvironment::sysfsRoot(), QStringLiteral("file indexer"),
                          QStringLiteral("mdutil.paused"),
                          {QStringLiteral("plocate-updatedb.timer"), QStringLiteral("mlocate.timer")},
                          {QStringLiteral("indexing"), QStringLiteral("on"), QStringLiteral("off")});
    QString error;
    if (!(on ? indexing.resume(&error) : indexing.pause(&error))) {
        err << "mdutil: " << error << '\n';
        return 1;
    }
    out << (on ? "Indexing enabled.\n" : "Indexing disabled.\n");
    return 0;
}
