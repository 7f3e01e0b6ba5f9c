#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Workspace/LogindSleepWatcher.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/App/AppStateFixture.h"

#include <QDBusMessage>

namespace kestrune::test {

namespace {

const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
const QString setChargingEnabled = QString(HelperProtocol::setChargingEnabled);
const QString readChargingState = QString(HelperProtocol::readChargingState);

SimTree::Options battery(int percent, bool onAC)
{
    SimTree::Options options;
    options.capacityPercent = percent;
    options.acOnline = onAC;
    return options;
}

} // namespace

using MainLoop = AppStateFixture;

TEST_F(MainLoop, StartHandlesTheFirstReadingAndRunsOnce)
{
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    int snapshotNotices = 0;
    QObject::connect(&app, &AppState::snapshotChanged, [&] { ++snapshotNotices; });

    app.start();
    ASSERT_TRUE(app.snapshot());
    EXPECT_EQ(app.snapshot()->socPercent, 70);
    EXPECT_EQ(app.history()->samples(longAgo).size(), 1);
    // The helper connects and charge control writes its state once.
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);

    const QStringList calls = daemon.methods();
    clock.advance(600);
    app.start();
    spin(50);
    EXPECT_EQ(snapshotNotices, 1);
    EXPECT_EQ(app.history()->samples(longAgo).size(), 1);
    EXPECT_EQ(daemon.methods(), calls);
}

TEST_F(MainLoop, SpacingsAreMeasuredBetweenReadings)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    app.start(); // t0: a sample and a reconnection attempt
    spin(50);
    const int attempts = services->statusReads;
    auto samples = [&] { return app.history()->samples(longAgo).size(); };

    readAfter(30);
    readAfter(25); // t0 + 55
    EXPECT_EQ(samples(), 2);
    EXPECT_EQ(services->statusReads, attempts);
    readAfter(5); // t0 + 60
    spin(20);
    EXPECT_EQ(services->statusReads, attempts + 1);
    EXPECT_EQ(samples(), 2);
    readAfter(59);
    spin(20);
    EXPECT_EQ(services->statusReads, attempts + 1);
    EXPECT_EQ(samples(), 3);

    services->status = Status::Enabled;
    readAfter(1); // t0 + 120: the attempt that connects
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);

    // Connected: the charging state is read back every 240 s of readings, and reconciled.
    readAfter(30);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    daemon.setReply(readChargingState, *SMCChargingState{true, false, false}.toJson());
    readAfter(239);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    readAfter(1);
    EXPECT_EQ(callsOf(readChargingState, 2), 2);
    // The daemon says charging is inhibited, so allowing it is written again.
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);

    // A state that cannot be read leaves the controller's own.
    daemon.setAnswer(readChargingState, FakeHelperDaemon::Answer::empty());
    readAfter(240);
    EXPECT_EQ(callsOf(readChargingState, 3), 3);
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);
}

TEST_F(MainLoop, AClockSetBackStillReconnectsAndBeatsButStoresNoSample)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    const QDateTime t0 = clock.now();
    app.start();
    spin(50);
    const int attempts = services->statusReads;
    auto samples = [&] { return app.history()->samples(longAgo).size(); };

    clock.set(t0.addSecs(-3600));
    readAfter(0);
    spin(20);
    EXPECT_EQ(services->statusReads, attempts + 1);
    readAfter(30);
    spin(20);
    EXPECT_EQ(services->statusReads, attempts + 1);

    services->status = Status::Enabled;
    readAfter(30);
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    readAfter(30);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    clock.set(clock.now().addSecs(-3600));
    readAfter(0);
    EXPECT_EQ(callsOf(readChargingState, 2), 2);
    readAfter(30);
    EXPECT_EQ(callsOf(readChargingState, 2), 2);

    // Samples wait for the clock to pass the last one stored.
    EXPECT_EQ(samples(), 1);
    clock.set(t0.addSecs(54));
    readAfter(0);
    EXPECT_EQ(samples(), 1);
    readAfter(1);
    EXPECT_EQ(samples(), 2);
}

TEST_F(MainLoop, WakeRewritesTheChargingState)
{
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    app.start();
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);
    readAfter(30);
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);

    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(LogindSleepWatcher::service));
    QDBusMessage woke = QDBusMessage::createSignal(
        LogindSleepWatcher::path, LogindSleepWatcher::interface, QStringLiteral("PrepareForSleep"));
    woke << false;
    ASSERT_TRUE(logind.send(woke));
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);
}

// Plugging in or out is recorded (when there is a history) and lets "full" and "limit" be
// announced once more; within one plug session each is announced once.
class PlugSessions : public AppStateFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(PlugSessions, APlugChangeIsRecordedAndRearmsTheSessionNotices)
{
    const bool withHistory = GetParam();
    preset({{"backendEnabled", false}, {"autopilotEnabled", false}});
    setMachine(battery(100, true));
    AppState& app = launch(withHistory);
    EXPECT_EQ(app.history() != nullptr, withHistory);
    // The daemon reports the hold it was asked for.
    daemon.setReply(readChargingState, *SMCChargingState{true, false, false}.toJson());
    app.start();
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1); // held at the limit
    readAfter(30);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    app.handleControllerEvent(ChargeController::Event::startedHolding(80));
    const QStringList session{QStringLiteral("満充電が完了しました"), QStringLiteral("充電上限に到達しました")};
    EXPECT_EQ(titles(), session);

    setMachine(battery(99, false));
    readAfter(30);
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);
    setMachine(battery(100, true));
    readAfter(30);
    EXPECT_EQ(callsOf(setChargingEnabled, 3), 3);
    EXPECT_EQ(titles(), session + session);

    EXPECT_EQ(app.snapshot()->socPercent, 100);
    if (!withHistory)
        return;
    const QList<PlugEventRecord> events = app.history()->plugEvents(longAgo);
    ASSERT_EQ(events.size(), 2);
    EXPECT_FALSE(events[0].plugged);
    EXPECT_EQ(events[0].soc, 99);
    EXPECT_TRUE(events[1].plugged);
    EXPECT_EQ(events[1].soc, 100);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutHistory, PlugSessions, ::testing::Bool());

} // namespace kestrune::test
