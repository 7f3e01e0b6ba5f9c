// kestrune-sim: the simulated laptop that stands in for real battery hardware. See usage().

#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <optional>

using namespace kestrune;

namespace {

const char* const usageText =
    "usage: kestrune-sim COMMAND DIR [options]\n"
    "\n"
    "  tree DIR [--capacity N] [--charge-units] [--unplugged] [--no-charge-behaviour]\n"
    "           [--no-end-threshold]\n"
    "      lays out the sysfs tree of a laptop under DIR.\n"
    "  run DIR [--tick-ms MS] [--speed X] [--ticks N] [--processes-of PID]\n"
    "      runs the battery model on the tree until stopped: every MS milliseconds (default\n"
    "      1000) the charge moves by X seconds' worth (default 1, so real time) per second\n"
    "      of the tick. It charges at 30 W below 80 %, tapering to 6 W at 100 %, while the\n"
    "      adapter is online, unless charge_behaviour is inhibit-charge or the capacity has\n"
    "      reached charge_control_end_threshold; it drains by the machine's draw on battery or\n"
    "      under force-discharge. The draw is the load, times 0.8 in low power mode\n"
    "      (firmware/acpi/platform_profile \"low-power\"), plus up to 3 W for the display and\n"
    "      0.5 W for the keyboard backlight by brightness, less 0.3 W per process at\n"
    "      background priority (at most 1.5 W). --ticks N stops after N ticks. With\n"
    "      --processes-of PID only the descendants of PID count as the machine's processes.\n"
    "      Example: from 70 % to 80 % in about a second: --tick-ms 50 --speed 600.\n"
    "  plug DIR | unplug DIR\n"
    "      puts the adapter online or offline.\n"
    "  load DIR WATTS\n"
    "      sets the machine's load (default 8 W), the draw before display, keyboard and savings.\n";

int usage()
{
    QTextStream(stderr) << usageText;
    return 2;
}

int runModel(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("run"), QStringLiteral("the command"));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder of the tree"));
    const QCommandLineOption tickMs(QStringLiteral("tick-ms"), QStringLiteral("milliseconds between steps"),
                                    QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption speed(QStringLiteral("speed"), QStringLiteral("simulated seconds per real second"),
                                   QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption ticks(QStringLiteral("ticks"), QStringLiteral("stop after N steps"), QStringLiteral("N"));
    const QCommandLineOption processesOf(QStringLiteral("processes-of"),
                                         QStringLiteral("count only this process's descendants"),
                                         QStringLiteral("PID"));
    parser.addOptions({tickMs, speed, ticks, processesOf});
    if (!parser.parse(arguments) || parser.positionalArguments().size() != 2)
        return usage();

    QTextStream err(stderr);
    bool ok = false;
    const int interval = parser.value(tickMs).toInt(&ok);
    if (!ok || interval < 1) {
        err << "kestrune-sim: --tick-ms must be a whole number of milliseconds, 1 or more\n";
        return 2;
    }
    const double factor = parser.value(speed).toDouble(&ok);
    if (!ok || !(factor > 0) || !std::isfinite(factor)) {
        err << "kestrune-sim: --speed must be a number above 0\n";
        return 2;
    }
    qint64 remaining = -1;
    if (parser.isSet(ticks)) {
        remaining = parser.value(ticks).toLongLong(&ok);
        if (!ok || remaining < 1) {
            err << "kestrune-sim: --ticks must be a whole number, 1 or more\n";
            return 2;
        }
    }

    std::optional<qint64> ancestor;
    if (parser.isSet(processesOf)) {
        ancestor = parser.value(processesOf).toLongLong(&ok);
        if (!ok || *ancestor < 1) {
            err << "kestrune-sim: --processes-of must be a process id\n";
            return 2;
        }
    }

    BatteryModel model(parser.positionalArguments().at(1));
    if (ancestor)
        model.setThrottledCounter([ancestor] { return BatteryModel::countBackgroundProcesses(ancestor); });
    const double secondsPerTick = interval / 1000.0 * factor;
    QString error;
    if (!model.step(0, &error)) {
        err << "kestrune-sim: " << error << '\n';
        return 1;
    }
    QTimer timer;
    timer.setInterval(interval);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!model.step(secondsPerTick, &error)) {
            err << "kestrune-sim: " << error << '\n';
            QCoreApplication::exit(1);
            return;
        }
        if (remaining > 0 && --remaining == 0)
            QCoreApplication::exit(0);
    });
    timer.start();
    return QCoreApplication::exec();
}

int setAdapter(const QStringList& arguments, bool online)
{
    if (arguments.size() != 3)
        return usage();
    QString error;
    if (!BatteryModel::setAdapterOnline(arguments.at(2), online, &error)) {
        QTextStream(stderr) << "kestrune-sim: " << error << '\n';
        return 1;
    }
    return 0;
}

int setLoad(const QStringList& arguments)
{
    if (arguments.size() != 4)
        return usage();
    bool ok = false;
    const double watts = arguments.at(3).toDouble(&ok);
    QString error;
    if (!ok || !BatteryModel::setLoad(arguments.at(2), watts, &error)) {
        QTextStream(stderr) << "kestrune-sim: " << (ok ? error : QStringLiteral("WATTS must be a number")) << '\n';
        return ok ? 1 : 2;
    }
    return 0;
}

int layOutTree(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lays out a simulated battery tree."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("tree"), QStringLiteral("the command"));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder of the tree"));
    const QCommandLineOption capacity(QStringLiteral("capacity"), QStringLiteral("charge in percent"),
                                      QStringLiteral("N"), QStringLiteral("70"));
    const QCommandLineOption chargeUnits(QStringLiteral("charge-units"),
                                         QStringLiteral("charge_* (µAh) attributes instead of energy_*"));
    const QCommandLineOption unplugged(QStringLiteral("unplugged"), QStringLiteral("adapter offline"));
    const QCommandLineOption noBehaviour(QStringLiteral("no-charge-behaviour"),
                                         QStringLiteral("battery without charge_behaviour"));
    const QCommandLineOption noThreshold(QStringLiteral("no-end-threshold"),
                                         QStringLiteral("battery without charge_control_end_threshold"));
    parser.addOptions({capacity, chargeUnits, unplugged, noBehaviour, noThreshold});
    parser.process(arguments);

    QTextStream err(stderr);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        err << "usage: kestrune-sim tree DIR [options]\n";
        return 2;
    }
    bool ok = false;
    SimTree::Options options;
    options.capacityPercent = parser.value(capacity).toInt(&ok);
    if (!ok || options.capacityPercent < 0 || options.capacityPercent > 100) {
        err << "kestrune-sim: --capacity must be a whole number from 0 to 100\n";
        return 2;
    }
    if (parser.isSet(chargeUnits))
        options.units = SimTree::Options::Units::Charge;
    options.acOnline = !parser.isSet(unplugged);
    if (parser.isSet(noBehaviour))
        options.behaviourModes.clear();
    if (parser.isSet(noThreshold))
        options.endThreshold.reset();

    QString error;
    if (!SimTree::create(positional.at(1), options, &error)) {
        err << "kestrune-sim: " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << SimTree::batteryPath(positional.at(1), options) << '\n';
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-sim"));
    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("tree"))
        return layOutTree(arguments);
    if (command == QLatin1String("run"))
        return runModel(arguments);
    if (command == QLatin1String("plug") || command == QLatin1String("unplug"))
        return setAdapter(arguments, command == QLatin1String("plug"));
    if (command == QLatin1String("load"))
        return setLoad(arguments);
    return usage();
}
