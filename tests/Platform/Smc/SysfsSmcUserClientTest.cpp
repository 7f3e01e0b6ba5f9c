#include "Platform/Smc/SmcService.h"
#include "Platform/Smc/SysfsSmcUserClient.h"
#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace kestrune;

namespace {

using Record = std::array<std::uint8_t, SmcUserClient::recordSize>;

Record request(const char (&key)[5], std::uint8_t command, std::uint32_t size = 0, std::uint8_t byte0 = 0)
{
    Record r{};
    const std::uint32_t code = (std::uint32_t(std::uint8_t(key[0])) << 24) | (std::uint32_t(std::uint8_t(key[1])) << 16)
        | (std::uint32_t(std::uint8_t(key[2])) << 8) | std::uint8_t(key[3]);
    std::memcpy(r.data(), &code, 4);
    std::memcpy(r.data() + SmcUserClient::offsetDataSize, &size, 4);
    r[SmcUserClient::offsetCommand] = command;
    r[SmcUserClient::offsetBytes] = byte0;
    return r;
}

struct Answer {
    std::int32_t kernel;
    Record record;
    std::uint8_t result() const { return record[SmcUserClient::offsetResult]; }
    std::uint32_t size() const
    {
        std::uint32_t s;
        std::memcpy(&s, record.data() + SmcUserClient::offsetDataSize, 4);
        return s;
    }
    std::uint8_t byte0() const { return record[SmcUserClient::offsetBytes]; }
};

Answer call(SmcUserClient& client, const Record& in, std::uint32_t selector = SmcUserClient::structSelector)
{
    Answer a{0, {}};
    std::size_t size = a.record.size();
    a.kernel = client.callStructMethod(selector, in.data(), in.size(), a.record.data(), &size);
    return a;
}

class SysfsSmcTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString battery() const { return SimTree::batteryPath(root.path()); }
    QString behaviour() const
    {
        return ChargeBehaviour::parse(PowerSupplyTree::read(battery(), "charge_behaviour").value_or("")).active;
    }
};

} // namespace

TEST_F(SysfsSmcTest, KeysExistOnlyWhereTheirAttributeAndModeExist)
{
    SimTree::Options options;
    options.behaviourModes = {"auto", "inhibit-charge"};
    options.endThreshold.reset();
    ASSERT_TRUE(SimTree::create(root.path(), options));
    SysfsSmcUserClient client(root.path());

    EXPECT_EQ(call(client, request("CH0B", 9)).size(), 1u);
    EXPECT_EQ(call(client, request("CH0C", 9)).size(), 1u);
    EXPECT_EQ(call(client, request("CHTE", 9)).size(), 4u);
    EXPECT_EQ(call(client, request("CHIE", 9)).result(), 0x84);
    EXPECT_EQ(call(client, request("CH0I", 9)).result(), 0x84);
    EXPECT_EQ(call(client, request("CHWA", 9)).result(), 0x84);
    EXPECT_EQ(call(client, request("ABCD", 9)).result(), 0x84);
}

TEST_F(SysfsSmcTest, WritesSelectTheKernelModeAndReadsFollowIt)
{
    ASSERT_TRUE(SimTree::create(root.path(), {}));
    SysfsSmcUserClient client(root.path());

    EXPECT_EQ(call(client, request("CH0B", 6, 1, 0x02)).result(), 0);
    EXPECT_EQ(behaviour(), "inhibit-charge");
    EXPECT_EQ(call(client, request("CH0B", 5, 1)).byte0(), 0x02);
    EXPECT_EQ(call(client, request("CHTE", 5, 4)).byte0(), 0x01);
    EXPECT_EQ(call(client, request("CHIE", 5, 1)).byte0(), 0x00);
    // The bare value a plain file now holds still leaves forced discharge available.
    EXPECT_EQ(call(client, request("CHIE", 9)).result(), 0);

    // Forced discharge already stops charging: inhibiting leaves it, releasing the inhibit
    // does not end it.
    EXPECT_EQ(call(client, request("CHIE", 6, 1, 0x08)).result(), 0);
    EXPECT_EQ(behaviour(), "force-discharge");
    call(client, request("CH0B", 6, 1, 0x02));
    EXPECT_EQ(behaviour(), "force-discharge");
    call(client, request("CH0I", 6, 1, 0x00));
    EXPECT_EQ(behaviour(), "auto");

    EXPECT_EQ(call(client, request("CHWA", 6, 1, 0x01)).result(), 0);
    EXPECT_EQ(PowerSupplyTree::readInteger(battery(), "charge_control_end_threshold"), 80);
    EXPECT_EQ(call(client, request("CHWA", 5, 1)).byte0(), 0x01);
}

TEST_F(SysfsSmcTest, ReadsTheKernelsBracketedForm)
{
    SimTree::Options options;
    options.activeBehaviour = "inhibit-charge";
    ASSERT_TRUE(SimTree::create(root.path(), options));
    ASSERT_EQ(PowerSupplyTree::read(battery(), "charge_behaviour"), "auto [inhibit-charge] force-discharge");
    SysfsSmcUserClient client(root.path());
    EXPECT_EQ(call(client, request("CH0B", 5, 1)).byte0(), 0x02);
}

TEST_F(SysfsSmcTest, MalformedCallsAreRefused)
{
    ASSERT_TRUE(SimTree::create(root.path(), {}));
    SysfsSmcUserClient client(root.path());
    EXPECT_EQ(call(client, request("CH0B", 9), 3).kernel, SmcUserClient::errorBadArgument);
    EXPECT_NE(call(client, request("CH0B", 6, 4, 0x02)).result(), 0); // wrong size for a 1-byte key
    EXPECT_EQ(behaviour(), "auto");
    EXPECT_NE(call(client, request("CH0B", 42)).result(), 0);

    std::size_t small = 10;
    Record in = request("CH0B", 9), out{};
    EXPECT_EQ(client.callStructMethod(2, in.data(), in.size(), out.data(), &small), SmcUserClient::errorBadArgument);
}

TEST_F(SysfsSmcTest, TheServiceExistsOnlyWithASystemBattery)
{
    EXPECT_EQ(SmcService::find(root.path()), SmcService::Lookup::NotFound);
    std::unique_ptr<SmcUserClient> client;
    EXPECT_NE(SmcService::open(root.path(), client), 0);
    EXPECT_FALSE(client);

    ASSERT_TRUE(SimTree::create(root.path(), {}));
    EXPECT_EQ(SmcService::find(root.path()), SmcService::Lookup::Found);
    EXPECT_EQ(SmcService::open(root.path(), client), 0);
    EXPECT_TRUE(client);
}

TEST(ChargeBehaviourText, ParsesBothForms)
{
    const auto listed = ChargeBehaviour::parse("[auto] inhibit-charge force-discharge\n");
    EXPECT_TRUE(listed.listed);
    EXPECT_EQ(listed.active, "auto");
    EXPECT_EQ(listed.modes, (QStringList{"auto", "inhibit-charge", "force-discharge"}));
    EXPECT_EQ(listed.toKernelText(), "[auto] inhibit-charge force-discharge");

    const auto bare = ChargeBehaviour::parse("inhibit-charge");
    EXPECT_FALSE(bare.listed);
    EXPECT_EQ(bare.active, "inhibit-charge");

    EXPECT_TRUE(ChargeBehaviour::parse("").active.isEmpty());
    EXPECT_TRUE(ChargeBehaviour::parse("auto inhibit-charge").active.isEmpty());
}
