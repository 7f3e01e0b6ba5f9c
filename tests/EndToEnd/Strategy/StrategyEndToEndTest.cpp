#include "Foundation/LocalCalendar.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Platform/Network/FakeNetworkPathMonitor.h"
#include "tests/support/BusyProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/SimulatedLaptop.h"
#include "tools/kestrune-backend/FakeBackend.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace kestrune::test {

namespace {

using Strategy = AIStrategist::Strategy;

// A model's explanation of `length` characters, full of markup that must stay mere text.
QString markedUpReasoning(qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += QStringLiteral(
            "<b>画面を暗く</b> & <a href=\"file:///etc/passwd\">詳細</a><img src=x onerror=alert(1)> ");
    return text.left(length);
}

// The simulated laptop at 60 % on battery, running two heavy background processes: a plain
// one, and one named like the audio server, which the power saver must never lower. Both
// burn three cores' worth, well past what the saver's middle level throttles. The
// strategist asks a fake backend.
class StrategyEndToEndTest : public ::testing::Test, protected SimulatedLaptop {
protected:
    void SetUp() override
    {
        if (!toolsBuilt() || !BusyProcess::isBuilt())
            GTEST_SKIP() << "kestrune-helper, kestrune-sim or cpu-burner is not built";
        // Started first, so that the first sample already sees them.
        const qint64 self = QCoreApplication::applicationPid();
        ASSERT_TRUE(busy.start(QStringLiteral("busy%1").arg(self), 3));
        ASSERT_TRUE(audio.start(QStringLiteral("pipewire%1").arg(self), 3));
        ASSERT_NO_FATAL_FAILURE(start({ .capacityPercent = 60, .unplugged = true }));

        ASSERT_TRUE(server.listen());
        settings->setBackendURL(server.url().toString());
        BackendClientConfig config;
        // A bus that does not exist: the machine's name comes from its host name.
        config.systemInfo = SystemInfo(QDBusConnection(QStringLiteral("kestrune-no-bus")), root);
        backend = std::make_unique<BackendClient>(
            *settings, *defaults, std::make_unique<FakeNetworkPathMonitor>(), clock, config);
        QCoro::waitFor(backend->checkHealth(true));
        ASSERT_TRUE(backend->isReady()) << backend->lastError().value_or(QString()).toStdString();
        strategist = std::make_unique<AIStrategist>(*settings, *defaults, clock, LocalCalendar());
        strategist->setBackend(backend.get());
    }

    // The evaluations stop before the strategist and its backend go.
    void TearDown() override { stop(); }

    // The energy impact the last sample gave the process; nothing when it was not in it.
    std::optional<double> sampledImpact(const BusyProcess& process) const
    {
        for (const ProcessPowerSample& sample : tracker->latestProcesses())
            if (sample.pid == process.pid() && sample.name == process.name())
                return sample.energyImpact;
        return std::nullopt;
    }

    BusyProcess busy;
    BusyProcess audio;
    FakeBackend server;
    std::unique_ptr<BackendClient> backend;
    std::unique_ptr<AIStrategist> strategist;
};

} // namespace

