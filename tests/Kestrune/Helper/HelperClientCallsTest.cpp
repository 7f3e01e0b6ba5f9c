#include "tests/Kestrune/Helper/HelperClientFixture.h"

#include <QElapsedTimer>

namespace kestrune::test {

using Answer = FakeHelperDaemon::Answer;

TEST_F(HelperClientTest, TypedCallsSendTheirArgumentsAndDecodeTheAnswers)
{
    EXPECT_EQ(client->connection(), nullptr);
    const auto throttled = run(client->setProcessThrottled(4'000'000'000LL, true));
    ASSERT_TRUE(throttled);
    EXPECT_TRUE(throttled->success);
    // The first call opened the link; later calls use the same one.
    HelperConnection* link = client->connection();
    ASSERT_NE(link, nullptr);

    daemon->setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::failure("書き込み失敗").toJson());
    const auto refused = run(client->setChargingEnabled(false));
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->success);
    EXPECT_EQ(refused->message, QStringLiteral("書き込み失敗"));

    const SMCChargingState state{true, false, std::nullopt};
    daemon->setReply(HelperProtocol::readChargingState, *state.toJson());
    EXPECT_EQ(run(client->readChargingState()), state);

    PowerMetricsReport report{QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC), 3.2, {}};
    report.processes.push_back({77, QStringLiteral("indexer"), 41.5, 12});
    daemon->setReply(HelperProtocol::samplePowerMetrics, *report.toJson());
    const auto sampled = run(client->samplePowerMetrics(3));
    ASSERT_TRUE(sampled);
    EXPECT_EQ(sampled->processes, report.processes);

    EXPECT_TRUE(run(client->setForceDischarge(true)));
    EXPECT_TRUE(run(client->setAppleLimit80(false)));
    EXPECT_TRUE(run(client->resetChargingDefaults()));
    EXPECT_TRUE(run(client->setLowPowerMode(true)));
    EXPECT_TRUE(run(client->setSpotlightPaused(true)));
    EXPECT_TRUE(run(client->setTimeMachinePaused(false)));
    EXPECT_TRUE(run(client->restoreAllPowerSaving()));
    EXPECT_EQ(client->connection(), link);

