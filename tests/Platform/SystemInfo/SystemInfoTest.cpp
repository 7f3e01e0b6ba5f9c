#include "Platform/SystemInfo/SystemInfo.h"

#include "tests/support/Await.h"
#include "tests/support/PrivateBus.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

// hostnamed as far as the application asks it.
class FakeHostnamed : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.hostname1")
    Q_PROPERTY(QString PrettyHostname READ prettyHostname)

public:
    QString pretty;
    QString prettyHostname() const { return pretty; }
};

} // namespace

TEST(SystemInfoTest, TheMachineDescribesItselfWithFallbacks)
{
    test::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir sysfs;
    const SystemInfo info(bus.connect("app"), sysfs.path());

    // No hostnamed, no DMI: the host name and no model.
    EXPECT_EQ(test::await(info.computerName()), QSysInfo::machineHostName());
    EXPECT_EQ(info.hardwareModel(), "");

    FakeHostnamed hostnamed;
    QDBusConnection service = bus.connect("hostnamed");
    ASSERT_TRUE(service.registerObject(
        "/org/freedesktop/hostname1", &hostnamed, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(service.registerService("org.freedesktop.hostname1"));
    hostnamed.pretty = "  ";
    EXPECT_EQ(test::await(info.computerName()), QSysInfo::machineHostName()) << "a blank pretty name is none";
    hostnamed.pretty = "Yuki’s ThinkPad";
    EXPECT_EQ(test::await(info.computerName()), "Yuki’s ThinkPad");

    ASSERT_TRUE(QDir().mkpath(sysfs.filePath("class/dmi/id")));
    QFile model(sysfs.filePath("class/dmi/id/product_name"));
    ASSERT_TRUE(model.open(QIODevice::WriteOnly));
    model.write("21CBCTO1WW\n");
    model.close();
    EXPECT_EQ(info.hardwareModel(), "21CBCTO1WW");

    EXPECT_TRUE(SystemInfo::osVersion().endsWith("kernel " + QSysInfo::kernelVersion()));
    EXPECT_FALSE(SystemInfo::applicationVersion().isEmpty());
}

#include "SystemInfoTest.moc"
