#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QTemporaryDir>

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

TEST(PrivateBus, ActivatesOnlyTheServicesOfItsOwnFolder)
{
    // Whatever the machine has installed (dconf, a notification daemon) stays off the bus.
    const auto activatable = [](PrivateBus& bus, const QString& name) {
        return bus.connect(name).interface()->activatableServiceNames().value();
    };
    PrivateBus plain;
    ASSERT_TRUE(plain.isRunning());
    EXPECT_EQ(activatable(plain, "plain"), QStringList{"org.freedesktop.DBus"});

    QTemporaryDir services;
    QFile file(services.filePath("org.kestrune.Selftest.service"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[D-BUS Service]\nName=org.kestrune.Selftest\nExec=/bin/false\n");
    file.close();
    PrivateBus own(PrivateBus::Users::Anyone, services.path());
    ASSERT_TRUE(own.isRunning());
    QStringList names = activatable(own, "own");
    names.sort();
    EXPECT_EQ(names, (QStringList{"org.freedesktop.DBus", "org.kestrune.Selftest"}));
}
