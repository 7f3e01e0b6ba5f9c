#include "Kestrune/Battery/BatteryMonitor.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrune;

namespace {

const QDateTime moment(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);

BatterySnapshot read(const QVariantMap& properties)
{
    const auto s = BatteryMonitor::snapshot(properties, moment);
    EXPECT_TRUE(s.has_value());
    return s.value_or(BatterySnapshot{});
}

int soc(const QVariant& current, const QVariant& max)
{
    QVariantMap p;
    if (current.isValid())
        p["CurrentCapacity"] = current;
    if (max.isValid())
        p["MaxCapacity"] = max;
    return read(p).socPercent;
}

} // namespace

TEST(SnapshotRulesTest, StateOfChargeFromPercentagesOrCapacities)
{
    EXPECT_EQ(soc(85, 100), 85) << "a maximum of 100 means percentages";
    EXPECT_EQ(soc(4000, 5000), 80);
    EXPECT_EQ(soc(4999, 5000), 100);
    EXPECT_EQ(soc(1, 8), 13) << "12.5 rounds away from zero";
    EXPECT_EQ(soc(120, 100), 100);
    EXPECT_EQ(soc(-3, 100), 0);
    EXPECT_EQ(soc(57, 0), 57) << "no usable maximum: the value itself";
    EXPECT_EQ(soc(157, QVariant()), 100);
    EXPECT_EQ(soc(QVariant(), 5000), 0);
    EXPECT_EQ(soc(QString("85"), 100), 0) << "text is not a number";
    EXPECT_EQ(soc(85.0, 100u), 85) << "any kind of number counts";
}

TEST(SnapshotRulesTest, EachFieldFromItsProperty)
{
    const BatterySnapshot s = read({
        {"CurrentCapacity", 80}, {"MaxCapacity", 100}, {"IsCharging", true}, {"ExternalConnected", 1},
        {"FullyCharged", false}, {"Temperature", 3055}, {"CycleCount", 412}, {"DesignCapacity", 8694},
        {"NominalChargeCapacity", 7900}, {"AppleRawMaxCapacity", 7800}, {"Voltage", 12345},
        {"Amperage", 1500}, {"AdapterDetails", QVariantMap{{"Watts", 96}, {"Name", "96W USB-C"}}},
        {"AvgTimeToFull", 42}, {"AvgTimeToEmpty", 65535},
    });
    BatterySnapshot expected{moment, 80, true, true, false, 30.55, 412, 8694, 7900, 12.345, 1.5, 96,
                             QString("96W USB-C"), 42, std::nullopt};
    EXPECT_EQ(s, expected);

    EXPECT_EQ(read({{"AppleRawMaxCapacity", 7800}}).nominalCapacitymAh, 7800);
    // The registry keeps a discharge current as a large unsigned number.
    EXPECT_DOUBLE_EQ(read({{"Amperage", QVariant::fromValue(std::numeric_limits<quint64>::max() - 999)}}).amperageA,
                     -1.0);
}

TEST(SnapshotRulesTest, EstimatesAndAdapterDetailsOnlyWithinTheirRules)
{
    const auto full = [](const QVariant& v) { return read({{"AvgTimeToFull", v}}).timeToFullMinutes; };
    EXPECT_EQ(full(0), std::nullopt);
    EXPECT_EQ(full(65535), std::nullopt) << "the estimate is not ready";
    EXPECT_EQ(full(1), 1);
    EXPECT_EQ(full(65534), 65534);

    const auto adapter = [](const QVariant& details) { return read({{"AdapterDetails", details}}); };
    const BatterySnapshot zeroWatts = adapter(QVariantMap{{"Watts", 0}, {"Name", "Charger"}});
    EXPECT_EQ(zeroWatts.adapterWatts, std::nullopt);
    EXPECT_EQ(zeroWatts.adapterName, QString("Charger"));
    EXPECT_EQ(adapter(QVariantMap{{"Watts", 30}, {"Name", 30}}).adapterName, std::nullopt);
    EXPECT_EQ(adapter(QString("96W")).adapterWatts, std::nullopt);
}

TEST(SnapshotRulesTest, WrongTypesTakeTheNeutralValueAndOnlyADictionaryIsAReading)
{
    const BatterySnapshot s = read({
        {"IsCharging", QString("true")}, {"ExternalConnected", QVariantMap()}, {"Temperature", QString("30")},
        {"CycleCount", qint64(1) << 40}, {"Voltage", QByteArray("12")}, {"Amperage", QString("-2500")},
    });
    EXPECT_FALSE(s.isCharging);
    EXPECT_FALSE(s.externalConnected);
    EXPECT_EQ(s.temperatureC, 0.0);
    EXPECT_EQ(s.cycleCount, std::numeric_limits<int>::max()) << "saturates rather than wrapping around";
    EXPECT_EQ(s.voltageV, 0.0);
    EXPECT_EQ(s.amperageA, 0.0);

    EXPECT_FALSE(BatteryMonitor::snapshot(QVariant(), moment));
    EXPECT_FALSE(BatteryMonitor::snapshot(QVariantList{QVariantMap{{"CurrentCapacity", 50}}}, moment));
    EXPECT_FALSE(BatteryMonitor::snapshot(QString("CurrentCapacity=50"), moment));
}
