#include "Kestrune/Battery/BatteryMonitor.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ManualClock.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace kestrune;
using namespace std::chrono_literals;

namespace {

class BatteryMonitorTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    test::ManualClock clock;
    QList<BatterySnapshot> updates;

    std::unique_ptr<BatteryMonitor> monitor(std::chrono::milliseconds changePoll = 20ms)
    {
        auto m = std::make_unique<BatteryMonitor>(root.path(), clock, changePoll);
        m->onUpdate = [this](const BatterySnapshot& s) { updates << s; };
        return m;
    }
    void make(const SimTree::Options& options = {}) { ASSERT_TRUE(SimTree::create(root.path(), options)); }
    void setAdapterOnline(bool online)
    {
        ASSERT_TRUE(PowerSupplyTree::write(SimTree::adapterPath(root.path()), "online", online ? "1\n" : "0\n"));
    }
};

} // namespace

TEST_F(BatteryMonitorTest, ReadsAnEnergyBatteryAndAFailedReadingKeepsTheLastOne)
{
    auto m = monitor();
    EXPECT_FALSE(m->refresh()) << "no battery yet";
    EXPECT_TRUE(updates.isEmpty());

    make(); // 70 %, adapter online, charging at 30 W; 57 Wh design, 52.44 Wh full at 11.55 V
    const auto s = m->refresh();
    const BatterySnapshot expected{clock.now(), 70, true, true, false, 30.1, 187, 4935, 4540, 12.18, 2.463,
                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(s, expected);
    EXPECT_EQ(m->current(), expected);
    EXPECT_EQ(updates, QList<BatterySnapshot>{expected});

    clock.advance(30);
    ASSERT_TRUE(QDir(SimTree::batteryPath(root.path())).removeRecursively());
    EXPECT_FALSE(m->refresh());
    EXPECT_EQ(m->current(), expected);
    EXPECT_EQ(updates.size(), 1);
}

TEST_F(BatteryMonitorTest, ReadsAChargeBatteryOnBattery)
{
    SimTree::Options options;
    options.units = SimTree::Options::Units::Charge;
    options.acOnline = false;
    options.capacityPercent = 43;
    options.temperatureTenths.reset();
    make(options);
    ASSERT_TRUE(PowerSupplyTree::write(SimTree::batteryPath(root.path()), "time_to_empty_avg", "5430\n"));
    // 8 W at 11.937 V out of the battery; 90.5 minutes left.
    const BatterySnapshot expected{clock.now(), 43, false, false, false, 0.0, 187, 4935, 4540, 11.937, -0.670,
                                   std::nullopt, std::nullopt, std::nullopt, 91};
    EXPECT_EQ(monitor()->refresh(), expected);
}

TEST_F(BatteryMonitorTest, PluggingInGivesAFreshReadingWithoutWaitingForTheTimer)
{
    SimTree::Options options;
    options.acOnline = false;
    make(options);
    auto m = monitor();
    m->start(3600);
    ASSERT_EQ(updates.size(), 1) << "start reads at once";
    EXPECT_FALSE(updates.last().externalConnected);

    clock.advance(5);
    setAdapterOnline(true);
    ASSERT_TRUE(test::waitUntil([&] { return updates.size() == 2; }, 2000));
    EXPECT_TRUE(updates.last().externalConnected);
    EXPECT_EQ(updates.last().date, clock.now());

    m->stop();
    EXPECT_FALSE(m->isSampling());
    setAdapterOnline(false);
    test::spin(150);
    EXPECT_EQ(updates.size(), 2) << "a stopped monitor hears no more changes";
}

TEST_F(BatteryMonitorTest, TheTimerKeepsReadingUntilStoppedOrRestarted)
{
    make();
    auto m = monitor(1h);
    int calls = 0;
    m->onUpdate = [&](const BatterySnapshot&) {
        // A handler may stop the monitor it is called from.
        if (++calls == 4)
            m->stop();
    };
    m->start(0.01);
    ASSERT_TRUE(test::waitUntil([&] { return calls == 4; }, 2000));
    test::spin(60);
    EXPECT_EQ(calls, 4);

    // Restarting replaces the timer rather than adding a second one.
    m->start(0.01);
    m->start(3600);
    test::spin(60);
    EXPECT_EQ(calls, 6);

    // Released while sampling: nothing fires into the released monitor afterwards.
    m->start(0.01);
    m.reset();
    setAdapterOnline(false);
    test::spin(60);
}
