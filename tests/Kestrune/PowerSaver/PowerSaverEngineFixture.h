#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"

#include <QCoro/QCoroTask>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune {

namespace test {

// A strategist whose readiness, strategy and reports the test sets, and which records what
// it was asked.
class ScriptedStrategist : public AIStrategist {
public:
    using AIStrategist::AIStrategist;

    bool ready = true;
    std::optional<Strategy> strategy;
    std::optional<QString> report;
    std::optional<QDateTime> reportAt;
    // The text the next report request receives; none: the request fails.
    std::optional<QString> nextReport;
    QList<QJsonObject> telemetries;
    QList<bool> forces;
    QList<QJsonObject> reportRequests;

    bool isReady() const override { return ready; }
    std::optional<Strategy> activeStrategy() const override { return strategy; }
    QCoro::Task<> maybeUpdateStrategy(QJsonObject telemetry, bool force) override
    {
        telemetries << telemetry;
        forces << force;
        co_return;
    }
    QCoro::Task<> generateSessionReport(QJsonObject stats) override
    {
        reportRequests << stats;
        if (nextReport) {
            report = std::exchange(nextReport, std::nullopt);
            reportAt = clock.now();
        }
        co_return;
    }
    std::optional<QString> lastSessionReport() const override { return report; }
    std::optional<QDateTime> lastSessionReportAt() const override { return reportAt; }
};

// The engine on the real helper client and a fake daemon, a simulated machine's backlights,
// a temporary history store and a manual clock in Berlin.
class PowerSaverEngineTest : public ::testing::Test {
protected:
    static inline const QTimeZone berlin{"Europe/Berlin"};

    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning() && dir.isValid());
        root = dir.filePath(QStringLiteral("sys"));
        ASSERT_TRUE(SimTree::create(root, SimTree::Options()));
        setBacklight(800, 1000);
        daemon = std::make_unique<FakeHelperDaemon>(bus.connect(QStringLiteral("daemon")));
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.json")));
        settings = std::make_unique<ChargingSettings>(*defaults);
        HelperClientConfig config;
        // Long enough for an answer on a busy machine: a daemon that does not answer is one
        // that answers with an error, which the client turns into the same nothing at once.
        config.versionTimeout = config.callTimeout = config.powerMetricsTimeout = std::chrono::milliseconds(10'000);
        client = std::make_unique<HelperClient>(bus.connect(QStringLiteral("app")), services, *defaults, config);
        tracker = std::make_unique<ProcessEnergyTracker>(*defaults, workspace, clock);
        display = std::make_unique<DisplayControl>(root, std::make_shared<SysfsBacklightWriter>(root));
        history = HistoryStore::open(dir.filePath(QStringLiteral("History.store")), nullptr, clock,
                                     LocalCalendar(berlin));
        ASSERT_TRUE(history);
        notifier = std::make_unique<Notifier>(std::make_unique<RecordingNotifications>(&posts), clock);
        savings = std::make_unique<SavingsModel>(*defaults, clock);
        strategist = std::make_unique<ScriptedStrategist>(*settings, *defaults, clock, LocalCalendar(berlin));
        makeEngine();
    }

    void TearDown() override
    {
        engine.reset();
        client.reset();
        daemon.reset();
        spin(20);
    }

    void makeEngine()
    {
        engine = std::make_unique<PowerSaverEngine>(*settings, *client, *tracker, *display, history.get(), *notifier,
                                                    *savings, *defaults, clock, LocalCalendar(berlin));
        access = std::make_unique<PowerSaverEngineTestAccess>(*engine);
    }

    void connectDaemon() { ASSERT_TRUE(QCoro::waitFor(client->tryConnectAndProbe())); daemon->clearCalls(); }

    // A reading of a 60 Wh battery (5000 mAh at 12 V) drawing `watts` on battery.
    static BatterySnapshot battery(int soc, double watts = 8)
    {
        BatterySnapshot s;
        s.socPercent = soc;
        s.voltageV = 12;
        s.amperageA = -watts / 12;
        s.nominalCapacitymAh = 5000;
        return s;
    }
    static BatterySnapshot onAC(int soc = 80)
    {
        BatterySnapshot s = battery(soc, 0);
        s.externalConnected = true;
        s.amperageA = 1;
        return s;
    }

    // One tick at the clock's time, `seconds` after the previous one, run to its end.
    void tick(const BatterySnapshot& snapshot, double seconds = 30)
    {
        clock.advance(seconds);
        QCoro::waitFor(engine->evaluate(snapshot, clock.now()));
    }

    // The action log, oldest first, as "action: detail".
    QStringList logLines() const
    {
        QStringList lines;
        const QList<PowerActionRecord> records = history->recentPowerActions(1000);
        for (auto it = records.crbegin(); it != records.crend(); ++it)
            lines << it->action + QStringLiteral(": ") + it->detail;
        return lines;
    }

    QStringList postedIds() const
    {
        QStringList ids;
        for (const Posted& p : posts)
            ids << p.id;
        return ids;
    }

    void setBacklight(int value, int max = 1000)
    {
        writeFile(SimTree::backlightPath(root) + QStringLiteral("/max_brightness"), QString::number(max));
        writeFile(SimTree::backlightPath(root) + QStringLiteral("/brightness"), QString::number(value));
    }
    static void writeFile(const QString& path, const QString& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8() + '\n');
    }
    static QByteArray success() { return *HelperCommandResult::ok().toJson(); }
    static QByteArray failure() { return *HelperCommandResult::failure(QStringLiteral("失敗")).toJson(); }

    PrivateBus bus;
    QTemporaryDir dir;
    QString root;
    ManualClock clock{QDateTime(QDate(2026, 3, 2), QTime(9, 0), berlin)};
    FakeServiceManagement services{ServiceManagement::Status::Enabled};
    FakeWorkspace workspace;
    std::unique_ptr<FakeHelperDaemon> daemon;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ChargingSettings> settings;
    std::unique_ptr<HelperClient> client;
    std::unique_ptr<ProcessEnergyTracker> tracker;
    std::unique_ptr<DisplayControl> display;
    std::unique_ptr<HistoryStore> history;
    QList<Posted> posts;
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<SavingsModel> savings;
    std::unique_ptr<ScriptedStrategist> strategist;
    std::unique_ptr<PowerSaverEngine> engine;
    std::unique_ptr<PowerSaverEngineTestAccess> access;
};

} // namespace test
} // namespace kestrune
