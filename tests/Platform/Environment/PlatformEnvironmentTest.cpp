#include "Platform/Bus/HelperBus.h"
#include "Platform/Environment/PlatformEnvironment.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

namespace kestrune::test {

TEST(PlatformEnvironment, TheHelpersBusIsTheSystemTheSessionOrOneNamedByItsAddress)
{
    using Bus = PlatformEnvironment::Bus;
    struct Case {
        const char* value;
        Bus bus;
        const char* setting;
    };
    for (const Case& c : {Case{"", Bus::System, "system"}, {"system", Bus::System, "system"},
                          {"session", Bus::Session, "session"}, {" Session ", Bus::Session, "session"},
                          {"unix:path=/tmp/bus", Bus::Address, "unix:path=/tmp/bus"},
                          {"unix:abstract=/tmp/dbus-x,guid=42", Bus::Address, "unix:abstract=/tmp/dbus-x,guid=42"},
                          {"unix:", Bus::System, "system"}, {":path=/x", Bus::System, "system"},
                          {"sessions", Bus::System, "system"}}) {
        qputenv("KESTRUNE_BUS", c.value);
        EXPECT_EQ(PlatformEnvironment::bus(), c.bus) << c.value;
        EXPECT_EQ(PlatformEnvironment::busSetting(), QString::fromLatin1(c.setting)) << c.value;
    }

    // An address reaches that bus, with one connection shared by every caller.
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    qputenv("KESTRUNE_BUS", bus.address().toUtf8());
    QDBusConnection helperBus = HelperBus::connection();
    ASSERT_TRUE(helperBus.isConnected());
    EXPECT_FALSE(HelperBus::isSystemBus());
    EXPECT_EQ(HelperBus::connection().baseService(), helperBus.baseService());
    ASSERT_TRUE(helperBus.registerService("org.kestrune.EnvironmentTest"));
    EXPECT_TRUE(bus.connect("watcher").interface()->isServiceRegistered("org.kestrune.EnvironmentTest").value());
    qunsetenv("KESTRUNE_BUS");
}

} // namespace kestrune::test
