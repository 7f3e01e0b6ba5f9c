// kestrune-smc: the daemon's charging-key operations from the command line, for checking
// a machine (or the simulated one under KESTRUNE_SYSFS_ROOT) without the daemon.
//
//   kestrune-smc probe | state | reset
//   kestrune-smc charging on|off | discharge on|off | limit80 on|off
//
// Each prints the JSON reply the daemon would send.

#include "KestruneHelper/ChargingSMC.h"
#include "KestruneHelper/SMCConnection.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "Shared/HelperCommandResult.h"

#include <QCoreApplication>
#include <QTextStream>

#include <functional>

using namespace kestrune;

namespace {

int usage()
{
    QTextStream(stderr) << "usage: kestrune-smc probe | state | reset | charging on|off | discharge on|off"
                           " | limit80 on|off\n";
    return 2;
}

int print(const std::optional<QByteArray>& json)
{
    QTextStream out(stdout);
    out << (json ? QString::fromUtf8(*json) : QStringLiteral("null")) << '\n';
    return json ? 0 : 1;
}

int command(SMCConnection& smc, const std::function<void(ChargingSMC&)>& work)
{
    ChargingSMC charging(smc);
    try {
        work(charging);
        print(HelperCommandResult::ok().toJson());
        return 0;
    } catch (const SMCError& error) {
        print(HelperCommandResult::failure(error.text()).toJson());
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString verb = args.at(0);
    const QString value = args.value(1);
    if (args.size() == 2 && value != QLatin1String("on") && value != QLatin1String("off"))
        return usage();
    const bool on = value == QLatin1String("on");

    std::unique_ptr<SMCConnection> smc;
    try {
        smc = std::make_unique<SMCConnection>(PlatformEnvironment::sysfsRoot());
    } catch (const SMCError& error) {
        QTextStream(stderr) << "kestrune-smc: " << error.text() << '\n';
        return 1;
    }

    if (verb == QLatin1String("probe") && args.size() == 1)
        return print(ChargingSMC(*smc).probe().toJson());
    if (verb == QLatin1String("state") && args.size() == 1)
        return print(ChargingSMC(*smc).readState().toJson());
    if (verb == QLatin1String("reset") && args.size() == 1)
        return command(*smc, [](ChargingSMC& c) { c.resetDefaults(); });
    if (verb == QLatin1String("charging") && args.size() == 2)
        return command(*smc, [on](ChargingSMC& c) { c.setChargingEnabled(on); });
    if (verb == QLatin1String("discharge") && args.size() == 2)
        return command(*smc, [on](ChargingSMC& c) { c.setForceDischarge(on); });
    if (verb == QLatin1String("limit80") && args.size() == 2)
        return command(*smc, [on](ChargingSMC& c) { c.writeSized(QStringLiteral("CHWA"), on ? 1 : 0); });
    return usage();
}
