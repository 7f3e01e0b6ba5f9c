#include "KestruneHelper/SMCConnection.h"
#include "tests/KestruneHelper/FakeSmcUserClient.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using kestrune::test::FakeSmcUserClient;

namespace {

class SMCConnectionTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeSmcUserClient::State> state = std::make_shared<FakeSmcUserClient::State>();
    SMCConnection smc{std::make_unique<FakeSmcUserClient>(state)};

    const QByteArray& record(int i) const { return state->records.at(i); }
};

template <typename F>
SMCError errorOf(F&& f)
{
    try {
        f();
    } catch (const SMCError& e) {
        return e;
    }
    ADD_FAILURE() << "no SMCError thrown";
    return SMCError::serviceNotFound();
}

} // namespace

TEST_F(SMCConnectionTest, KeyInfoRecordHasTheKeyFirstByteMostSignificantAndTheCommandAt42)
{
    EXPECT_EQ(SMCConnection::fourCC("CH0B"), 0x43483042u);
    state->keys["CH0B"] = {QByteArray(1, '\0')};
    const auto info = smc.keyInfo("CH0B");
    EXPECT_EQ(info.dataSize, 1u);
    EXPECT_EQ(info.dataAttributes, 0xd4);

    ASSERT_EQ(state->records.size(), 1);
    const QByteArray& r = record(0);
    // Little-endian u32 0x43483042 at offset 0.
    EXPECT_EQ(r.left(4), QByteArray("\x42\x30\x48\x43", 4));
    EXPECT_EQ(static_cast<std::uint8_t>(r[42]), 9);
    for (int i = 4; i < 80; ++i) {
        if (i != 42) {
            EXPECT_EQ(r[i], 0) << "byte " << i << " of the input record is not zero";
        }
    }
}

TEST_F(SMCConnectionTest, ReadAsksKeyInfoThenReadsTheReportedSize)
{
    state->keys["CHTE"] = {QByteArray("\x01\x00\x00\x00", 4)};
    EXPECT_EQ(smc.readBytes("CHTE"), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(state->commandsFor("CHTE"), (QList<int>{9, 5}));
    EXPECT_EQ(static_cast<std::uint8_t>(record(1)[28]), 4); // size goes in at offset 28
    EXPECT_EQ(record(1)[32], 0);                            // type stays zero on the way in

    state->keys["CHWA"] = {QByteArray()};
    EXPECT_TRUE(smc.readBytes("CHWA").isEmpty());

    // A key reported larger than the record can carry reads the 32 bytes there are.
    state->keys["BIG!"] = {QByteArray(32, '\x07')};
    state->reportedSizeOverride = 40;
    EXPECT_EQ(smc.readBytes("BIG!"), QByteArray(32, '\x07'));
}

TEST_F(SMCConnectionTest, WriteChecksTheSizeBeforeWriting)
{
    state->keys["CH0B"] = {QByteArray(1, '\0')};
    const SMCError mismatch = errorOf([&] { smc.writeBytes("CH0B", QByteArray(2, '\x02')); });
    EXPECT_EQ(mismatch.kind(), SMCError::Kind::UnexpectedDataSize);
    EXPECT_EQ(mismatch.text(), QStringLiteral("データサイズ不一致 (期待1, 実際2)"));
    EXPECT_EQ(state->commandsFor("CH0B"), QList<int>{9});

    smc.writeBytes("CH0B", QByteArray(1, '\x02'));
    EXPECT_EQ(state->commandsFor("CH0B"), (QList<int>{9, 9, 6}));
    EXPECT_EQ(record(2)[48], 0x02);
    EXPECT_EQ(state->keys["CH0B"].bytes, QByteArray(1, '\x02'));
}

TEST_F(SMCConnectionTest, AKeyLargerThanTheRecordIsRefusedWithoutAWrite)
{
    state->keys["BIG!"] = {QByteArray(40, '\0')};
    const SMCError error = errorOf([&] { smc.writeBytes("BIG!", QByteArray(40, '\x01')); });
    EXPECT_EQ(error.kind(), SMCError::Kind::DataTooLarge);
    EXPECT_EQ(state->commandsFor("BIG!"), QList<int>{9});
}

TEST_F(SMCConnectionTest, ResultBytesAndKernelCodesBecomeTheirErrors)
{
    for (const auto& op : {std::function<void()>([&] { smc.keyInfo("NOPE"); }),
                           std::function<void()>([&] { smc.readBytes("NOPE"); }),
                           std::function<void()>([&] { smc.writeBytes("NOPE", QByteArray(1, 0)); })}) {
        const SMCError e = errorOf(op);
        EXPECT_EQ(e.kind(), SMCError::Kind::KeyNotFound);
        EXPECT_EQ(e.text(), QStringLiteral("SMCキーが存在しません: NOPE"));
    }
    EXPECT_EQ(state->commandsFor("NOPE"), (QList<int>{9, 9, 9}));

    state->keys["CH0B"] = {QByteArray(1, 0), 0x86, 0x85};
    EXPECT_EQ(errorOf([&] { smc.readBytes("CH0B"); }).text(), QStringLiteral("SMCエラー (result=0x85)"));
    EXPECT_EQ(errorOf([&] { smc.writeBytes("CH0B", QByteArray(1, 0)); }).text(),
              QStringLiteral("SMCエラー (result=0x86)"));

    state->kernelReturn = static_cast<std::int32_t>(0xe00002bc);
    EXPECT_EQ(errorOf([&] { smc.keyInfo("CH0B"); }).text(), QStringLiteral("SMC呼び出し失敗 (0xe00002bc)"));
    EXPECT_EQ(SMCError::openFailed(-1).text(), QStringLiteral("SMCオープン失敗 (0xffffffff)"));
}

TEST_F(SMCConnectionTest, KeysMustBeFourCharacters)
{
    EXPECT_EQ(errorOf([] { SMCConnection::fourCC("CH0"); }).kind(), SMCError::Kind::KeyNotFound);
    EXPECT_EQ(errorOf([] { SMCConnection::fourCC("CHWAX"); }).kind(), SMCError::Kind::KeyNotFound);
    EXPECT_TRUE(state->records.isEmpty());
}

TEST(SMCConnectionOpen, AMachineWithoutABatteryHasNoController)
{
    QTemporaryDir root;
    const SMCError e = errorOf([&] { SMCConnection smc(root.path()); });
    EXPECT_EQ(e.kind(), SMCError::Kind::ServiceNotFound);
    EXPECT_EQ(e.text(), QStringLiteral("AppleSMCサービスが見つかりません"));

    ASSERT_TRUE(SimTree::create(root.path(), {}));
    EXPECT_NO_THROW(SMCConnection smc(root.path()));
}
