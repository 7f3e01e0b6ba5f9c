#include "Foundation/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

TEST_F(UserDefaultsTest, OneMalformedValueQuarantinesTheWholeFile)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    const QByteArray content = R"({"format":"kestrune-defaults","version":1,"values":{
        "good":{"int":1},"bad":{"int":"x"}}})";
    writeAll(path(), content);
    UserDefaults defaults(path());
    EXPECT_TRUE(defaults.loadError().contains("bad"));
    EXPECT_FALSE(defaults.contains("good"));
    EXPECT_EQ(readAll(defaults.quarantinedPath()), content);
}

TEST_F(UserDefaultsTest, AFileFromANewerFormatIsLeftForThatVersion)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    writeAll(path(), R"({"format":"kestrune-defaults","version":9,"values":{}})");
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.loadError().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(QFile::exists(defaults.quarantinedPath()));
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
