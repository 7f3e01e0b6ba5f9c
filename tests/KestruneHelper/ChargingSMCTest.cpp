#include "KestruneHelper/ChargingSMC.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tests/KestruneHelper/FakeSmcUserClient.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using kestrune::test::FakeSmcUserClient;

namespace {

const QByteArray zero1(1, '\0');
const QByteArray zero4(4, '\0');

class ChargingSMCTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeSmcUserClient::State> state = std::make_shared<FakeSmcUserClient::State>();
    SMCConnection smc{std::make_unique<FakeSmcUserClient>(state)};
    ChargingSMC charging{smc};

    void keys(std::initializer_list<std::pair<const char*, QByteArray>> list)
    {
        for (const auto& [name, bytes] : list)
            state->keys[name] = {bytes};
    }
    QByteArray value(const char* key) const { return state->keys.value(key).bytes; }
};

std::optional<SMCError> errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const SMCError& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace

TEST_F(ChargingSMCTest, PairMachineHoldsThroughBothKeys)
{
    keys({{"CH0B", zero1}, {"CH0C", zero1}, {"CHIE", zero1}, {"CHWA", zero1}});
    const ChargingCapabilities caps = charging.probe();
    EXPECT_EQ(caps, (ChargingCapabilities{true, QStringLiteral("CH0B/CH0C"), QStringLiteral("CHIE"), true, {}}));

    charging.setChargingEnabled(false);
    EXPECT_EQ(value("CH0B"), QByteArray(1, '\x02'));
    EXPECT_EQ(value("CH0C"), QByteArray(1, '\x02'));
    EXPECT_TRUE(charging.readState().chargingInhibited);
    charging.setChargingEnabled(true);
    EXPECT_EQ(value("CH0B"), zero1);
    EXPECT_EQ(value("CH0C"), zero1);

    charging.setForceDischarge(true);
    EXPECT_EQ(value("CHIE"), QByteArray(1, '\x08'));
    charging.writeSized("CHWA", 1);
    EXPECT_EQ(charging.readState(), (SMCChargingState{false, true, true}));
}

TEST_F(ChargingSMCTest, OnlyCH0BIsEnoughForThePairPath)
{
    keys({{"CH0B", zero1}, {"CH0I", zero1}});
    const ChargingCapabilities caps = charging.probe();
    EXPECT_EQ(caps.chargingControlMethod, QStringLiteral("CH0B/CH0C"));
    EXPECT_EQ(caps.dischargeMethod, QStringLiteral("CH0I"));
    EXPECT_FALSE(caps.hasAppleLimit80);
    EXPECT_TRUE(caps.notes.isEmpty());

    state->records.clear();
    charging.setChargingEnabled(false);
    EXPECT_EQ(state->writtenKeys(), QList<QString>{"CH0B"});
    charging.setForceDischarge(true);
    EXPECT_EQ(value("CH0I"), QByteArray(1, '\x01'));
}

TEST_F(ChargingSMCTest, WithThePairPresentCHTEIsNeitherWrittenNorRead)
{
    keys({{"CH0B", zero1}, {"CH0C", zero1}, {"CHTE", zero4}});
    charging.setChargingEnabled(false);
    EXPECT_FALSE(state->writtenKeys().contains("CHTE"));
    state->records.clear();
    EXPECT_TRUE(charging.readState().chargingInhibited);
    EXPECT_TRUE(state->commandsFor("CHTE").isEmpty());
    EXPECT_TRUE(state->commandsFor("CH0C").isEmpty()); // never read

    // A successful all-zero read is final; only an unreadable CH0B falls back to CHTE.
    state->keys["CH0B"].bytes = zero1;
    state->keys["CHTE"].bytes = QByteArray("\x01\x00\x00\x00", 4);
    EXPECT_FALSE(charging.readState().chargingInhibited);
    state->keys["CH0B"].readResult = 0x85;
    EXPECT_TRUE(charging.readState().chargingInhibited);
}

TEST_F(ChargingSMCTest, CHTEOnlyMachineWritesFourBytes)
{
    keys({{"CHTE", zero4}});
    const ChargingCapabilities caps = charging.probe();
    EXPECT_EQ(caps.chargingControlMethod, QStringLiteral("CHTE"));
    EXPECT_EQ(caps.notes, QStringList{QStringLiteral("放電キー(CH0I/CHIE)が見つかりません")});

    charging.setChargingEnabled(false);
    EXPECT_EQ(value("CHTE"), QByteArray("\x01\x00\x00\x00", 4));
    charging.setChargingEnabled(true);
    EXPECT_EQ(value("CHTE"), zero4);
}

