#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/PrivateBus.h"

#include <QCoro/QCoroTask>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace kestrune::test {

using namespace std::chrono_literals;

// A client on a private bus with a fake daemon, short timeouts and a fake service manager.
class HelperClientTest : public ::testing::Test {
protected:
    static HelperClientConfig shortConfig()
    {
        HelperClientConfig config;
        config.build = QStringLiteral("42");
        // Long enough for an answer on a busy machine; the tests that wait one out pay for it.
        config.versionTimeout = 1000ms;
        config.callTimeout = 1000ms;
        config.powerMetricsTimeout = 5000ms;
        config.quitCallTimeout = 200ms;
        config.registerWait = 20ms;
        config.reregisterWait = 20ms;
        return config;
    }

    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(dir.isValid());
        daemon = std::make_unique<FakeHelperDaemon>(bus.connect(QStringLiteral("daemon")));
        ASSERT_TRUE(daemon->isRegistered());
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.json")));
        client = std::make_unique<HelperClient>(bus.connect(QStringLiteral("app")), services, *defaults, shortConfig());
    }

    void TearDown() override
    {
        client.reset();
        daemon.reset();
        // Lets late replies and deferred deletions run before the bus goes.
        spin(20);
    }

    // Runs a task to its end in a nested event loop.
    template <typename T>
    static T run(QCoro::Task<T> task)
    {
        return QCoro::waitFor(std::move(task));
    }

    std::optional<QString> recordedBuild() const { return defaults->string(QString::fromLatin1(HelperClient::buildKey)); }
    void recordBuild(const QString& build) { defaults->set(QString::fromLatin1(HelperClient::buildKey), build); }

    // The version request fails until a repair has been made: from its second arrival on, the
    // daemon answers it.
    void answerVersionFromTheSecondRequest()
    {
        daemon->setAnswer(HelperProtocol::getVersion, FakeHelperDaemon::Answer::error());
        QObject::connect(daemon.get(), &FakeHelperDaemon::called, daemon.get(), [this](const QString& method) {
            if (method == HelperProtocol::getVersion)
                daemon->setVersion(2);
        });
    }

    PrivateBus bus;
    QTemporaryDir dir;
    FakeServiceManagement services;
    std::unique_ptr<FakeHelperDaemon> daemon;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<HelperClient> client;
};

// Stores a task's result when it ends, so that tests can run several at once.
template <typename T>
QCoro::Task<> storeResult(QCoro::Task<T> task, std::optional<T>* out)
{
    *out = co_await std::move(task);
}

} // namespace kestrune::test
