#include "Foundation/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Kestrune/defaults.json"); }
};

} // namespace

TEST_F(UserDefaultsTest, ValuesSurviveARestartWithTheirTypes)
{
    const QDateTime when(QDate(2026, 5, 1), QTime(12, 30, 15, 250), Qt::UTC);
    {
        UserDefaults defaults(path());
        defaults.set("flag", true);
        defaults.set("limit", 80);
        defaults.set("threshold", 35.5);
        defaults.set("whole", 5.0);
        defaults.set("name", QStringLiteral("ケストルーン/x"));
        defaults.set("blob", QByteArray("\x00\x01\xff", 3));
        defaults.set("when", when);
        defaults.set("list", QStringList{"a", "b"});
        defaults.set("map", QVariantMap{{"Safari", 3.5}, {"n", qint64(2)}});
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reopened(path());
    EXPECT_TRUE(reopened.loadError().isEmpty());
    EXPECT_EQ(reopened.object("flag").typeId(), QMetaType::Bool);
    EXPECT_EQ(reopened.object("limit").typeId(), QMetaType::LongLong);
    EXPECT_EQ(reopened.object("limit").toLongLong(), 80);
    EXPECT_EQ(reopened.object("threshold").toDouble(), 35.5);
    // A double that happens to be whole stays a double.
    EXPECT_EQ(reopened.object("whole").typeId(), QMetaType::Double);
    EXPECT_EQ(reopened.string("name"), QStringLiteral("ケストルーン/x"));
    EXPECT_EQ(reopened.data("blob"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(reopened.object("when").toDateTime(), when);
    EXPECT_EQ(reopened.stringArray("list"), (QStringList{"a", "b"}));
    EXPECT_EQ(reopened.dictionary("map")->value("Safari").toDouble(), 3.5);
    EXPECT_EQ(reopened.dictionary("map")->value("n").typeId(), QMetaType::LongLong);
}

TEST_F(UserDefaultsTest, WritesPendingChangesWhenDestroyedAndKeepsTheFilePrivate)
{
    {
        UserDefaults defaults(path());
        defaults.set("chargeLimit", 75);
        // No explicit synchronize: the destructor writes.
    }
    EXPECT_EQ(UserDefaults(path()).integer("chargeLimit"), 75);
    EXPECT_EQ(QFileInfo(path()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup
                                                 | QFile::WriteOther),
              QFile::Permissions());
}

TEST_F(UserDefaultsTest, AValueSetAgainWritesNothingUnlessItsKindChanged)
{
    UserDefaults defaults(path());
    defaults.set("limit", 80);
    defaults.set("learnt", 7.5, UserDefaults::Write::Batched);
    ASSERT_TRUE(defaults.synchronize());
    ASSERT_TRUE(QFile::remove(path()));
    defaults.set("limit", 80);
    defaults.set("learnt", 7.5, UserDefaults::Write::Batched);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_FALSE(QFile::exists(path()));
    // The number 80 as a double is another value for a store that keeps the kinds apart.
    defaults.set("limit", 80.0);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path()).object("limit").typeId(), QMetaType::Double);
}

TEST_F(UserDefaultsTest, TypedReadsTellStoredKindsApart)
{
    UserDefaults defaults(path());
    defaults.set("text", QStringLiteral("80"));
    defaults.set("number", 90);
    defaults.set("mixed", QVariantList{QStringLiteral("a"), 1});
    EXPECT_EQ(defaults.object("text").typeId(), QMetaType::QString);
    EXPECT_EQ(defaults.integer("text"), 80); // lenient read
    EXPECT_EQ(defaults.string("number"), QStringLiteral("90"));
    EXPECT_FALSE(defaults.stringArray("mixed").has_value());
    EXPECT_FALSE(defaults.data("text").has_value());
    EXPECT_FALSE(defaults.boolean("absent"));
    EXPECT_EQ(defaults.integer("absent"), 0);
    EXPECT_FALSE(defaults.set("bad", QVariant::fromValue(QSize(1, 2))));
    EXPECT_FALSE(defaults.contains("bad"));

    defaults.set("number", QVariant());
    EXPECT_FALSE(defaults.contains("number"));
}

TEST_F(UserDefaultsTest, ACorruptFileIsKeptAsideAndNeverOverwritten)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    const QByteArray garbage = "{\"format\": \"kestrune-defaults\", \"values\": {\"chargeLimit\": ";
    writeAll(path(), garbage);

    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.loadError().isEmpty());
    ASSERT_FALSE(defaults.quarantinedPath().isEmpty());
    EXPECT_EQ(readAll(defaults.quarantinedPath()), garbage);
    EXPECT_TRUE(defaults.keys().isEmpty());

    defaults.set("chargeLimit", 70);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path()).integer("chargeLimit"), 70);
    EXPECT_EQ(readAll(defaults.quarantinedPath()), garbage);
}

