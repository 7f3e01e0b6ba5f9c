#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "tests/EndToEnd/App/SimulatedApp.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tests/support/BusyProcess.h"
#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrune::test {

// The real daemon lowers a user's busy process for the power saver; releasing it from the tab
// gives it back the priority it had.
TEST(PowerSaverTabEndToEnd, ReleasingFromTheTabGivesTheProcessItsPriorityBack)
{
    if (!SimulatedApp::canRun() || !BusyProcess::isBuilt())
        GTEST_SKIP() << "kestrune-helper, kestrune-sim or cpu-burner is not built";
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may raise a process back from background priority: as a regular user the "
                        "daemon can lower it but never give it back";

    // Readings only at start, so that no evaluation on the adapter undoes the throttle.
    SimulatedApp::Options options;
    options.monitorIntervalSeconds = 3600;
    options.powerSourcePoll = std::nullopt;
    SimulatedApp app(options);
    ASSERT_TRUE(app.setUp());
    AppState& state = app.launch();
    state.start();
    ASSERT_TRUE(waitUntil([&] { return state.helper().isConnected(); }, 5000));
    PowerSaverEngine& engine = state.powerSaver();
    ASSERT_TRUE(waitUntil([&] { return !engine.statusText().isEmpty(); }, 5000));

    BusyProcess busy;
    ASSERT_TRUE(busy.start(QStringLiteral("tab%1").arg(QCoreApplication::applicationPid()), 1));
    const int former = busy.nice();
    ASSERT_NE(former, 19);
    PowerMetricsReport report;
    report.timestamp = app.clock.now();
    report.durationSeconds = 1;
    report.processes = {{busy.pid(), busy.name(), 400, 900}};
    state.tracker().recordSample(report);
    PowerSaverEngineTestAccess access(engine);
    ASSERT_TRUE(access.apply(PowerActionKeys::throttleKey(busy.name()), std::nullopt, app.clock.now()));
    ASSERT_EQ(busy.nice(), 19);

    PowerSaverView view(state, {});
    view.show();
    QWidget* row = view.findChild<QWidget*>(QStringLiteral("throttledRow"));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("processName"))->text(), busy.name());
    row->findChild<QPushButton*>(QStringLiteral("release"))->click();
    EXPECT_TRUE(waitUntil([&] { return busy.nice() == former; }, 5000)) << "nice " << busy.nice();
    EXPECT_TRUE(waitUntil([&] { return engine.throttledProcesses().isEmpty(); }, 5000));

    // The application must not be destroyed while its start-up sync with the backend runs: a
    // sync that ends during its destruction evaluates on engines already gone.
    EXPECT_TRUE(waitUntil([&] { return state.backendSync().lastSyncAt() && !state.backendSync().syncing(); }, 20000));
    spin(200);
}

} // namespace kestrune::test
