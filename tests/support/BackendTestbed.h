#pragma once

// Header-only, so that only the tests of the backend side link what it needs.

#include "Foundation/UserDefaults.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Platform/Network/FakeNetworkPathMonitor.h"
#include "tests/support/Await.h"
#include "tests/support/ManualClock.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune::test {

// One installation's backend client against a fake backend on 127.0.0.1: its defaults and
// settings in a temporary folder, a manual clock, a network path switched by hand, short
// time-outs and a machine description that reads nothing of the real machine.
class BackendTestbed {
public:
    // Short, so that a held answer ends soon; long enough for a full batch of records or a
    // megabyte's answer to go through on a loaded machine under the sanitizers.
    static constexpr std::chrono::milliseconds timeout { 2000 };

    explicit BackendTestbed(FakeBackend::Options options = FakeBackend::Options {})
        : m_ownServer(std::make_unique<FakeBackend>(options))
        , server(*m_ownServer)
    {
        EXPECT_TRUE(server.listen());
        open();
    }

    // Another installation against the same server.
    explicit BackendTestbed(FakeBackend& shared)
        : server(shared)
    {
        open();
    }

    ~BackendTestbed() { client.reset(); }

    QString filePath(const QString& name) const { return dir.filePath(name); }

    BackendClientConfig config() const
    {
        BackendClientConfig config;
        config.healthTimeout = config.registrationTimeout = config.syncTimeout = config.modelTimeout
            = config.cardTimeout = timeout;
        // A bus that does not exist: the machine's name comes from its host name.
        config.systemInfo = SystemInfo(QDBusConnection(QStringLiteral("kestrune-no-bus")), dir.path());
        return config;
    }

    // A fresh client over the stored defaults, as after a restart of the application. After
    // a kill, only what had reached the file is there.
    void open(bool killed = false)
    {
        const QString file = dir.filePath(QStringLiteral("defaults.json"));
        QByteArray onDisk;
        if (QFile f(file); killed && f.open(QIODevice::ReadOnly))
            onDisk = f.readAll();
        client.reset();
        settings.reset();
        defaults.reset();
        if (QFile f(file); killed && f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(onDisk);
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<ChargingSettings>(*defaults);
        if (settings->backendURL() == QLatin1String(ChargingSettings::productionBackendURL))
            settings->setBackendURL(server.url().toString());
        auto monitor = std::make_unique<FakeNetworkPathMonitor>();
        path = monitor.get();
        client = std::make_unique<BackendClient>(*settings, *defaults, std::move(monitor), clock, config());
        // The monitor's first report, as at start.
        QCoreApplication::processEvents();
    }

    // Health check and registration, as the start-up task does them.
    void registerDevice()
    {
        await(client->checkHealth(true));
        EXPECT_TRUE(client->isReady()) << client->lastError().value_or(QString()).toStdString();
    }

private:
    std::unique_ptr<FakeBackend> m_ownServer;

public:
    FakeBackend& server;
    QTemporaryDir dir;
    ManualClock clock;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ChargingSettings> settings;
    FakeNetworkPathMonitor* path = nullptr;
    std::unique_ptr<BackendClient> client;
};

} // namespace kestrune::test