TEST_F(ChargingSMCTest, AMachineWithoutKeysSaysWhichAreMissing)
{
    const ChargingCapabilities caps = charging.probe();
    EXPECT_TRUE(caps.smcAvailable);
    EXPECT_EQ(caps.notes, (QStringList{QStringLiteral("充電停止キー(CH0B/CH0C/CHTE)が見つかりません"),
                                       QStringLiteral("放電キー(CH0I/CHIE)が見つかりません")}));
    // All three inhibit keys are asked, in order, before the discharge keys.
    QList<QString> asked;
    for (const QByteArray& r : state->records)
        asked << QString::fromLatin1(QByteArray() + r[3] + r[2] + r[1] + r[0]);
    EXPECT_EQ(asked, (QList<QString>{"CH0B", "CH0C", "CHTE", "CHIE", "CH0I", "CHWA"}));

    EXPECT_EQ(errorOf([&] { charging.setChargingEnabled(false); })->text(),
              QStringLiteral("SMCキーが存在しません: CH0B/CH0C/CHTE"));
    EXPECT_EQ(errorOf([&] { charging.setForceDischarge(true); })->text(),
              QStringLiteral("SMCキーが存在しません: CH0I/CHIE"));
    EXPECT_EQ(charging.readState(), (SMCChargingState{false, false, std::nullopt}));
}

TEST_F(ChargingSMCTest, OneGoodPairWriteIsSuccessEvenIfTheOtherFails)
{
    keys({{"CH0B", zero1}, {"CH0C", zero1}});
    state->keys["CH0C"].writeResult = 0x86;
    EXPECT_FALSE(errorOf([&] { charging.setChargingEnabled(false); }));
    EXPECT_EQ(value("CH0B"), QByteArray(1, '\x02'));
}

TEST_F(ChargingSMCTest, WhenNoPairKeyCanBeWrittenTheWriteErrorIsThrown)
{
    keys({{"CH0C", zero1}});
    state->keys["CH0C"].writeResult = 0x86;
    const auto error = errorOf([&] { charging.setChargingEnabled(false); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), QStringLiteral("SMCエラー (result=0x86)"));
}

TEST_F(ChargingSMCTest, ResetEnablesChargingEvenWithoutADischargeKey)
{
    keys({{"CH0B", QByteArray(1, '\x02')}});
    const auto error = errorOf([&] { charging.resetDefaults(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), QStringLiteral("SMCキーが存在しません: CH0I/CHIE"));
    EXPECT_EQ(value("CH0B"), zero1);
}

TEST_F(ChargingSMCTest, AnyNonZeroByteCountsAndAnEmptyLimitKeyIsAbsent)
{
    keys({{"CH0B", QByteArray("\x00\x02", 2)}, {"CHWA", QByteArray()}});
    const SMCChargingState s = charging.readState();
    EXPECT_TRUE(s.chargingInhibited);
    EXPECT_FALSE(s.appleLimit80.has_value());

    state->records.clear();
    charging.writeSized("CHWA", 1);
    ASSERT_EQ(state->records.size(), 3);
    EXPECT_EQ(static_cast<std::uint8_t>(state->records[2][42]), 6);
    EXPECT_EQ(state->records[2][28], 0); // a write of no bytes
}

// The same operations against the simulated machine's sysfs tree, through the stand-in.
TEST(ChargingSMCOnSimulatedMachine, HoldsAndReleasesThroughChargeBehaviour)
{
    QTemporaryDir root;
    ASSERT_TRUE(SimTree::create(root.path(), {}));
    SMCConnection smc(root.path());
    ChargingSMC charging(smc);
    const QString battery = SimTree::batteryPath(root.path());
    const auto behaviour = [&] {
        return ChargeBehaviour::parse(PowerSupplyTree::read(battery, "charge_behaviour").value_or("")).active;
    };

    EXPECT_EQ(charging.probe(),
              (ChargingCapabilities{true, QStringLiteral("CH0B/CH0C"), QStringLiteral("CHIE"), true, {}}));
    EXPECT_EQ(charging.readState(), (SMCChargingState{false, false, false}));

    charging.setChargingEnabled(false);
    EXPECT_EQ(behaviour(), "inhibit-charge");
    EXPECT_EQ(charging.readState(), (SMCChargingState{true, false, false}));
    // The plain file now holds only the bare mode; discharge must still be available.
    EXPECT_EQ(charging.probe().dischargeMethod, QStringLiteral("CHIE"));

    charging.setForceDischarge(true);
    EXPECT_EQ(behaviour(), "force-discharge");
    charging.resetDefaults();
    EXPECT_EQ(behaviour(), "auto");

    charging.writeSized("CHWA", 1);
    EXPECT_EQ(PowerSupplyTree::readInteger(battery, "charge_control_end_threshold"), 80);
    EXPECT_EQ(charging.readState().appleLimit80, true);
    charging.writeSized("CHWA", 0);
    EXPECT_EQ(PowerSupplyTree::readInteger(battery, "charge_control_end_threshold"), 100);
}