    const QList<FakeHelperDaemon::Call> calls = daemon->calls();
    ASSERT_EQ(calls.size(), 11);
    // A pid travels as a 64-bit integer whatever its size, the sampling time unchanged.
    EXPECT_EQ(calls[0].arguments, (QVariantList{qlonglong(4'000'000'000LL), true}));
    EXPECT_EQ(calls[1].arguments, QVariantList{false});
    EXPECT_EQ(calls[3].arguments, QVariantList{qlonglong(3)});
    EXPECT_EQ(daemon->methods().mid(4),
              (QStringList{HelperProtocol::setForceDischarge, HelperProtocol::setAppleLimit80,
                           HelperProtocol::resetChargingDefaults, HelperProtocol::setLowPowerMode,
                           HelperProtocol::setSpotlightPaused, HelperProtocol::setTimeMachinePaused,
                           HelperProtocol::restoreAllPowerSaving}));
    // Calls change nothing the views observe.
    EXPECT_FALSE(client->isConnected() || client->helperVersion());
}

TEST_F(HelperClientTest, EveryKindOfFailureIsNoValue)
{
    daemon->setReply(HelperProtocol::setLowPowerMode, "{\"success\": tru");
    EXPECT_FALSE(run(client->setLowPowerMode(true)));
    // Well-formed JSON of another type.
    daemon->setReply(HelperProtocol::readChargingState, *HelperCommandResult::ok().toJson());
    EXPECT_FALSE(run(client->readChargingState()));
    daemon->setAnswer(HelperProtocol::setSpotlightPaused, Answer::empty());
    EXPECT_FALSE(run(client->setSpotlightPaused(true)));
    daemon->setAnswer(HelperProtocol::setTimeMachinePaused, Answer::error());
    EXPECT_FALSE(run(client->setTimeMachinePaused(true)));
    // A number where bytes belong.
    daemon->setAnswer(HelperProtocol::restoreAllPowerSaving, Answer::number(1));
    EXPECT_FALSE(run(client->restoreAllPowerSaving()));

    // No daemon on the bus: the bus says so at once, long before a patient call's timeout.
    HelperClientConfig patient = shortConfig();
    patient.callTimeout = 20s;
    HelperClient waiting(bus.connect(QStringLiteral("patient")), services, *defaults, patient);
    daemon.reset();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(run(waiting.setChargingEnabled(true)));
    EXPECT_LT(timer.elapsed(), 10'000);
}

TEST_F(HelperClientTest, ACallEndsAtItsTimeoutAndItsLateReplyChangesNothing)
{
    daemon->setAnswer(HelperProtocol::readChargingState,
                      Answer::bytes(*SMCChargingState{true, true, true}.toJson()).after(6000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(run(client->readChargingState()));
    // Its second, less the few per cent a coarse timer may fire early; well before the answer.
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_LT(timer.elapsed(), 5000);
    // The next call gets its own answer, not the one still on its way.
    const SMCChargingState fresh{false, false, false};
    daemon->setReply(HelperProtocol::readChargingState, *fresh.toJson());
    EXPECT_EQ(run(client->readChargingState()), fresh);

    // A late version answer leaves the client unconnected.
    daemon->setVersion(2, 2000);
    EXPECT_FALSE(run(client->tryConnectAndProbe()));
    spin(1500);
    EXPECT_FALSE(client->isConnected() || client->helperVersion());
    EXPECT_EQ(daemon->count(HelperProtocol::probeCapabilities), 0);

    // Sampling may take longer than other calls.
    daemon->setAnswer(HelperProtocol::samplePowerMetrics,
                      Answer::bytes(*PowerMetricsReport{QDateTime::currentDateTimeUtc(), 3, {}}.toJson()).after(2500));
    EXPECT_TRUE(run(client->samplePowerMetrics(3)));
}

TEST_F(HelperClientTest, VersionRequestAndProbeSetWhatTheViewsShow)
{
    services.status = ServiceManagement::Status::Enabled;
    client->refreshStatus();
    daemon->setVersion(1);
    EXPECT_TRUE(run(client->tryConnectAndProbe()));
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(client->helperVersion(), 1);
    EXPECT_EQ(client->lastError(), QStringLiteral("ヘルパーのバージョンが一致しません(再ビルド/再登録してください)"));
    ASSERT_TRUE(client->capabilities());
    EXPECT_EQ(client->capabilities()->chargingControlMethod, QStringLiteral("CH0B/CH0C"));

    // A probe that does not decode clears the capabilities, not the connection.
    daemon->setVersion(2);
    daemon->setReply(HelperProtocol::probeCapabilities, "\x01\x02garbage");
    EXPECT_TRUE(run(client->tryConnectAndProbe()));
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(client->lastError(), std::nullopt);
    EXPECT_EQ(client->capabilities(), std::nullopt);

    daemon->setAnswer(HelperProtocol::getVersion, Answer::error());
    EXPECT_FALSE(run(client->tryConnectAndProbe()));
    EXPECT_FALSE(client->isConnected() || client->helperVersion());
    EXPECT_EQ(client->lastError(),
              QStringLiteral("ヘルパーに接続できません。システム設定で許可したあと「修復」を試してください。"));

    // Unless the daemon is enabled or awaiting approval, a failed request keeps the last error.
    services.status = ServiceManagement::Status::NotRegistered;
    services.unregisterError = QStringLiteral("busy");
    client->unregister();
    EXPECT_FALSE(run(client->tryConnectAndProbe()));
    EXPECT_EQ(client->lastError(), QStringLiteral("登録解除エラー: busy"));
}

TEST_F(HelperClientTest, TheLinkIsDroppedWhenItsDaemonLeavesAndOnlyThen)
{
    ASSERT_TRUE(run(client->tryConnectAndProbe()));
    ASSERT_NE(client->connection(), nullptr);
    // The daemon exits: the link goes; the last answer stands until the next request.
    daemon->releaseName();
    ASSERT_TRUE(waitUntil([&] { return client->connection() == nullptr; }));
    EXPECT_TRUE(client->isConnected());

    daemon->claimName();
    ASSERT_TRUE(run(client->tryConnectAndProbe()));
    QPointer<HelperConnection> old = client->connection();
    // A replaced link may still report its daemon gone; its successor stays.
    client->unregister();
    auto pending = client->readChargingState();
    HelperConnection* current = client->connection();
    ASSERT_TRUE(old && current && current != old.data());
    emit old->invalidated();
    EXPECT_EQ(client->connection(), current);
    EXPECT_TRUE(run(std::move(pending)));

    // Dropping a link ends the calls waiting on it.
    daemon->setAnswer(HelperProtocol::setLowPowerMode, Answer::none());
    std::optional<std::optional<HelperCommandResult>> waiting;
    storeResult(client->setLowPowerMode(true), &waiting);
    ASSERT_TRUE(waitUntil([&] { return daemon->count(HelperProtocol::setLowPowerMode) == 1; }));
    client->unregister();
    ASSERT_TRUE(waitUntil([&] { return waiting.has_value(); }, 200));
    EXPECT_FALSE(*waiting);
}

TEST_F(HelperClientTest, QuitResetIsBoundedAgainstADaemonThatNeverAnswers)
{
    daemon->setAnswerForAll(Answer::none());
    QElapsedTimer timer;
    timer.start();
    client->synchronousResetChargingDefaults();
    // Each call waited out its 200 ms (less the few per cent a coarse timer may fire early),
    // and not the bus's own 25 s.
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_LT(timer.elapsed(), 5000);
    // Both calls were sent, in order, and the client's state is untouched.
    ASSERT_TRUE(waitUntil([&] { return daemon->calls().size() == 2; }));
    EXPECT_EQ(daemon->methods(),
              (QStringList{HelperProtocol::resetChargingDefaults, HelperProtocol::restoreAllPowerSaving}));
    EXPECT_EQ(client->connection(), nullptr);
}

} // namespace kestrune::test
