#include "tests/Kestrune/Charging/ChargeControllerFixture.h"

namespace kestrune::test {

namespace {
const QString allow = QStringLiteral("setChargingEnabled(true)");
const QString inhibit = QStringLiteral("setChargingEnabled(false)");
const QString dischargeOff = QStringLiteral("setForceDischarge(false)");
const QString charging80 = QStringLiteral("上限 80% — 充電中");
QString held80(int soc) { return QStringLiteral("上限 80% — 充電停止中(%1%)").arg(soc); }
} // namespace

TEST_F(ChargeControllerTest, HoldsAtTheLimitAndResumesBelowTheBand)
{
    connect();
    pass(78, true);
    EXPECT_EQ(writes(), QStringList({dischargeOff, allow}));
    EXPECT_EQ(taken(), QList<Event>{Event::startedCharging()});
    EXPECT_EQ(controller->statusText(), charging80);

    pass(80, true);
    EXPECT_EQ(writes(), QStringList{inhibit});
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)});
    EXPECT_EQ(controller->statusText(), held80(80));
    EXPECT_TRUE(controller->isHolding());

    for (int soc : {79, 77, 76})
        pass(soc, false);
    EXPECT_EQ(controller->statusText(), held80(76));
    EXPECT_EQ(writes(), QStringList());

    pass(75, false);
    EXPECT_EQ(writes(), QStringList{allow});
    EXPECT_EQ(taken(), QList<Event>{Event::startedCharging()});
    EXPECT_FALSE(controller->isHolding());
    pass(79, true);
    pass(80, true);
    EXPECT_EQ(writes(), QStringList{inhibit});
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)});
}

TEST_F(ChargeControllerTest, ControlOffLowChargeAndBatteryAllowChargingAndReleaseTheHold)
{
    settings->setChargeLimit(20);
    settings->setResumeDelta(10);
    connect();
    const auto holdThen = [&](auto release) {
        pass(20, true);
        ASSERT_TRUE(controller->isHolding());
        writes();
        release();
        EXPECT_EQ(writes(), QStringList{allow}); // never the 80 % key on a machine that can inhibit
        EXPECT_FALSE(controller->isHolding());
        pass(16, true); // inside the band, yet the hold was released
        EXPECT_EQ(controller->statusText(), QStringLiteral("上限 20% — 充電中"));
    };

    holdThen([&] {
        settings->setControlEnabled(false);
        pass(19, false);
        EXPECT_EQ(controller->statusText(), QStringLiteral("充電制御オフ"));
        settings->setControlEnabled(true);
    });
    holdThen([&] {
        pass(15, false);
        EXPECT_EQ(controller->statusText(), QStringLiteral("残量低下のため充電を許可"));
    });
    holdThen([&] {
        controller->setTopUpActive(true);
        pass(19, false, false);
        EXPECT_EQ(controller->statusText(), QStringLiteral("バッテリー駆動中"));
        EXPECT_FALSE(controller->topUpActive());
    });
    // Only the passes that decide to charge announce it.
    EXPECT_EQ(taken(), QList<Event>({Event::startedHolding(20), Event::startedHolding(20), Event::startedHolding(20)}));
}

TEST_F(ChargeControllerTest, RequestedFullChargeEndsWhenFull)
{
    connect();
    pass(85, false);
    controller->setTopUpActive(true);
    pass(90, false);
    EXPECT_EQ(controller->effectiveLimit(), 100);
    EXPECT_EQ(controller->statusText(), QStringLiteral("満充電モード — 充電中"));
    pass(100, false); // at the limit in force but not reported full: no contradiction either
    pass(100, false);
    EXPECT_TRUE(controller->topUpActive());
    pass(100, false, true, true);
    EXPECT_FALSE(controller->topUpActive());
    EXPECT_EQ(controller->effectiveLimit(), 100); // this pass still runs on the full charge
    EXPECT_EQ(controller->statusText(), QStringLiteral("満充電"));
    EXPECT_EQ(writes(), QStringList({dischargeOff, inhibit, allow}));

    pass(100, false, true, true);
    EXPECT_EQ(controller->statusText(), held80(100));
    EXPECT_EQ(writes(), QStringList{inhibit});
}

TEST_F(ChargeControllerTest, HardwareLimitOnlyMachineSwitchesOnlyTheFirmwareLimit)
{
    // The daemon refuses writes to keys such a machine lacks; they must not be tried every pass.
    daemon->setReply(HelperProtocol::setChargingEnabled, failure());
    daemon->setReply(HelperProtocol::setForceDischarge, failure());
    connect(limit80OnlyMac());
    const QString on = QStringLiteral("setAppleLimit80(true)"), off = QStringLiteral("setAppleLimit80(false)");

    pass(70, true);
    pass(85, false);
    EXPECT_EQ(writes(), QStringList{on});
    EXPECT_EQ(controller->statusText(), QStringLiteral("80%リミット適用中(ハードウェア制限)"));
    settings->setChargeLimit(81);
    pass(80, false);
    EXPECT_EQ(controller->statusText(), QStringLiteral("上限 81%"));
    settings->setChargeLimit(80);
    pass(80, false);
    controller->setTopUpActive(true);
    pass(80, true);
    EXPECT_EQ(controller->statusText(), QStringLiteral("満充電モード"));
    controller->setTopUpActive(false);
    pass(80, true);
    pass(14, true);
    pass(60, false, false); // left alone on battery
    pass(60, true);
    settings->setControlEnabled(false);
    pass(60, true);
    EXPECT_EQ(writes(), QStringList({off, on, off, on, off, on, off}));
    EXPECT_EQ(taken(), QList<Event>());

    // Likewise a machine that can inhibit but has no discharge key.
    controller->invalidateAppliedCache();
    daemon->setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::ok().toJson());
    connect({true, QStringLiteral("CHTE"), std::nullopt, false, {}});
    settings->setControlEnabled(true);
    pass(81, true);
    EXPECT_EQ(writes(), QStringList{inhibit});
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)});
}

