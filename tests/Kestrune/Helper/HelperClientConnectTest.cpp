#include "tests/Kestrune/Helper/HelperClientFixture.h"

namespace kestrune::test {

using Answer = FakeHelperDaemon::Answer;
using SM = ServiceManagement::Status;

TEST_F(HelperClientTest, LadderWithoutARegistrationNeverReachesTheDaemon)
{
    for (SM status : {SM::NotRegistered, SM::NotFound}) {
        services.status = status;
        EXPECT_FALSE(run(client->ensureConnected()));
    }
    EXPECT_TRUE(daemon->calls().isEmpty());
    // Unknown is tried once, but never answered by registering.
    services.status = SM::Unknown;
    daemon->setAnswer(HelperProtocol::getVersion, Answer::error());
    EXPECT_FALSE(run(client->ensureConnected()));
    EXPECT_EQ(daemon->methods(), QStringList{HelperProtocol::getVersion});
    EXPECT_EQ(services.registrations + services.unregistrations + services.settingsOpened, 0);
    EXPECT_FALSE(recordedBuild());
}

TEST_F(HelperClientTest, LadderFirstTryConnectsAndRecordsTheBuild)
{
    services.status = SM::Enabled;
    EXPECT_TRUE(run(client->ensureConnected()));
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(recordedBuild(), QStringLiteral("42"));
    EXPECT_EQ(daemon->methods(), (QStringList{HelperProtocol::getVersion, HelperProtocol::probeCapabilities}));
    EXPECT_EQ(services.registrations, 0);
}

TEST_F(HelperClientTest, LadderAwaitingApprovalWithThisBuildRegistersAgainThenTries)
{
    recordBuild(QStringLiteral("42"));
    services.status = SM::RequiresApproval;
    services.statusAfterRegister = SM::Enabled;
    EXPECT_TRUE(run(client->ensureConnected()));
    // No first try while approval is missing: one version request, after the registration.
    EXPECT_EQ(services.registrations, 1);
    EXPECT_EQ(daemon->count(HelperProtocol::getVersion), 1);
    EXPECT_EQ(client->status(), HelperClient::Status::Enabled);

    services.status = SM::RequiresApproval;
    services.statusAfterRegister = SM::RequiresApproval;
    daemon->setAnswer(HelperProtocol::getVersion, Answer::error());
    EXPECT_FALSE(run(client->ensureConnected()));
    EXPECT_EQ(services.registrations, 2);
    EXPECT_EQ(services.unregistrations + services.settingsOpened, 0);
    EXPECT_EQ(client->lastError(),
              QStringLiteral("ヘルパーに接続できません。システム設定で許可したあと「修復」を試してください。"));
}

TEST_F(HelperClientTest, LadderEnabledWithThisBuildRetriesOnceOnAFreshLink)
{
    recordBuild(QStringLiteral("42"));
    services.status = SM::Enabled;
    answerVersionFromTheSecondRequest();
    daemon->setAnswer(HelperProtocol::getVersion, Answer::none()); // the first request times out
    QList<HelperConnection*> links;
    QObject::connect(client.get(), &HelperClient::connectionChanged, client.get(),
                     [&] { links << client->connection(); });

    EXPECT_TRUE(run(client->ensureConnected()));
    EXPECT_EQ(daemon->count(HelperProtocol::getVersion), 2);
    // Cached, dropped, and a new one for the retry.
    ASSERT_EQ(links.size(), 3);
    EXPECT_EQ(links[1], nullptr);
    EXPECT_NE(links[2], nullptr);
    EXPECT_NE(links[2], links[0]);
    EXPECT_EQ(services.registrations + services.unregistrations + services.settingsOpened, 0);
}

TEST_F(HelperClientTest, LadderANewBuildReregistersOnlyOnce)
{
    recordBuild(QStringLiteral("41"));
    services.status = SM::Enabled;
    services.statusAfterRegister = SM::Enabled;
    answerVersionFromTheSecondRequest();
    EXPECT_TRUE(run(client->ensureConnected()));
    EXPECT_EQ(services.unregistrations, 1);
    EXPECT_EQ(services.registrations, 1);
    EXPECT_EQ(recordedBuild(), QStringLiteral("42"));

    // From now on a failure takes the lighter repair.
    QObject::disconnect(daemon.get(), &FakeHelperDaemon::called, daemon.get(), nullptr);
    daemon->setAnswer(HelperProtocol::getVersion, Answer::error());
    EXPECT_FALSE(run(client->ensureConnected()));
    EXPECT_EQ(services.unregistrations, 1);
    EXPECT_EQ(services.registrations, 1);
}

TEST_F(HelperClientTest, LadderANewBuildStillAwaitingApprovalShowsWhereToAllowIt)
{
    services.status = SM::RequiresApproval;
    services.statusAfterRegister = SM::RequiresApproval;
    daemon->setAnswer(HelperProtocol::getVersion, Answer::error());
    EXPECT_FALSE(run(client->ensureConnected()));
    EXPECT_EQ(services.unregistrations, 1);
    EXPECT_EQ(services.registrations, 1);
    EXPECT_EQ(services.settingsOpened, 1);
    // Re-registering recorded the build although nothing connected.
    EXPECT_EQ(recordedBuild(), QStringLiteral("42"));

    // Where there is nothing to open, the error tells the user what to do.
    defaults->remove(QString::fromLatin1(HelperClient::buildKey));
    services.canOpenSettings = false;
    EXPECT_FALSE(run(client->ensureConnected()));
    EXPECT_EQ(client->lastError(), services.enableInstructions());
}

TEST_F(HelperClientTest, ConcurrentCallersShareOneAttempt)
{
    services.status = SM::Enabled;
    daemon->setVersion(2, 100);
    std::optional<bool> first, second;
    storeResult(client->ensureConnected(), &first);
    storeResult(client->ensureConnected(), &second);
    ASSERT_TRUE(waitUntil([&] { return first && second; }));
    EXPECT_TRUE(*first && *second);
    EXPECT_EQ(daemon->count(HelperProtocol::getVersion), 1);
    EXPECT_EQ(services.statusReads, 1);

    // A caller after the attempt ended starts a new one, which others can wait for.
    std::optional<bool> third;
    storeResult(client->ensureConnected(), &third);
    run(client->waitForInFlightEnsure());
    ASSERT_TRUE(waitUntil([&] { return third.has_value(); }, 50));
    EXPECT_EQ(daemon->count(HelperProtocol::getVersion), 2);

    // An attempt whose client goes away ends all the same.
    daemon->setVersion(2, 100);
    std::optional<bool> orphan;
    storeResult(client->ensureConnected(), &orphan);
    client.reset();
    ASSERT_TRUE(waitUntil([&] { return orphan.has_value(); }));
    EXPECT_FALSE(*orphan);
}

} // namespace kestrune::test
