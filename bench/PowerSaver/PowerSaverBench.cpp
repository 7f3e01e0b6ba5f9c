// One battery tick of the power saver, without the daemon round trips a tick may add.

#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/ManualClock.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace kestrune;

namespace {

// The engine over a simulated machine's backlights and a temporary store, with no daemon.
struct Machine {
    QTemporaryDir dir;
    QString root = dir.filePath(QStringLiteral("sys"));
    test::ManualClock clock;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.json"))};
    ChargingSettings settings{defaults};
    test::FakeServiceManagement services{ServiceManagement::Status::Enabled};
    HelperClient client{QDBusConnection(QStringLiteral("none")), services, defaults};
    FakeWorkspace workspace;
    ProcessEnergyTracker tracker{defaults, workspace, clock};
    bool treeMade = SimTree::create(root, SimTree::Options());
    DisplayControl display{root, std::make_shared<SysfsBacklightWriter>(root)};
    std::unique_ptr<HistoryStore> history = HistoryStore::open(dir.filePath(QStringLiteral("History.store")), nullptr, clock);
    QList<test::Posted> posts;
    Notifier notifier{std::make_unique<test::RecordingNotifications>(&posts), clock};
    SavingsModel savings{defaults, clock};
    PowerSaverEngine engine{settings, client, tracker, display, history.get(), notifier, savings, defaults, clock,
                            LocalCalendar()};

    BatterySnapshot reading() const
    {
        BatterySnapshot s;
        s.socPercent = 55;
        s.voltageV = 12;
        s.amperageA = -0.8;
        s.nominalCapacitymAh = 5000;
        return s;
    }
    void tick()
    {
        clock.advance(30);
        QCoro::waitFor(engine.evaluate(reading(), clock.now()));
    }
};

void BM_BatteryTick(benchmark::State& state)
{
    Machine machine;
    machine.tick(); // the session starts
    for (auto _ : state)
        machine.tick();
}
BENCHMARK(BM_BatteryTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