TEST_F(ChargeControllerTest, RepairsMismatchesAndWarnsOnceAboutInterference)
{
    const QString conflict = QStringLiteral("(macOSの充電最適化と競合の可能性)");
    connect();
    pass(70, true);
    pass(70, false); // allowed, below the limit, yet neither charging nor full: twice repairs
    pass(70, false);
    EXPECT_EQ(writes(), QStringList({dischargeOff, allow, dischargeOff, allow}));
    passAt(now.addSecs(ChargeController::repairWindowSeconds), 80, true);
    taken();
    writes();

    pass(80, true); // held, yet charging
    pass(81, true);
    EXPECT_EQ(writes(), QStringList({dischargeOff, inhibit}));
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)});
    EXPECT_EQ(controller->statusText(), held80(81));
    pass(81, true);
    pass(82, true); // the second repair within 900 s
    QList<Event> second = taken();
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[0].kind, Event::Kind::ExternalInterference);
    EXPECT_TRUE(second[0].message.startsWith(QStringLiteral("macOSの「バッテリー充電の最適化」")));
    EXPECT_EQ(controller->statusText(), held80(82) + conflict);
    pass(82, true);
    pass(82, true);
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)}); // no second warning

    passAt(now.addSecs(ChargeController::repairWindowSeconds), 82, false);
    EXPECT_EQ(controller->statusText(), held80(82)); // the repairs aged out
    pass(81, false, false); // after a stretch on battery the warning may come again
    for (int i = 0; i < 5; ++i)
        pass(81, true);
    EXPECT_EQ(taken().count(Event::externalInterference(second[0].message)), 1);
}

TEST_F(ChargeControllerTest, FailedWriteReportsAnErrorAndAnnouncesNothing)
{
    const Event error = Event::helperError(QStringLiteral("充電制御の書き込みに失敗しました"));
    connect();
    pass(70, true);
    taken();
    daemon->setReply(HelperProtocol::setChargingEnabled, failure());
    pass(80, true);
    daemon->setAnswer(HelperProtocol::setChargingEnabled, FakeHelperDaemon::Answer::empty()); // no value
    pass(80, false);
    EXPECT_EQ(taken(), QList<Event>({error, error}));
    EXPECT_FALSE(controller->isHolding());
    EXPECT_EQ(controller->statusText(), held80(80)); // the decision, whatever came of the write

    daemon->setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::ok().toJson());
    daemon->setReply(HelperProtocol::setForceDischarge, failure());
    controller->invalidateAppliedCache();
    pass(80, false);
    EXPECT_EQ(taken(), QList<Event>({Event::helperError(QStringLiteral("放電制御の書き込みに失敗しました")),
                           Event::startedHolding(80)}));
    EXPECT_TRUE(controller->isHolding());
    EXPECT_EQ(writes().count(inhibit), 3);
}

TEST_F(ChargeControllerTest, ReconcileTakesTheDaemonsState)
{
    connect();
    pass(70, true);
    taken();
    writes();
    controller->reconcile(SMCChargingState{true, false, std::nullopt});
    EXPECT_TRUE(controller->isHolding());
    pass(80, false); // already held: no write, no news
    EXPECT_EQ(writes(), QStringList());
    EXPECT_EQ(taken(), QList<Event>());

    settings->setChargeLimit(85);
    controller->reconcile(SMCChargingState{false, false, true});
    pass(80, true);
    controller->reconcile(SMCChargingState{false, false, std::nullopt}); // keeps the last known key
    pass(80, true);
    EXPECT_EQ(controller->statusText(), QStringLiteral("上限 85% — 充電中(macOS純正80%上限が有効)"));
    const QList<Event> warned = taken();
    ASSERT_EQ(warned.size(), 1);
    EXPECT_TRUE(warned[0].message.startsWith(QStringLiteral("macOS純正の80%充電上限が有効なため")));
    EXPECT_EQ(writes(), QStringList());
}

TEST_F(ChargeControllerTest, PassWhileWritingReturnsAtOnceAndTheControllerMayGo)
{
    connect();
    daemon->setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::ok().toJson(), 100);
    QCoro::Task<> first = controller->evaluate(reading(80, true), now);
    ASSERT_TRUE(waitUntil([&] { return daemon->count(HelperProtocol::setChargingEnabled) == 1; }));
    QCoro::Task<> second = controller->evaluate(reading(30, true, false), now);
    EXPECT_TRUE(second.isReady());
    QCoro::waitFor(std::move(first));
    EXPECT_EQ(writes(), QStringList({dischargeOff, inhibit}));
    EXPECT_EQ(controller->statusText(), held80(80));

    QCoro::Task<> pending = controller->evaluate(reading(60, true), now);
    controller.reset();
    QCoro::waitFor(std::move(pending));
    EXPECT_EQ(taken(), QList<Event>{Event::startedHolding(80)});
}

} // namespace kestrune::test
