// kestrune-sim: the simulated laptop that stands in for real battery hardware.
//
//   kestrune-sim tree DIR [--capacity N] [--charge-units] [--unplugged]
//                         [--no-charge-behaviour] [--no-end-threshold]
//       lays out the sysfs tree of a laptop under DIR.

#include "tools/kestrune-sim/SimTree.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using namespace kestrune;

namespace {

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
    QTextStream(stderr) << "usage: kestrune-sim tree DIR [options]\n";
    return 2;
}
