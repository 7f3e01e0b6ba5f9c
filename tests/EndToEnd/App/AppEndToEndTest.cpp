#include "Kestrune/App/AppState.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "tests/EndToEnd/App/SimulatedApp.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QFile>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

using namespace std::chrono_literals;

QString attribute(const QString& root, const char* name)
{
    QFile file(SimTree::batteryPath(root) + u'/' + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

const QString limitTitle = QStringLiteral("充電上限に到達しました");

} // namespace

// The application core as the program runs it, headless, on the simulated laptop: readings
// flow into the history, the helper and the backend come up, the charge is held at the limit
// with one notice per plug session, and a click on that notice asks for the main window.
TEST(AppEndToEnd, HoldsAtTheLimitAndTellsTheUserOncePerPlugSession)
{
    if (!SimulatedApp::canRun())
        GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";
    // The autopilot stays off: on battery it would lower the priority of processes on this
    // computer, which other tests run beside this one.
    SimulatedApp laptop({.speed = 120, .modelTickMs = 50, .monitorIntervalSeconds = 0.25,
        .powerSourcePoll = 50ms, .defaults = {{"autopilotEnabled", false}}});
    ASSERT_TRUE(laptop.setUp());
    AppState& app = laptop.launch();
    const QString root = laptop.root;
    auto limitNotices = [&] {
        QList<FakeNotificationServer::Shown> list;
        for (const FakeNotificationServer::Shown& shown : laptop.notifications.shown)
            if (shown.summary == limitTitle)
                list << shown;
        return list;
    };
    const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);

    app.start();
    ASSERT_TRUE(app.snapshot());
    EXPECT_TRUE(waitUntil([&] { return app.history()->samples(longAgo).size() >= 3; }, 10000));
    EXPECT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    for (const char* route : {"/v1/health", "/v1/devices/register", "/v1/sync"})
        EXPECT_TRUE(waitUntil([&] { return !laptop.backend.requests(QString::fromLatin1(route)).isEmpty(); }))
            << route;

    ASSERT_TRUE(waitUntil(
        [&] { return ChargeBehaviour::parse(attribute(root, "charge_behaviour")).active == ChargeBehaviour::inhibitCharge; },
        20000))
        << "capacity " << attribute(root, "capacity").toStdString();
    const int heldAt = attribute(root, "capacity").toInt();
    EXPECT_GE(heldAt, 80);
    EXPECT_LE(heldAt, 81);
    ASSERT_TRUE(waitUntil([&] { return limitNotices().size() == 1; }));
    spin(1000); // eight more readings, a heartbeat among them
    ASSERT_EQ(limitNotices().size(), 1);
    EXPECT_TRUE(limitNotices()[0].body.startsWith(QStringLiteral("80%で充電を停止しました。")));

    laptop.notifications.invokeAction(limitNotices()[0].id, QStringLiteral("default"));
    EXPECT_TRUE(waitUntil([&] { return app.windowRequestTick() == 1; }));

    ASSERT_TRUE(SimProgram::run({QStringLiteral("unplug"), root}));
    EXPECT_TRUE(waitUntil([&] { return !app.history()->plugEvents(longAgo).isEmpty(); }));
    ASSERT_TRUE(SimProgram::run({QStringLiteral("plug"), root}));
    EXPECT_TRUE(waitUntil([&] { return limitNotices().size() == 2; }, 20000));
    const QList<PlugEventRecord> events = app.history()->plugEvents(longAgo);
    ASSERT_EQ(events.size(), 2);
    EXPECT_FALSE(events[0].plugged);
    EXPECT_TRUE(events[1].plugged);

    spin(300); // the evaluations under way end while everything is alive
}

} // namespace kestrune::test
