// The power saver's battery tick after a month of savings, without the daemon round trips a
// tick may add (a quiet one, a steady one at the maximum level with four actions in force over
// 200 processes, and one at the lowest level while a heavy process runs), and one
// low-power-mode apply against the fake daemon. A window is in front throughout, this
// process's: protecting an application's processes walks the process table.

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
#include "Shared/HelperProtocol.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace kestrune;

namespace {

// The engine over a simulated machine's backlights, a temporary store and a fake daemon on a
// private bus.
struct Machine {
    test::PrivateBus bus;
    test::FakeHelperDaemon daemon{bus.connect(QStringLiteral("daemon"))};
    QTemporaryDir dir;
    QString root = dir.filePath(QStringLiteral("sys"));
    test::ManualClock clock;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.json"))};
    ChargingSettings settings{defaults};
    test::FakeServiceManagement services{ServiceManagement::Status::Enabled};
    HelperClient client{bus.connect(QStringLiteral("app")), services, defaults};
    FakeWorkspace workspace{RunningApplication{QStringLiteral("Bench"), QString(), QCoreApplication::applicationPid()}};
    ProcessEnergyTracker tracker{defaults, workspace, clock};
    bool treeMade = SimTree::create(root, SimTree::Options());
    DisplayControl display{root, std::make_shared<SysfsBacklightWriter>(root)};
    std::unique_ptr<HistoryStore> history = HistoryStore::open(dir.filePath(QStringLiteral("History.store")), nullptr, clock);
    bool ledgerSeeded = seedLedger();
    QList<test::Posted> posts;
    Notifier notifier{std::make_unique<test::RecordingNotifications>(&posts), clock};
    SavingsModel savings{defaults, clock};
    PowerSaverEngine engine{settings, client, tracker, display, history.get(), notifier, savings, defaults, clock,
                            LocalCalendar()};
    PowerSaverEngineTestAccess access{engine};

    // A month of savings, as the milestone check finds it after a month of use.
    bool seedLedger()
    {
        for (int day = 1; day < 30; ++day)
            history->accrueSavings(1.5, 12, 3, clock.now().addDays(-day));
        return true;
    }

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
    // Connected, with a heavy process in the last two samples and no sample due for a year.
    void heavyProcessRuns()
    {
        QCoro::waitFor(client.tryConnectAndProbe());
        PowerMetricsReport report{clock.now(), 2, {}};
        report.processes.push_back({100, QStringLiteral("heavy"), 5000, 0});
        for (int i = 1; i < 200; ++i)
            report.processes.push_back({100 + i, QStringLiteral("process%1").arg(i), 10, 0});
        tracker.recordSample(report);
        tracker.recordSample(report);
        access.lastSampleAt() = clock.now().addYears(1);
    }
};

// Level 1 without the daemon: the keyboard backlight off in force and one ledger accrual.
void BM_QuietBatteryTick(benchmark::State& state)
{
    Machine machine;
    machine.tick(); // the session starts
    for (auto _ : state)
        machine.tick();
}
BENCHMARK(BM_QuietBatteryTick)->Unit(benchmark::kMicrosecond);

// Level 3 (boost) with low power mode, the keyboard off, the 50 % cap and one throttle in
// force, all still wanted: candidates, selection and one ledger accrual, no daemon call.
void BM_SteadyMaximumTick(benchmark::State& state)
{
    Machine machine;
    machine.heavyProcessRuns();
    machine.display.applyBrightnessCap(0.5f);
    machine.access.setThrottled({{100, QStringLiteral("heavy")}});
    machine.access.setActive({"lpm", "kbOff", "dim50", "throttle:heavy"}, machine.clock.now().addDays(-1));
    machine.engine.setBoostUntilAC(true);
    machine.tick();
    machine.daemon.clearCalls();
    for (auto _ : state)
        machine.tick();
    if (!machine.daemon.calls().isEmpty() || machine.engine.level() != 3 || machine.engine.activeActionKeys().size() != 4)
        state.SkipWithError("the tick was not steady");
}
BENCHMARK(BM_SteadyMaximumTick)->Unit(benchmark::kMicrosecond);

// Level 1 with low power mode and the keyboard off in force while a heavy process runs: no
// process may be throttled at this level.
void BM_LevelOneTickWithAHeavyProcess(benchmark::State& state)
{
    Machine machine;
    machine.heavyProcessRuns();
    machine.settings.setPowerLevelAuto(false);
    machine.settings.setManualPowerLevel(1);
    machine.tick();
    machine.tick();
    machine.daemon.clearCalls();
    for (auto _ : state)
        machine.tick();
    if (!machine.daemon.calls().isEmpty() || machine.engine.level() != 1
        || machine.engine.activeActionKeys() != ActionKeySet{"lpm", "kbOff"})
        state.SkipWithError("the tick was not steady");
}
BENCHMARK(BM_LevelOneTickWithAHeavyProcess)->Unit(benchmark::kMicrosecond);

// One apply of low power mode: the daemon's round trip and the bookkeeping after it.
void BM_ApplyLowPowerMode(benchmark::State& state)
{
    Machine machine;
    QCoro::waitFor(machine.client.tryConnectAndProbe());
    for (auto _ : state) {
        machine.access.apply(QStringLiteral("lpm"), std::nullopt, machine.clock.now());
        state.PauseTiming();
        machine.access.setActive({}, machine.clock.now());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyLowPowerMode)->Unit(benchmark::kMicrosecond);

} // namespace