// The model recommends lowering a process the machine never reported, the audio server and
// the busy process; it asks for a display at 1 %, a drain of 0.5 W and escalation at 99 %,
// and explains itself at length in markup. Only what the machine reported and the safe
// ranges allow reaches it.
TEST_F(StrategyEndToEndTest, AHostileStrategyReachesTheMachineOnlyWithinSafeBounds)
{
    const QString unlisted = QStringLiteral("ghost-miner");
    const QString reasoning = markedUpReasoning(1000);
    server.setStrategy(QJsonObject {
        { QStringLiteral("throttle_recommended"), QJsonArray { unlisted, audio.name(), busy.name() } },
        { QStringLiteral("brightness_cap"), 0.01 },
        { QStringLiteral("target_drain_watts"), 0.5 },
        { QStringLiteral("escalate_soc_threshold"), 99 },
        { QStringLiteral("reasoning"), reasoning },
    });
    // Every brightness the display is given.
    QList<float> brightnessSet;
    display->setBrightnessFn = [set = display->setBrightnessFn, &brightnessSet](quint32 id, float value) {
        brightnessSet << value;
        return set(id, value);
    };

    // The strategist joins once the sampler has seen both processes, so that both are among
    // the names the machine reports with its request.
    ASSERT_TRUE(waitUntil([&] { return sampledImpact(busy) && sampledImpact(audio); }, 20000)) << actionLog();
    // Without a strategy 60 % is well above the 40 % that lifts the saver to level 2.
    EXPECT_EQ(engine->level(), 1);
    engine->setStrategist(strategist.get());
    ASSERT_TRUE(waitUntil([&] { return strategist->currentStrategy().has_value(); }, 20000))
        << strategist->lastError().value_or(QString()).toStdString();

    ASSERT_FALSE(server.requests(QStringLiteral("/v1/ai/strategy")).isEmpty());
    QStringList reported;
    const QJsonObject payload
        = server.requests(QStringLiteral("/v1/ai/strategy")).first().json()[u"payload"].toObject();
    for (const QJsonValue& process : payload[u"top_processes"].toArray())
        reported << process[u"name"].toString();
    EXPECT_TRUE(reported.contains(busy.name()) && reported.contains(audio.name()))
        << reported.join(u' ').toStdString();

    Strategy clamped;
    clamped.targetDrainWatts = 3.0;
    clamped.throttleRecommended = QStringList { audio.name(), busy.name() };
    clamped.brightnessCap = 0.5;
    clamped.escalateSocThreshold = 60;
    clamped.reasoning = reasoning.left(300);
    const QByteArray stored = defaults->data(QStringLiteral("ai.strategyJSON")).value_or(QByteArray());
    EXPECT_EQ(Strategy::fromJson(stored), clamped) << stored.toStdString();
    EXPECT_FALSE(stored.contains(unlisted.toUtf8())) << stored.toStdString();
    EXPECT_EQ(strategist->activeStrategy(), clamped);

    // Escalating at 60 % instead of 40 % lifts the saver to level 2, where it dims the display
    // and throttles heavy processes.
    ASSERT_TRUE(waitUntil([&] { return engine->level() == 2; }, 10000)) << engine->statusText().toStdString();
    // The daemon lowers the process before it answers, so both are waited for.
    EXPECT_TRUE(waitUntil(
        [&] {
            return engine->throttledProcesses().keys(busy.name()) == QList<qint64> { busy.pid() }
            && busy.nice() == 19;
        },
        30000))
        << "nice " << busy.nice() << ", impact " << sampledImpact(busy).value_or(0)
        << " (150 at least to be throttled at level 2; is the machine busy?)\n"
        << actionLog();

    // The saver aims at 3 W, not 0.5 W, and still has watts to save.
    EXPECT_TRUE(waitUntil(
        [&] {
            return engine->currentDeficitW() > 1
                && std::abs(engine->currentDeficitW() - (engine->drainWatts() - 3)) < 1e-9;
        },
        10000))
        << "deficit " << engine->currentDeficitW() << " W, drain " << engine->drainWatts() << " W";

    // The plan's cap, raised to half, is what reaches the display: not the 1 % asked for, and
    // not the saver's own 70 % either.
    EXPECT_TRUE(
        waitUntil([&] { return engine->activeActionKeys().contains(QStringLiteral("dim70")); }, 10000))
        << actionLog();
    ASSERT_FALSE(brightnessSet.isEmpty());
    EXPECT_FLOAT_EQ(brightnessSet.first(), 0.5f);
    EXPECT_GE(*std::min_element(brightnessSet.begin(), brightnessSet.end()), 0.5f);
    // The device takes whole steps.
    const QString backlight = SimTree::backlightPath(root);
    const double steps = readTrimmed(backlight + QStringLiteral("/max_brightness")).toDouble();
    EXPECT_NEAR(readTrimmed(backlight + QStringLiteral("/brightness")).toDouble() / steps, 0.5, 1 / steps);

    // As heavy as the busy process and recommended as well, the audio server was passed over
    // in every pass so far.
    EXPECT_FALSE(engine->throttledProcesses().contains(audio.pid()));
    EXPECT_EQ(audio.nice(), 0);
    EXPECT_FALSE(QString::fromStdString(actionLog()).contains(audio.name())) << actionLog();
}

} // namespace kestrune::test
