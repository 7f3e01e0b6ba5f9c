#include "Platform/Polkit/PolkitAuthority.h"
#include "tests/support/PrivateBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

using Details = QMap<QString, QString>;

// The system's authority as far as CheckAuthorization goes: it records what it was asked
// and answers with a fixed verdict.
class FakeAuthority : public QDBusVirtualObject {
public:
    bool authorise = true;
    QString signature;
    QString subjectKind;
    QVariantMap subjectDetails;
    QString action;
    uint flags = 99;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("CheckAuthorization"))
            return false;
        signature = message.signature();
        const QVariantList arguments = message.arguments();
        if (arguments.size() == 5) {
            const auto subject = arguments.at(0).value<QDBusArgument>();
            subject.beginStructure();
            subject >> subjectKind >> subjectDetails;
            subject.endStructure();
            action = arguments.at(1).toString();
            flags = arguments.at(3).toUInt();
        }
        QDBusArgument result;
        result.beginStructure();
        result << authorise << false << Details{};
        result.endStructure();
        connection.send(message.createReply(QVariant::fromValue(result)));
        return true;
    }
};

class PolkitAuthorityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qDBusRegisterMetaType<Details>();
        ASSERT_TRUE(bus.isRunning());
        authorityConnection = bus.connect("authority");
        ASSERT_TRUE(authorityConnection.registerVirtualObject(PolkitAuthority::path, &authority));
        ASSERT_TRUE(authorityConnection.registerService(PolkitAuthority::service));
        caller = bus.connect("caller");
    }

    bool check(const QString& name, const QString& action)
    {
        return QCoro::waitFor(PolkitAuthority::checkAuthorization(caller, name, action));
    }

    PrivateBus bus;
    FakeAuthority authority;
    QDBusConnection authorityConnection{QString()};
    QDBusConnection caller{QString()};
};

} // namespace

TEST_F(PolkitAuthorityTest, AsksAboutTheCallersBusNameWithoutInteraction)
{
    EXPECT_TRUE(check(":1.42", "org.kestrune.helper.control"));
    EXPECT_EQ(authority.signature, "(sa{sv})sa{ss}us");
    EXPECT_EQ(authority.subjectKind, "system-bus-name");
    EXPECT_EQ(authority.subjectDetails, (QVariantMap{{"name", ":1.42"}}));
    EXPECT_EQ(authority.action, "org.kestrune.helper.control");
    EXPECT_EQ(authority.flags, 0u);
}

TEST_F(PolkitAuthorityTest, ARefusalOrAMissingAuthorityMeansNo)
{
    authority.authorise = false;
    EXPECT_FALSE(check(":1.42", "org.kestrune.helper.control"));
    authorityConnection.unregisterService(PolkitAuthority::service);
    EXPECT_FALSE(check(":1.42", "org.kestrune.helper.control"));
}
