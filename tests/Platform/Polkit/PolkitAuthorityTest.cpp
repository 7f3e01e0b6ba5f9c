#include "Platform/Polkit/PolkitAuthority.h"
#include "tests/support/FakePolkitAuthority.h"
#include "tests/support/PrivateBus.h"

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

class PolkitAuthorityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        authorityConnection = bus.connect("authority");
        ASSERT_TRUE(authority.registerOn(authorityConnection));
        caller = bus.connect("caller");
    }

    bool check(const QString& name, const QString& action)
    {
        return QCoro::waitFor(PolkitAuthority::checkAuthorization(caller, name, action));
    }

    PrivateBus bus;
    FakePolkitAuthority authority;
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
