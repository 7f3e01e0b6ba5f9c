#include "tests/Kestrune/Helper/HelperClientFixture.h"

namespace kestrune::test {

using SM = ServiceManagement::Status;

TEST_F(HelperClientTest, RegisteringReportsErrorsUnlessTheSystemHasTheDaemonAnyway)
{
    // Refused, yet awaiting approval: no error, the build is recorded, the user is sent to allow it.
    services.registerError = QStringLiteral("Operation not permitted");
    services.statusAfterRegister = SM::RequiresApproval;
    client->registerDaemon(true);
    EXPECT_EQ(client->lastError(), std::nullopt);
    EXPECT_EQ(recordedBuild(), QStringLiteral("42"));
    EXPECT_EQ(services.settingsOpened, 1);
    client->registerDaemon(false);
    EXPECT_EQ(services.settingsOpened, 1);

    // Refused and not registered: the error, and the earlier record stays.
    recordBuild(QStringLiteral("41"));
    services.statusAfterRegister = SM::NotRegistered;
    client->registerDaemon(true);
    EXPECT_EQ(client->lastError(), QStringLiteral("登録エラー: Operation not permitted"));
    EXPECT_EQ(recordedBuild(), QStringLiteral("41"));
    EXPECT_EQ(client->status(), HelperClient::Status::NotRegistered);

    // A status the client does not know reads as unknown.
    services.status = static_cast<SM>(42);
    client->refreshStatus();
    EXPECT_EQ(HelperClient::label(client->status()), QStringLiteral("確認中"));
}

TEST_F(HelperClientTest, UnregisteringClearsTheLocalStateEvenWhenItFails)
{
    services.status = SM::Enabled;
    ASSERT_TRUE(run(client->ensureConnected()));
    ASSERT_TRUE(client->capabilities());

    services.unregisterError = QStringLiteral("busy");
    services.statusAfterUnregister = SM::NotRegistered;
    client->unregister();
    EXPECT_EQ(client->lastError(), QStringLiteral("登録解除エラー: busy"));
    EXPECT_FALSE(client->capabilities() || client->helperVersion() || client->isConnected());
    EXPECT_EQ(client->connection(), nullptr);
    EXPECT_FALSE(recordedBuild());
    EXPECT_EQ(client->status(), HelperClient::Status::NotRegistered);
}

TEST_F(HelperClientTest, ReregisteringRecordsTheBuildWhateverHappens)
{
    services.status = SM::Enabled;
    ASSERT_TRUE(run(client->tryConnectAndProbe()));
    recordBuild(QStringLiteral("41"));
    services.unregisterError = QStringLiteral("gone");
    services.registerError = QStringLiteral("refused");
    services.statusAfterRegister = SM::NotFound;

    auto task = client->reregister(true);
    // Disconnected from the first step on.
    EXPECT_FALSE(client->isConnected() || client->capabilities() || client->connection());
    run(std::move(task));
    EXPECT_EQ(client->lastError(), QStringLiteral("登録エラー: refused"));
    EXPECT_EQ(client->status(), HelperClient::Status::NotFound);
    EXPECT_EQ(recordedBuild(), QStringLiteral("42"));
}

} // namespace kestrune::test
