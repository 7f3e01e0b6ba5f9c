#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tests/support/BusyProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/SimulatedLaptop.h"
#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>

#include <cmath>

#include <unistd.h>

namespace kestrune::test {

namespace {

// The simulated laptop at 70 % on AC.
class PowerSaverEndToEndTest : public ::testing::Test, protected SimulatedLaptop {
protected:
    void SetUp() override
    {
        if (!toolsBuilt() || !BusyProcess::isBuilt())
            GTEST_SKIP() << "kestrune-helper, kestrune-sim or cpu-burner is not built";
        ASSERT_NO_FATAL_FAILURE(start({.capacityPercent = 70, .unplugged = false}));
    }
};

} // namespace

TEST_F(PowerSaverEndToEndTest, FollowsTheBatteryFromUnplugToPlugAndMeasuresACap)
{
    PowerSaverEngineTestAccess access(*engine);
    ASSERT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));

    // A light load: below 4 W the lowest level takes no process samples, which would hold
    // the ticks for seconds at this speed.
    ASSERT_TRUE(sim(QStringLiteral("load"), {QStringLiteral("1")}));
    ASSERT_TRUE(sim(QStringLiteral("unplug")));
    ASSERT_TRUE(waitUntil([&] { return access.sessionStart().has_value(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return std::abs(engine->drainWatts() - modelDraw()) < 0.1 * modelDraw(); }, 30000))
        << "drain " << engine->drainWatts() << " W, model " << modelDraw() << " W\n" << actionLog();
    EXPECT_GE(engine->level(), 1);
    EXPECT_TRUE(engine->statusText().startsWith(QStringLiteral("L%1 ").arg(engine->level())))
        << engine->statusText().toStdString();
    EXPECT_TRUE(engine->estimatedRuntimeHours());

    // A cap of 0.5 from 0.8 takes 0.3 of the display's 3 W off the draw.
    const double before = modelDraw();
    ASSERT_TRUE(display->applyBrightnessCap(0.5f));
    access.measurer().begin(QStringLiteral("dim70"), clock.now());
    EXPECT_NEAR(before - modelDraw(), 0.3 * BatteryModel::displayWatts, 0.01);
    ASSERT_TRUE(waitUntil([&] { return !history->actionOutcomes(clock.now().addDays(-1), 10).isEmpty(); }, 15000));
    const ActionOutcomeRecord outcome = history->actionOutcomes(clock.now().addDays(-1), 10).first();
    EXPECT_EQ(outcome.actionKey, QStringLiteral("dim70"));
    EXPECT_TRUE(outcome.valid);
    EXPECT_NEAR(outcome.deltaW, 0.3 * BatteryModel::displayWatts, 0.25);

    ASSERT_TRUE(sim(QStringLiteral("plug")));
    EXPECT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    EXPECT_EQ(engine->level(), 0);
    EXPECT_FALSE(access.sessionStart());
}

// A target of 20 h that 36 Wh cannot reach keeps the saver at its maximum level: on battery
// it switches low power mode on, caps the display at half, turns the keyboard off and
// throttles a busy background process; plugging in puts everything back.
TEST_F(PowerSaverEndToEndTest, SavesHardOnBatteryAndPutsEverythingBackOnAC)
{
    const bool root = geteuid() == 0;
    BusyProcess busy;
    ASSERT_TRUE(busy.start(QStringLiteral("busy%1").arg(QCoreApplication::applicationPid()), 1));
    settings->setTargetAutoLearn(false);
    settings->setManualTargetHours(20);
    PowerSaverEngineTestAccess access(*engine);
    const QString backlight = SimTree::backlightPath(this->root);
    const QString keyboard = SimTree::keyboardBacklightPath(this->root);
    const QString firstBacklight = readTrimmed(backlight + QStringLiteral("/brightness"));
    const QString firstKeyboard = readTrimmed(keyboard + QStringLiteral("/brightness"));
    ASSERT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    ASSERT_TRUE(sim(QStringLiteral("unplug")));
    const double unsaved = modelDraw();

    ASSERT_TRUE(waitUntil([&] { return engine->level() == 3; }, 5000)) << engine->statusText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return readTrimmed(SimTree::platformProfilePath(this->root)) == "low-power"; }, 5000));
    EXPECT_EQ(readTrimmed(keyboard + QStringLiteral("/brightness")), QStringLiteral("0"));
    EXPECT_TRUE(waitUntil([&] {
        return readTrimmed(backlight + QStringLiteral("/brightness")).toInt() * 2
            <= readTrimmed(backlight + QStringLiteral("/max_brightness")).toInt();
    }, 10000)) << actionLog();
    // The daemon lowers the process before it answers, so both are waited for.
    EXPECT_TRUE(waitUntil([&] { return busy.nice() == 19 && engine->throttledProcesses().contains(busy.pid()); },
                          30000))
        << "nice " << busy.nice() << "\n" << actionLog();
    EXPECT_LT(modelDraw(), unsaved - 2);
    // The log line follows the daemon's answer by a moment.
    QSet<QString> kinds;
    EXPECT_TRUE(waitUntil([&] {
        kinds.clear();
        for (const PowerActionRecord& record : history->recentPowerActions(100))
            kinds.insert(record.action);
        return kinds.contains("lpm") && kinds.contains("dim") && kinds.contains("throttle");
    }, 5000)) << actionLog();

    ASSERT_TRUE(sim(QStringLiteral("plug")));
    EXPECT_TRUE(waitUntil([&] { return engine->statusText() == QStringLiteral("AC接続中(待機)"); }, 5000));
    EXPECT_EQ(readTrimmed(SimTree::platformProfilePath(this->root)), QStringLiteral("balanced"));
    EXPECT_EQ(readTrimmed(backlight + QStringLiteral("/brightness")), firstBacklight);
    EXPECT_EQ(readTrimmed(keyboard + QStringLiteral("/brightness")), firstKeyboard);
    int restores = 0;
    for (const PowerActionRecord& record : history->recentPowerActions(100))
        restores += record.action == QLatin1String("restore") ? 1 : 0;
    EXPECT_EQ(restores, 1);
    EXPECT_TRUE(engine->activeActionKeys().isEmpty());
    EXPECT_TRUE(engine->throttledProcesses().isEmpty());
    EXPECT_EQ(engine->level(), 0);
    if (!root)
        GTEST_SKIP() << "as a regular user the daemon cannot raise the child back from nice 19";
    EXPECT_EQ(busy.nice(), 0);
}

} // namespace kestrune::test
