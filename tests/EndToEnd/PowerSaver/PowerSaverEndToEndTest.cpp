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
#include "tests/support/FastClock.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/SimProgram.h"
#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

// Simulated seconds per real second, for the battery model and the application's clock alike.
constexpr double speed = 60;

QString readTrimmed(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// Field 19 of /proc/PID/stat; the name in parentheses may hold anything, so fields are
// counted after the last ')'.
int niceOf(qint64 pid)
{
    const QString stat = readTrimmed(QStringLiteral("/proc/%1/stat").arg(pid));
    const QStringList fields = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ');
    return fields.value(16, QStringLiteral("-99")).toInt();
}

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
        if (!HelperDaemonProcess::isBuilt() || !SimProgram::isBuilt())
            GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";
        ASSERT_TRUE(bus.isRunning() && machine.isValid());
        ASSERT_TRUE(SimProgram::run({QStringLiteral("tree"), root, QStringLiteral("--capacity"), QStringLiteral("70")}));
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
        ASSERT_TRUE(model.start(SimProgram::path(), {QStringLiteral("run"), root, QStringLiteral("--tick-ms"),
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
    // The action log, for failure messages.
    std::string actionLog() const
    {
        QStringList lines;
        for (const PowerActionRecord& record : history->recentPowerActions(100))
            lines.prepend(record.action + QStringLiteral(": ") + record.detail);
        return lines.join(u'\n').toStdString();
    }

    PrivateBus bus;
    QTemporaryDir machine;
    QString root = machine.filePath(QStringLiteral("sys"));
    HelperDaemonProcess daemon;
    ChildProcess model;
    FastClock clock{speed};
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

    // A light load: below 4 W the lowest level takes no process samples, which would hold
    // the ticks for seconds at this speed.
    ASSERT_TRUE(SimProgram::run({QStringLiteral("load"), root, QStringLiteral("1")}));
    ASSERT_TRUE(SimProgram::run({QStringLiteral("unplug"), root}));
    ASSERT_TRUE(waitUntil([&] { return access.sessionStart().has_value(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return std::abs(engine->drainWatts() - modelDraw()) < 0.1 * modelDraw(); }, 15000))
        << "drain " << engine->drainWatts() << " W, model " << modelDraw() << " W\n" << actionLog();
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

    ASSERT_TRUE(SimProgram::run({QStringLiteral("plug"), root}));
    EXPECT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    EXPECT_EQ(engine->level(), 0);
    EXPECT_FALSE(access.sessionStart());
}

// A target of 20 h that 36 Wh cannot reach keeps the saver at its maximum level: on battery
// it switches low power mode on, caps the display at half, turns the keyboard off and
// throttles a busy background process; plugging in puts everything back.
TEST_F(PowerSaverEndToEndTest, SavesHardOnBatteryAndPutsEverythingBackOnAC)
{
    const bool root = geteuid() == 0;
    // As root the daemon may raise the child back; it lowers only processes of regular users.
    ChildProcess busy;
    ASSERT_TRUE(root ? busy.start(QStringLiteral("setpriv"),
                                  {QStringLiteral("--reuid"), QStringLiteral("1000"), QStringLiteral("--regid"),
                                   QStringLiteral("1000"), QStringLiteral("--clear-groups"), QStringLiteral("sha1sum"),
                                   QStringLiteral("/dev/zero")})
                     : busy.start(QStringLiteral("sha1sum"), {QStringLiteral("/dev/zero")}));
    settings->setTargetAutoLearn(false);
    settings->setManualTargetHours(20);
    PowerSaverEngineTestAccess access(*engine);
    const QString backlight = SimTree::backlightPath(this->root);
    const QString keyboard = SimTree::keyboardBacklightPath(this->root);
    const QString firstBacklight = readTrimmed(backlight + QStringLiteral("/brightness"));
    const QString firstKeyboard = readTrimmed(keyboard + QStringLiteral("/brightness"));
    ASSERT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    ASSERT_TRUE(SimProgram::run({QStringLiteral("unplug"), this->root}));
    const double unsaved = modelDraw();

    ASSERT_TRUE(waitUntil([&] { return engine->level() == 3; }, 5000)) << engine->statusText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return readTrimmed(SimTree::platformProfilePath(this->root)) == "low-power"; }, 5000));
    EXPECT_EQ(readTrimmed(keyboard + QStringLiteral("/brightness")), QStringLiteral("0"));
    EXPECT_TRUE(waitUntil([&] {
        return readTrimmed(backlight + QStringLiteral("/brightness")).toInt() * 2
            <= readTrimmed(backlight + QStringLiteral("/max_brightness")).toInt();
    }, 10000)) << actionLog();
    // The daemon lowers the process before it answers, so both are waited for.
    EXPECT_TRUE(waitUntil([&] { return niceOf(busy.pid()) == 19 && engine->throttledProcesses().contains(busy.pid()); },
                          30000))
        << "nice " << niceOf(busy.pid()) << "\n" << actionLog();
    EXPECT_LT(modelDraw(), unsaved - 2);
    QSet<QString> kinds;
    for (const PowerActionRecord& record : history->recentPowerActions(100))
        kinds.insert(record.action);
    EXPECT_TRUE(kinds.contains("lpm") && kinds.contains("dim") && kinds.contains("throttle")) << kinds.size();

    ASSERT_TRUE(SimProgram::run({QStringLiteral("plug"), this->root}));
    EXPECT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    EXPECT_EQ(readTrimmed(SimTree::platformProfilePath(this->root)), QStringLiteral("balanced"));
    EXPECT_EQ(readTrimmed(backlight + QStringLiteral("/brightness")), firstBacklight);
    EXPECT_EQ(readTrimmed(keyboard + QStringLiteral("/brightness")), firstKeyboard);
    int restores = 0;
    for (const PowerActionRecord& record : history->recentPowerActions(100))
        restores += record.action == QLatin1String("restore") ? 1 : 0;
    EXPECT_EQ(restores, 1);
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_EQ(engine->level(), 0);
    if (!root)
        GTEST_SKIP() << "as a regular user the daemon cannot raise the child back from nice 19";
    EXPECT_EQ(niceOf(busy.pid()), 0);
}

} // namespace kestrune::test