TEST_F(UserDefaultsTest, OneMalformedValueCostsOnlyItsKeyAndIsWrittenBackAsFound)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    // 1e19 is a whole number that no 64-bit integer holds.
    writeAll(path(), R"({"format":"kestrune-defaults","version":1,"values":{
        "good":{"int":1},"bad":{"int":"x"},"huge":{"int":1e19},"name":{"string":"n"},"list":{"array":[{"int":1.5}]}}})");
    const auto fileValues = [&] {
        return QJsonDocument::fromJson(readAll(path())).object().value("values").toObject();
    };
    const QJsonObject original = fileValues();
    {
        UserDefaults defaults(path());
        EXPECT_TRUE(defaults.quarantinedPath().isEmpty());
        EXPECT_TRUE(defaults.loadError().contains("\"bad\"")) << defaults.loadError().toStdString();
        EXPECT_EQ(defaults.keys(), (QStringList{"good", "name"}));
        EXPECT_EQ(defaults.integer("huge"), 0);

        // Saving keeps the entries it could not read as they were, until the app sets or
        // removes them.
        defaults.set("good", 2);
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(fileValues().value("bad"), original.value("bad"));
        EXPECT_EQ(fileValues().value("huge"), original.value("huge"));
        EXPECT_EQ(fileValues().value("list"), original.value("list"));
        EXPECT_EQ(fileValues().value("good"), QJsonValue(QJsonObject{{"int", 2}}));
        defaults.set("bad", 5);
        defaults.remove("huge");
    }
    UserDefaults reopened(path());
    EXPECT_EQ(reopened.integer("bad"), 5);
    EXPECT_FALSE(fileValues().contains("huge"));
    EXPECT_EQ(fileValues().value("list"), original.value("list"));
    EXPECT_EQ(reopened.string("name"), QStringLiteral("n"));
}

TEST_F(UserDefaultsTest, AFileFromANewerFormatSurvivesAnOlderBuildsSessionByteForByte)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    for (const QByteArray& version : {QByteArray("2"), QByteArray("1.5")}) {
        const QByteArray newer = R"({"format":"kestrune-defaults","version":)" + version
            + R"(,"values":{"chargeLimit":{"int":85},"future":{"shape":[1,2]}}})";
        writeAll(path(), newer);
        {
            UserDefaults defaults(path());
            EXPECT_FALSE(defaults.loadError().isEmpty());
            EXPECT_TRUE(defaults.quarantinedPath().isEmpty());
            // The session runs on the defaults and on what it changes, in memory.
            EXPECT_FALSE(defaults.contains("chargeLimit"));
            defaults.set("chargeLimit", 70);
            EXPECT_EQ(defaults.integer("chargeLimit"), 70);
            EXPECT_FALSE(defaults.synchronize());
        }
        EXPECT_EQ(readAll(path()), newer) << version.toStdString();
        EXPECT_EQ(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files), QStringList{"defaults.json"});
    }

    // A version that is no format at all is not taken for format 1.
    writeAll(path(), R"({"format":"kestrune-defaults","version":0.5,"values":{"chargeLimit":{"int":85}}})");
    UserDefaults unknown(path());
    EXPECT_FALSE(unknown.contains("chargeLimit"));
    EXPECT_FALSE(unknown.quarantinedPath().isEmpty());
}

TEST_F(UserDefaultsTest, AFailedWriteIsReportedAndKeepsTheValues)
{
    // A plain file where the folder should be makes every write fail, also for root.
    writeAll(dir.filePath("blocker"), "x");
    UserDefaults blocked(dir.filePath("blocker/defaults.json"));
    blocked.set("x", 2);
    EXPECT_FALSE(blocked.synchronize());
    EXPECT_FALSE(blocked.lastWriteError().isEmpty());
    EXPECT_EQ(blocked.integer("x"), 2);
}
