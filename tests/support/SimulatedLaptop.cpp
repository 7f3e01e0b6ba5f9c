#include "tests/support/SimulatedLaptop.h"

#include "Foundation/LocalCalendar.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "tests/support/EventLoop.h"
#include "tests/support/SimProgram.h"
#include "tools/kestrune-sim/BatteryModel.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

QCoro::Task<> evaluateAll(QPointer<ChargeController> controller, QPointer<PowerSaverEngine> engine,
    BatterySnapshot snapshot, std::shared_ptr<int> running)
{
    ++*running;
    const auto done = qScopeGuard([running] { --*running; });
    if (controller)
        co_await controller->evaluate(snapshot, snapshot.date);
    if (engine)
        co_await engine->evaluate(snapshot, snapshot.date);
}

} // namespace

bool SimulatedLaptop::toolsBuilt()
{
    return HelperDaemonProcess::isBuilt() && SimProgram::isBuilt();
}

SimulatedLaptop::~SimulatedLaptop()
{
    stop();
}

void SimulatedLaptop::start(const Options& options)
{
    ASSERT_TRUE(bus.isRunning() && machine.isValid());
    QStringList tree { QStringLiteral("tree"), root, QStringLiteral("--capacity"),
        QString::number(options.capacityPercent) };
    if (options.unplugged)
        tree << QStringLiteral("--unplugged");
    ASSERT_TRUE(SimProgram::run(tree));
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
    engine = std::make_unique<PowerSaverEngine>(*settings, *client, *tracker, *display, history.get(),
        *notifier, *savings, *defaults, clock, LocalCalendar());
    ASSERT_TRUE(QCoro::waitFor(client->ensureConnected()));

    monitor = std::make_unique<BatteryMonitor>(root, clock, 50ms);
    monitor->onUpdate = [this](const BatterySnapshot& snapshot) {
        QTimer::singleShot(0, engine.get(),
            [this, snapshot] { evaluateAll(controller.get(), engine.get(), snapshot, m_evaluations); });
    };
    monitor->start(0.25);
    m_running = true;
    ASSERT_TRUE(model.start(SimProgram::path(),
        { QStringLiteral("run"), root, QStringLiteral("--tick-ms"), QStringLiteral("50"),
            QStringLiteral("--speed"), QString::number(speed), QStringLiteral("--processes-of"),
            QString::number(QCoreApplication::applicationPid()) }));
}

void SimulatedLaptop::stop()
{
    if (!m_running)
        return;
    m_running = false;
    monitor->stop();
    monitor->onUpdate = nullptr;
    // An evaluation already posted starts, and every one under way (a process sample takes
    // seconds) runs to its end while everything it uses is alive.
    spin(0);
    EXPECT_TRUE(waitUntil([&] { return *m_evaluations == 0; }, 30000)) << "an evaluation never ended";
    model.stop();
}

bool SimulatedLaptop::sim(const QString& command, const QStringList& arguments) const
{
    return SimProgram::run(QStringList { command, root } + arguments);
}

double SimulatedLaptop::modelDraw() const
{
    // This test's processes only, as the running model counts them.
    BatteryModel model(root);
    const qint64 self = QCoreApplication::applicationPid();
    model.setThrottledCounter([self] { return BatteryModel::countBackgroundProcesses(self); });
    return model.drawWatts();
}

std::string SimulatedLaptop::actionLog() const
{
    QStringList lines;
    for (const PowerActionRecord& record : history->recentPowerActions(100))
        lines.prepend(record.action + QStringLiteral(": ") + record.detail);
    return lines.join(u'\n').toStdString();
}

} // namespace kestrune::test
