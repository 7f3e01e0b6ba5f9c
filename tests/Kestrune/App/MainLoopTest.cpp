#include "Foundation/UserDefaults.h"
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

TEST_F(MainLoop, SpacingsFollowTheReadingsDatesAlsoWhenTheClockGoesBack)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    const QDateTime t0 = clock.now();
    auto samples = [&] { return app.history()->samples(longAgo).size(); };
    app.start(); // the first reading is handled before start() returns
    ASSERT_TRUE(app.snapshot());
    EXPECT_EQ(samples(), 1);
    letEvaluationsEnd();
    const int attempts = services->statusReads;
    auto attemptsAfter = [&](double seconds) {
        readAfter(seconds);
        letEvaluationsEnd();
        return services->statusReads - attempts;
    };

    EXPECT_EQ(attemptsAfter(30), 0);
    EXPECT_EQ(attemptsAfter(25), 0);
    EXPECT_EQ(samples(), 2); // t0 + 55
    EXPECT_EQ(attemptsAfter(5), 1);
    // Set back by an hour: the helper is still retried, no sample is stored.
    clock.set(t0.addSecs(-3600));
    EXPECT_EQ(attemptsAfter(0), 2);
    EXPECT_EQ(attemptsAfter(30), 2);

    services->status = Status::Enabled;
    readAfter(30);
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);
    // Connected: the charging state is read back every 240 s of readings and reconciled.
    readAfter(30);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    daemon.setReply(readChargingState, *SMCChargingState{true, false, false}.toJson());
    readAfter(239);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);
    readAfter(1);
    EXPECT_EQ(callsOf(readChargingState, 2), 2);
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2); // charging was reported inhibited
    // Set back again: read back at once; a state that cannot be read leaves the controller's.
    daemon.setAnswer(readChargingState, FakeHelperDaemon::Answer::empty());
    clock.set(clock.now().addSecs(-3600));
    readAfter(0);
    EXPECT_EQ(callsOf(readChargingState, 3), 3);
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);

    EXPECT_EQ(samples(), 2);
    clock.set(t0.addSecs(109));
    readAfter(0);
    EXPECT_EQ(samples(), 2);
    readAfter(1);
    EXPECT_EQ(samples(), 3);
}

// Without a history store: start runs once, a sleep writes the waiting figures, a wake makes
// charge control write its state again, and each plug session announces "full" and "limit" once.
TEST_F(MainLoop, StartSleepWakeAndPlugSessionsWithoutAHistoryStore)
{
    preset({{"backendEnabled", false}, {"autopilotEnabled", false}});
    setMachine(battery(100, true));
    daemon.setReply(readChargingState, *SMCChargingState{true, false, false}.toJson()); // the hold in force
    AppState& app = launch(false);
    ASSERT_FALSE(app.history());
    int snapshotNotices = 0;
    QObject::connect(&app, &AppState::snapshotChanged, [&] { ++snapshotNotices; });
    app.start();
    EXPECT_EQ(callsOf(setChargingEnabled, 1), 1);
    const QStringList calls = daemon.methods();
    clock.advance(30);
    app.start();
    spin(50);
    EXPECT_EQ(snapshotNotices, 1);
    EXPECT_EQ(daemon.methods(), calls);
    readAfter(0);
    EXPECT_EQ(callsOf(readChargingState, 1), 1);

    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(LogindSleepWatcher::service));
    const auto prepareForSleep = [](bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(
            LogindSleepWatcher::path, LogindSleepWatcher::interface, QStringLiteral("PrepareForSleep"));
        return signal << start;
    };
    // Figures waiting for their batch are on disk before the machine sleeps.
    app.defaults().set("learnt", 6.5, UserDefaults::Write::Batched);
    const auto onDisk = [&] { return UserDefaults(app.defaults().filePath()).contains("learnt"); };
    spin(50);
    EXPECT_FALSE(onDisk());
    ASSERT_TRUE(logind.send(prepareForSleep(true)));
    EXPECT_TRUE(waitUntil(onDisk));
    ASSERT_TRUE(logind.send(prepareForSleep(false)));
    EXPECT_EQ(callsOf(setChargingEnabled, 2), 2);
    app.handleControllerEvent(ChargeController::Event::startedHolding(80));
    const QStringList session{QStringLiteral("満充電が完了しました"), QStringLiteral("充電上限に到達しました")};
    EXPECT_EQ(titles(), session);

    setMachine(battery(99, false));
    readAfter(30);
    EXPECT_EQ(callsOf(setChargingEnabled, 3), 3);
    setMachine(battery(100, true));
    readAfter(30);
    EXPECT_EQ(callsOf(setChargingEnabled, 4), 4);
    EXPECT_EQ(titles(4), session + session);
}

} // namespace kestrune::test
