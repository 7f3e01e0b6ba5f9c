// mdutil: Kestrune's stand-in for the tool that switches file indexing.
//
//   mdutil -a -i on|off
//
// On the simulated machine (KESTRUNE_SYSFS_ROOT set) it keeps the state in the tree's
// kestrune-sim/indexing file. On a real machine it resumes or pauses the system's periodic
// file-index refresh (the plocate or mlocate updatedb timer) and fails when there is none.
// Exit status 0 on success, 1 on failure, 64 for a command line it does not know.

#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/TimerUnits.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

namespace {
const QStringList indexerTimers{QStringLiteral("plocate-updatedb.timer"), QStringLiteral("mlocate.timer")};
} // namespace

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

    QString error;
    const QString root = PlatformEnvironment::sysfsRoot();
    if (root != QLatin1String("/sys")) {
        if (!SimTree::writeState(root, QStringLiteral("indexing"), arguments.at(2), &error)) {
            err << "mdutil: " << error << '\n';
            return 1;
        }
    } else {
        const QStringList timers = TimerUnits::installed(indexerTimers);
        if (timers.isEmpty()) {
            err << "mdutil: no file indexer to switch on this machine (looked for " << indexerTimers.join(", ")
                << ")\n";
            return 1;
        }
        if (!TimerUnits::setRunning(timers, on, &error)) {
            err << "mdutil: " << error << '\n';
            return 1;
        }
    }
    out << (on ? "Indexing enabled.\n" : "Indexing disabled.\n");
    return 0;
}
