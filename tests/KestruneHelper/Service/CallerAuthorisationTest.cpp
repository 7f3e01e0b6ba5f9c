#include "KestruneHelper/CallerAuthorisation.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/Await.h"
#include "tests/support/FakePolkitAuthority.h"
#include "tests/support/PrivateBus.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

// The verdicts for callers of every kind of user, as the bus would name them: no root and no
// second user needed.
TEST(CallerAuthorisation, RootAndTheDaemonsUserPassAndOnlyRegularUsersAreEverPutToTheAuthority)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakePolkitAuthority authority;
    ASSERT_TRUE(authority.registerOn(bus.connect("authority")));
    QTemporaryDir dir; // no login.defs: regular users are 1000 to 60000
    constexpr std::uint32_t daemonUser = 4242;
    CallerAuthorisation::Policy policy{bus.connect("daemon"), daemonUser, true, QString(HelperProtocol::controlAction),
                                       dir.filePath("login.defs")};
    const QString sender = QStringLiteral(":1.99");
    const auto verdict = [&](std::uint32_t uid) {
        const CallerAuthorisation::Verdict v = await(CallerAuthorisation::decide(policy, sender, uid));
        EXPECT_TRUE(!v.allowed || v.uid == uid) << uid;
        return v.allowed;
    };

    EXPECT_TRUE(verdict(0));
    EXPECT_TRUE(verdict(daemonUser));
    // System accounts, the overflow user and systemd's dynamic users, though the authority
    // would say yes to anyone.
    for (std::uint32_t uid : {1u, 999u, 60001u, 61200u, 65534u})
        EXPECT_FALSE(verdict(uid)) << uid;
    EXPECT_EQ(authority.checks, 0);

    // A regular user is the authority's to decide, by the caller's bus name.
    EXPECT_TRUE(verdict(1000));
    EXPECT_EQ(authority.checks, 1);
    EXPECT_EQ(authority.subjectKind, "system-bus-name");
    EXPECT_EQ(authority.subjectDetails.value("name").toString(), sender);
    EXPECT_EQ(authority.action, QString(HelperProtocol::controlAction));
    authority.authorise = false;
    EXPECT_FALSE(verdict(1000));
    EXPECT_EQ(authority.checks, 2);

    // Where there is no authority to ask (a session bus), only root and the daemon's user pass.
    policy.consultPolkit = false;
    authority.authorise = true;
    EXPECT_FALSE(verdict(1000));
    EXPECT_TRUE(verdict(daemonUser));
    EXPECT_EQ(authority.checks, 2);
}
