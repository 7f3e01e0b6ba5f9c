#pragma once

// Header-only, shared by the end-to-end test and the idle benchmark.

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeNotificationServer.h"
#include "tests/support/FastClock.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/SimProgram.h"
#include "tests/support/TestAppContext.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QTemporaryDir>
#include <QVariantMap>

#include <memory>

namespace kestrune::test {

// The whole application core, built by AppState, on a simulated laptop: a kestrune-sim tree
// on AC with its battery model running, the real daemon on a private bus, a fake
// notification service on the bus the notifier uses and the fake backend on 127.0.0.1. The
// application's clock runs as fast as the model.
class SimulatedApp {
public:
    struct Options {
        double speed = 1; // simulated seconds per real second
        int modelTickMs = 1000;
        int capacityPercent = 70; // on AC
        double monitorIntervalSeconds = 30;
        std::optional<std::chrono::milliseconds> powerSourcePoll{std::chrono::seconds(2)};
        QVariantMap defaults; // what the application finds stored at launch
    };

    static bool canRun() { return HelperDaemonProcess::isBuilt() && SimProgram::isBuilt(); }

    explicit SimulatedApp(Options options)
        : m_options(std::move(options))
        , clock(m_options.speed)
    {
    }

    // The machine, the daemon, the services and the battery model. False when a piece could
    // not be set up.
    bool setUp()
    {
        if (!bus.isRunning() || !machine.isValid() || !notifications.publish() || !backend.listen())
            return false;
        if (!SimProgram::run({QStringLiteral("tree"), root, QStringLiteral("--capacity"),
                QString::number(m_options.capacityPercent)})
            || !daemon.start(bus, root))
            return false;
        UserDefaults defaults(machine.filePath(QStringLiteral("defaults.json")));
        defaults.set(QStringLiteral("backendURL"), backend.url().toString());
        for (auto it = m_options.defaults.begin(); it != m_options.defaults.end(); ++it)
            defaults.set(it.key(), it.value());
        return model.start(SimProgram::path(),
            {QStringLiteral("run"), root, QStringLiteral("--tick-ms"), QString::number(m_options.modelTickMs),
                QStringLiteral("--speed"), QString::number(m_options.speed), QStringLiteral("--processes-of"),
                QString::number(QCoreApplication::applicationPid())});
    }

    // The application as the program builds it; not started yet.
    AppState& launch()
    {
        AppContext context = testAppContext(machine.path(), bus.connect(QStringLiteral("app")), clock);
        context.services = std::make_shared<BusServiceManagement>(
            context.helperBus, HelperDaemonProcess::serviceOptions(machine.filePath(QStringLiteral("services"))));
        context.monitorIntervalSeconds = m_options.monitorIntervalSeconds;
        context.powerSourcePoll = m_options.powerSourcePoll;
        state = std::make_unique<AppState>(std::move(context));
        return *state;
    }

    ~SimulatedApp()
    {
        model.stop();
        state.reset();
    }

private:
    Options m_options;

public:
    PrivateBus bus;
    QTemporaryDir machine;
    QString root = machine.filePath(QStringLiteral("sys"));
    HelperDaemonProcess daemon;
    ChildProcess model;
    FastClock clock;
    FakeNotificationServer notifications { bus.connect(QStringLiteral("notifications")) };
    FakeBackend backend;
    std::unique_ptr<AppState> state;
};

} // namespace kestrune::test
