#include "Platform/BatteryRegistry/BatteryRegistry.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

class BatteryRegistryTest : public ::testing::Test {
protected:
    QTemporaryDir root;

    void make(const SimTree::Options& options = {}) { ASSERT_TRUE(SimTree::create(root.path(), options)); }
    void write(const QString& supplyPath, const QString& attribute, const QString& value)
    {
        QDir().mkpath(supplyPath);
        ASSERT_TRUE(PowerSupplyTree::write(supplyPath, attribute, value + u'\n'));
    }
    QString battery() const { return SimTree::batteryPath(root.path()); }
    QString supply(const QString& name) const { return root.path() + "/class/power_supply/" + name; }
    QVariantMap read() const { return BatteryRegistry::copyProperties(root.path()).value_or(QVariantMap()); }
};

QVariant n(qint64 value)
{
    return QVariant(value);
}

} // namespace

// The full mapping of both kinds of battery is checked end to end by the monitor's tests.

TEST_F(BatteryRegistryTest, TheCurrentsDirectionComesFromTheStatus)
{
    SimTree::Options options;
    options.units = SimTree::Options::Units::Charge;
    make(options);
    // Drivers disagree on the sign of current_now.
    write(battery(), "status", "Charging");
    write(battery(), "current_now", "-1500000");
    EXPECT_EQ(read().value("Amperage"), n(1500));
    write(battery(), "status", "Discharging");
    write(battery(), "current_now", "1500000");
    EXPECT_EQ(read().value("Amperage"), n(-1500));
}

TEST_F(BatteryRegistryTest, UsbPowerDeliveryAdapterTellsItsRatingAndName)
{
    SimTree::Options options;
    options.acOnline = false;
    make(options);
    const QString usb = supply("ucsi-source-psy-USBC000:001");
    write(usb, "type", "USB");
    write(usb, "online", "1");
    write(usb, "voltage_max", "20000000");
    write(usb, "current_max", "3250000");
    write(usb, "model_name", "USB-C 65W");

    EXPECT_EQ(read().value("ExternalConnected"), QVariant(true));
    EXPECT_EQ(read().value("AdapterDetails"), QVariant(QVariantMap{{"Watts", n(65)}, {"Name", "USB-C 65W"}}));
}

TEST_F(BatteryRegistryTest, MissingOrMalformedAttributesLeaveOnlyTheirPropertyOut)
{
    make();
    write(battery(), "temp", "hot");
    QFile::remove(battery() + "/cycle_count");
    QFile::remove(battery() + "/capacity");
    const QVariantMap p = read();
    EXPECT_FALSE(p.contains("Temperature"));
    EXPECT_FALSE(p.contains("CycleCount"));
    // Without `capacity` the now and full capacities stand in, in mAh.
    EXPECT_EQ(p.value("CurrentCapacity"), n(3178));
    EXPECT_EQ(p.value("MaxCapacity"), n(4540));
    EXPECT_EQ(p.value("Voltage"), n(12180));

    // A machine that lists no adapter at all: the battery's status tells.
    QDir(SimTree::adapterPath(root.path())).removeRecursively();
    EXPECT_EQ(read().value("ExternalConnected"), QVariant(true));
    write(battery(), "status", "Discharging");
    EXPECT_EQ(read().value("ExternalConnected"), QVariant(false));
}

TEST_F(BatteryRegistryTest, NoBatteryMeansNoProperties)
{
    EXPECT_FALSE(BatteryRegistry::copyProperties(root.path()));

    // A desktop: only a mains supply, and a wireless mouse's battery.
    write(supply("AC"), "type", "Mains");
    write(supply("hidpp_battery_0"), "type", "Battery");
    write(supply("hidpp_battery_0"), "scope", "Device");
    EXPECT_FALSE(BatteryRegistry::copyProperties(root.path()));

    // A laptop whose battery bay is empty.
    make();
    write(battery(), "present", "0");
    EXPECT_FALSE(BatteryRegistry::copyProperties(root.path()));
    write(battery(), "present", "1");
    EXPECT_TRUE(BatteryRegistry::copyProperties(root.path()));
}

TEST_F(BatteryRegistryTest, TheBatteryInItsBayIsReadEvenBehindAnEmptyFirstBay)
{
    SimTree::Options second;
    second.batteryName = "BAT1";
    second.capacityPercent = 64;
    make(second);
    make();
    write(battery(), "present", "0");
    EXPECT_EQ(read().value("CurrentCapacity"), n(64));
    write(battery(), "present", "1");
    EXPECT_EQ(read().value("CurrentCapacity"), n(70));
}

TEST_F(BatteryRegistryTest, ReadingsOfRealDriversThatLeaveGaps)
{
    SimTree::Options options;
    options.capacityPercent = 60;
    make(options);
    QFile::remove(battery() + "/capacity");

    // No full capacity, or one of 0: the design capacity stands in, so that 60 % reads as
    // 60 % (a maximum below 1 would make the reading a percentage of 100).
    const qint64 design = 4935; // 57 Wh at 11.55 V
    for (const char* full : std::initializer_list<const char*>{"0", nullptr}) {
        if (full)
            write(battery(), "energy_full", full);
        else
            QFile::remove(battery() + "/energy_full");
        const QVariantMap p = read();
        EXPECT_EQ(p.value("MaxCapacity"), n(design)) << (full ? full : "missing");
        EXPECT_EQ(p.value("CurrentCapacity"), n(2724));
    }
    QFile::remove(battery() + "/energy_full_design");
    EXPECT_FALSE(read().contains("CurrentCapacity"));
    EXPECT_FALSE(read().contains("MaxCapacity"));

    // Many machines never say "Full": not charging at 100 % on external power is full.
    make();
    write(battery(), "capacity", "100");
    write(battery(), "status", "Not charging");
    EXPECT_EQ(read().value("FullyCharged"), QVariant(true));
    write(battery(), "capacity", "99");
    EXPECT_EQ(read().value("FullyCharged"), QVariant(false));
    write(battery(), "capacity", "100");
    write(SimTree::adapterPath(root.path()), "online", "0");
    EXPECT_EQ(read().value("FullyCharged"), QVariant(false));

    // Without any adapter listed, a full battery is on external power too.
    QDir(SimTree::adapterPath(root.path())).removeRecursively();
    write(battery(), "status", "Full");
    EXPECT_EQ(read().value("ExternalConnected"), QVariant(true));
    EXPECT_EQ(read().value("FullyCharged"), QVariant(true));

    // A driver that counts no cycles reports -1: that is no count.
    write(battery(), "cycle_count", "-1");
    EXPECT_FALSE(read().contains("CycleCount"));
    write(battery(), "cycle_count", "0");
    EXPECT_EQ(read().value("CycleCount"), n(0));
}
