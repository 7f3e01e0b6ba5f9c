// How long one call to the daemon takes, from the application's side of the bus: the
// version, answered at once, against a state read, which goes through the controller queue
// and reads the batteries; and the controller's share of that read alone. The daemon runs
// over a simulated laptop with two batteries.

#include "KestruneHelper/ChargingSMC.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusMessage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

using namespace kestrune;
using namespace kestrune::test;

namespace {

struct Daemon {
    QTemporaryDir machine;
    PrivateBus bus;
    HelperDaemonProcess process;
    QDBusConnection client{QString()};

    Daemon()
    {
        SimTree::Options second;
        second.batteryName = QStringLiteral("BAT1");
        if (!SimTree::create(machine.path(), {}) || !SimTree::create(machine.path(), second)
            || !process.start(bus, machine.path())) {
            std::cerr << "cannot start the daemon\n";
            std::exit(1);
        }
        client = bus.connect(QStringLiteral("bench"));
    }

    void call(QLatin1StringView method)
    {
        const QDBusMessage reply = client.call(QDBusMessage::createMethodCall(
            QString(HelperProtocol::label), QString(HelperProtocol::objectPath), QString(HelperProtocol::label),
            QString(method)));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::cerr << "the call failed: " << reply.errorMessage().toStdString() << '\n';
            std::exit(1);
        }
    }
};

Daemon& daemon()
{
    static Daemon instance;
    return instance;
}

void getVersion(benchmark::State& state)
{
    Daemon& d = daemon();
    for (auto _ : state)
        d.call(HelperProtocol::getVersion);
}
BENCHMARK(getVersion)->Unit(benchmark::kMicrosecond);

void readChargingState(benchmark::State& state)
{
    Daemon& d = daemon();
    for (auto _ : state)
        d.call(HelperProtocol::readChargingState);
}
BENCHMARK(readChargingState)->Unit(benchmark::kMicrosecond);

// The controller's share of a state read: one operation over the simulated batteries.
void readStateOfTheController(benchmark::State& state)
{
    Daemon& d = daemon();
    SMCConnection smc(d.machine.path());
    for (auto _ : state) {
        ChargingSMC charging(smc);
        benchmark::DoNotOptimize(charging.readState());
    }
}
BENCHMARK(readStateOfTheController)->Unit(benchmark::kMicrosecond);

} // namespace
