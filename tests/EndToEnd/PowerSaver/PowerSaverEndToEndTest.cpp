#include "Foundation/Clock.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestPaths.h"
#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

// Simulated seconds per real second, for the battery model and the application's clock alike.
constexpr double speed = 60;

QString simProgram() { return buildDir() + QStringLiteral("/tools/kestrune-sim/kestrune-sim"); }

// Runs one kestrune-sim command to its end; true when it succeeded.
bool sim(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(simProgram(), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Time as the simulated machine lives it: `speed` times faster than the wall clock.
class FastClock final : public Clock {
public:
    FastClock() { m_timer.start(); }
    QDateTime now() const override { return m_start.addMSecs(qint64(double(m_timer.elapsed()) * speed)); }

private:
    QDateTime m_start = QDateTime::currentDateTimeUtc();
    QElapsedTimer m_timer;
};

QCoro::Task<> evaluateAll(QPointer<ChargeController> controller, QPointer<PowerSaverEngine> engine,
                          BatterySnapshot snapshot)
{
    if (controller)
        co_await controller->evaluate(snapshot, snapshot.date);
    if (engine)
        co_await engine->evaluate(snapshot, snapshot.date);
}

// The simulated laptop at 70 % on AC with its battery model running fast, the real daemon on
// a private bus, and the application's real monitor, helper client, charge controller and
// power saver, wired as the application shell wires them.
class PowerSaverEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HelperDaemonProcess::isBuilt() || !QFileInfo(simProgram()).isExecutable())
            GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";
        ASSERT_TRUE(bus.isRunning() && machine.isValid());
        ASSERT_TRUE(sim({QStringLiteral("tree"), root, QStringLiteral("--capacity"), QStringLiteral("70")}));
        ASSERT_TRUE(daemon.start(bus, root));

        appBus = bus.connect(QStringLiteral("app"));
        services = std::make_unique<BusServiceManagement>(
            appBus, HelperDaemonProcess::serviceOptions(machine.filePath(QStringLiteral("services"))));
        defaults = std::make_unique<UserDefaults>(machine.filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<ChargingSettings>(*defaults);
        client = std::make_unique<HelperClient>(appBus, *services, *defaults);
        adaptive = std::make_unique<AdaptiveEngine>(nullptr, *defaults);
        controller = std::make_unique<ChargeController>(*settings, *client, *adaptive);
        tracker = std::make_unique<ProcessEnergyTracker>(*defaults, workspace, clock);
        display = std::make_unique<DisplayControl>(root, std::make_shared<SysfsBacklightWriter>(root));
        history = HistoryStore::open(machine.filePath(QStringLiteral("History.store")), nullptr, clock);
        ASSERT_TRUE(history);
        notifier = std::make_unique<Notifier>(std::make_unique<RecordingNotifications>(&posts), clock);
        savings = std::make_unique<SavingsModel>(*defaults, clock);
        engine = std::make_unique<PowerSaverEngine>(*settings, *client, *tracker, *display, history.get(), *notifier,
                                                    *savings, *defaults, clock, LocalCalendar());
        ASSERT_TRUE(QCoro::waitFor(client->ensureConnected()));

        monitor = std::make_unique<BatteryMonitor>(root, clock, 50ms);
        monitor->onUpdate = [this](const BatterySnapshot& snapshot) {
            QTimer::singleShot(0, engine.get(), [this, snapshot] {
                evaluateAll(controller.get(), engine.get(), snapshot);
            });
        };
        monitor->start(0.25);
        ASSERT_TRUE(model.start(simProgram(), {QStringLiteral("run"), root, QStringLiteral("--tick-ms"),
                                               QStringLiteral("50"), QStringLiteral("--speed"),
                                               QString::number(speed)}));
    }

    void TearDown() override
    {
        if (monitor) {
            monitor->stop();
            monitor->onUpdate = nullptr;
        }
        // Lets an evaluation still in flight finish while everything it uses is alive.
        spin(300);
        model.stop();
    }

    double modelDraw() const { return BatteryModel(root).drawWatts(); }

    PrivateBus bus;
    QTemporaryDir machine;
    QString root = machine.filePath(QStringLiteral("sys"));
    HelperDaemonProcess daemon;
    ChildProcess model;
    FastClock clock;
    FakeWorkspace workspace;
    QDBusConnection appBus{QString()};
    std::unique_ptr<BusServiceManagement> services;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ChargingSettings> settings;
    std::unique_ptr<HelperClient> client;
    std::unique_ptr<AdaptiveEngine> adaptive;
    std::unique_ptr<ChargeController> controller;
    std::unique_ptr<ProcessEnergyTracker> tracker;
    std::unique_ptr<DisplayControl> display;
    std::unique_ptr<HistoryStore> history;
    QList<Posted> posts;
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<SavingsModel> savings;
    std::unique_ptr<PowerSaverEngine> engine;
    std::unique_ptr<BatteryMonitor> monitor;
};

} // namespace

TEST_F(PowerSaverEndToEndTest, FollowsTheBatteryFromUnplugToPlugAndMeasuresACap)
{
    PowerSaverEngineTestAccess access(*engine);
    ASSERT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));

    ASSERT_TRUE(sim({QStringLiteral("unplug"), root}));
    ASSERT_TRUE(waitUntil([&] { return access.sessionStart().has_value(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return std::abs(engine->drainWatts() - modelDraw()) < 0.1 * modelDraw(); }, 15000))
        << "drain " << engine->drainWatts() << " W, model " << modelDraw() << " W";
    EXPECT_GE(engine->level(), 1);
    EXPECT_TRUE(engine->statusText().startsWith(QStringLiteral("L%1 ").arg(engine->level())))
        << engine->statusText().toStdString();
    EXPECT_TRUE(engine->estimatedRuntimeHours());

    // A cap of 0.5 from 0.8 takes 0.3 of the display's 3 W off the draw.
    const double before = modelDraw();
    ASSERT_TRUE(display->applyBrightnessCap(0.5f));
    access.measurer().begin(QStringLiteral("dim70"), clock.now());
    EXPECT_NEAR(before - modelDraw(), 0.3 * BatteryModel::displayWatts, 0.01);
    ASSERT_TRUE(waitUntil([&] { return !history->actionOutcomes(clock.now().addDays(-1), 10).isEmpty(); }, 15000));
    const ActionOutcomeRecord outcome = history->actionOutcomes(clock.now().addDays(-1), 10).first();
    EXPECT_EQ(outcome.actionKey, QStringLiteral("dim70"));
    EXPECT_TRUE(outcome.valid);
    EXPECT_NEAR(outcome.deltaW, 0.3 * BatteryModel::displayWatts, 0.25);

    ASSERT_TRUE(sim({QStringLiteral("plug"), root}));
    EXPECT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    EXPECT_EQ(engine->level(), 0);
    EXPECT_FALSE(access.sessionStart());
}

} // namespace kestrune::test
