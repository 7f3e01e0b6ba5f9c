#include "Platform/BatteryRegistry/PowerSourceNotifier.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-sim/BatteryModel.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace std::chrono_literals;

TEST(PowerSourceNotifierTest, AFolderTreeIsWatchedForPlugAndChargingChanges)
{
    QTemporaryDir root;
    ASSERT_TRUE(SimTree::create(root.path(), {}));
    const QString adapter = SimTree::adapterPath(root.path());
    const QString battery = SimTree::batteryPath(root.path());
    // No poll comes in the test's time: every notice is the file system's.
    PowerSourceNotifier notifier(root.path(), 1h);
    int changes = 0;
    QObject::connect(&notifier, &PowerSourceNotifier::changed, [&] { ++changes; });
    ASSERT_EQ(notifier.start(), PowerSourceNotifier::Mechanism::Watch);

    // Written in place.
    ASSERT_TRUE(PowerSupplyTree::write(adapter, "online", "0\n"));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }, 2000));
    ASSERT_TRUE(PowerSupplyTree::write(battery, "status", "Not charging\n"));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 2; }, 2000));

    // Replaced whole, as the simulator writes, again and again: each new file is watched.
    ASSERT_TRUE(BatteryModel::setAdapterOnline(root.path(), true));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 3; }, 2000));
    ASSERT_TRUE(BatteryModel::setAdapterOnline(root.path(), false));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 4; }, 2000));
    BatteryModel model(root.path());
    ASSERT_TRUE(model.step(60));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 5; }, 2000)) << "Not charging -> Discharging";

    // The charge moving is not a power-source change.
    ASSERT_TRUE(model.step(60));
    ASSERT_TRUE(PowerSupplyTree::write(battery, "capacity", "69\n"));
    test::spin(100);
    EXPECT_EQ(changes, 5);

    // A supply that comes later, a USB-C charger, is watched too. It comes whole, as the
    // kernel's do.
    QTemporaryDir staging;
    ASSERT_TRUE(PowerSupplyTree::write(staging.path(), "type", "USB\n"));
    ASSERT_TRUE(PowerSupplyTree::write(staging.path(), "online", "0\n"));
    ASSERT_TRUE(QDir().rename(staging.path(), PowerSupplyTree(root.path()).classPath() + "/USB"));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 6; }, 2000));
    ASSERT_TRUE(BatteryModel::setAdapterOnline(root.path(), true));
    ASSERT_TRUE(test::waitUntil([&] { return changes == 7; }, 2000));

    notifier.stop();
    ASSERT_TRUE(PowerSupplyTree::write(adapter, "online", "0\n"));
    test::spin(100);
    EXPECT_EQ(changes, 7) << "a stopped notifier stays quiet";

    // A folder with no supplies yet cannot be watched for them: it is looked at instead.
    QTemporaryDir empty;
    PowerSourceNotifier laterTree(empty.path(), 20ms);
    QObject::connect(&laterTree, &PowerSourceNotifier::changed, [&] { ++changes; });
    EXPECT_EQ(laterTree.start(), PowerSourceNotifier::Mechanism::Poll);
    ASSERT_TRUE(SimTree::create(empty.path(), {}));
    EXPECT_TRUE(test::waitUntil([&] { return changes == 8; }, 2000));

    // The kernel's own tree is never watched or polled where netlink can be had.
    PowerSourceNotifier real(QStringLiteral("/sys/"), 20ms);
    EXPECT_NE(real.start(), PowerSourceNotifier::Mechanism::None);
    EXPECT_NE(real.mechanism(), PowerSourceNotifier::Mechanism::Watch);
}

TEST(PowerSourceNotifierTest, OnlyPowerSupplyUeventsCount)
{
    const auto event = [](std::initializer_list<const char*> fields) {
        QByteArray bytes;
        for (const char* f : fields)
            bytes += QByteArray(f) + '\0';
        return PowerSourceNotifier::isPowerSupplyEvent(bytes);
    };
    EXPECT_TRUE(event({"change@/devices/LNXSYSTM:00/LNXSYBUS:00/ACPI0003:00/power_supply/AC", "ACTION=change",
                       "SUBSYSTEM=power_supply", "POWER_SUPPLY_NAME=AC", "POWER_SUPPLY_ONLINE=0"}));
    EXPECT_FALSE(event({"change@/devices/virtual/net/lo", "ACTION=change", "SUBSYSTEM=net"}));
    EXPECT_FALSE(event({"add@/devices/x", "SUBSYSTEM=power_supply_extra"}));
    EXPECT_FALSE(event({"libudev", "SUBSYSTEM=power_supply"})) << "udevd's format has no action header";
    EXPECT_FALSE(event({}));
}
