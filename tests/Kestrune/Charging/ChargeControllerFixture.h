#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/PrivateBus.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune {

inline void PrintTo(const ChargeController::Event& e, std::ostream* os)
{
    *os << "event " << static_cast<int>(e.kind) << '(' << e.limit << ", " << e.message.toStdString() << ')';
}

namespace test {

// A controller on the real helper client, talking to a scriptable fake daemon on a private bus.
class ChargeControllerTest : public ::testing::Test {
protected:
    using Event = ChargeController::Event;
    static inline const QTimeZone berlin{"Europe/Berlin"};

    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning() && dir.isValid());
        daemon = std::make_unique<FakeHelperDaemon>(bus.connect(QStringLiteral("daemon")));
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<ChargingSettings>(*defaults);
        HelperClientConfig config;
        // Long enough for an answer on a busy machine: no test here waits one out.
        config.versionTimeout = config.callTimeout = std::chrono::milliseconds(10'000);
        client = std::make_unique<HelperClient>(bus.connect(QStringLiteral("app")), services, *defaults, config);
        adaptive = std::make_unique<AdaptiveEngine>(nullptr, *defaults, LocalCalendar(berlin));
        makeController();
    }

    void TearDown() override
    {
        controller.reset();
        client.reset();
        daemon.reset();
        spin(20);
    }

    void makeController()
    {
        controller = std::make_unique<ChargeController>(*settings, *client, *adaptive, LocalCalendar(berlin));
        controller->onEvent = [this](const Event& event) { events.append(event); };
    }

    static ChargingCapabilities controlMac() { return {true, QStringLiteral("CH0B/CH0C"), QStringLiteral("CHIE"), false, {}}; }
    static ChargingCapabilities limit80OnlyMac() { return {true, std::nullopt, std::nullopt, true, {}}; }

    void connect(const ChargingCapabilities& capabilities = controlMac())
    {
        daemon->setReply(HelperProtocol::probeCapabilities, *capabilities.toJson());
        ASSERT_TRUE(QCoro::waitFor(client->tryConnectAndProbe()));
        daemon->clearCalls();
    }

    static BatterySnapshot reading(int soc, bool charging, bool external = true, bool full = false)
    {
        BatterySnapshot s;
        s.socPercent = soc;
        s.isCharging = charging;
        s.externalConnected = external;
        s.fullyCharged = full;
        return s;
    }

    // One pass, 30 s after the previous one (or at `at`), run to its end.
    void pass(int soc, bool charging, bool external = true, bool full = false)
    {
        passAt(now.addSecs(30), soc, charging, external, full);
    }
    void passAt(const QDateTime& at, int soc, bool charging, bool external = true, bool full = false)
    {
        now = at;
        QCoro::waitFor(controller->evaluate(reading(soc, charging, external, full), now));
    }

    // The daemon calls since the last look, as "method(argument)".
    QStringList writes()
    {
        QStringList out;
        for (const FakeHelperDaemon::Call& call : daemon->calls())
            out << call.method + u'(' + call.arguments.value(0).toString() + u')';
        daemon->clearCalls();
        return out;
    }

    // The events since the last look.
    QList<Event> taken() { return std::exchange(events, {}); }

    static QByteArray failure() { return *HelperCommandResult::failure(QStringLiteral("失敗")).toJson(); }

    PrivateBus bus;
    QTemporaryDir dir;
    FakeServiceManagement services{ServiceManagement::Status::Enabled};
    std::unique_ptr<FakeHelperDaemon> daemon;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ChargingSettings> settings;
    std::unique_ptr<HelperClient> client;
    std::unique_ptr<AdaptiveEngine> adaptive;
    std::unique_ptr<ChargeController> controller;
    QList<Event> events;
    QDateTime now{QDate(2026, 3, 2), QTime(9, 0), Qt::UTC};
};

} // namespace test
} // namespace kestrune
