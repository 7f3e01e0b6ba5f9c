#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

using kestrune::test::PrivateBus;

TEST(PrivateBus, GivesEachTestItsOwnBus)
{
    PrivateBus first;
    PrivateBus second;
    ASSERT_TRUE(first.isRunning());
    ASSERT_TRUE(second.isRunning());
    EXPECT_NE(first.address(), second.address());

    QDBusConnection a = first.connect("a");
    QDBusConnection b = second.connect("b");
    ASSERT_TRUE(a.isConnected());
    ASSERT_TRUE(a.registerService("org.kestrune.selftest"));
    // The same name is free on the other bus.
    EXPECT_TRUE(b.registerService("org.kestrune.selftest"));
}

TEST(PrivateBus, StartsNoServiceTheMachineHasInstalled)
{
    // A notification daemon, dconf and the like stay off the bus; a test brings its own.
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    EXPECT_EQ(bus.connect("a").interface()->activatableServiceNames().value(), QStringList{"org.freedesktop.DBus"});
}
