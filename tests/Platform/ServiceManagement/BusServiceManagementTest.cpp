#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kestrune::test {

namespace {

const QString label = QStringLiteral("org.kestrune.helper");

} // namespace

// A private session bus that reads activation files from a folder of the test's own.
class BusServiceManagementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        bus = std::make_unique<PrivateBus>(PrivateBus::Users::Owner, activationDirectory());
        ASSERT_TRUE(bus->isRunning());
        appBus = std::make_unique<QDBusConnection>(bus->connect(QStringLiteral("app")));

        // A folder name with a space and a quote, which the bus's command line must keep intact.
        programDir = home.filePath(QStringLiteral("lib exec's"));
        QDir().mkpath(programDir);
        program = programDir + QStringLiteral("/kestrune-helper");
    }

    BusServiceManagement::Options options(bool systemBus) const
    {
        BusServiceManagement::Options o;
        o.systemBus = systemBus;
        o.label = label;
        o.program = program;
        o.activationDirectory = activationDirectory();
        o.environment = {QStringLiteral("KESTRUNE_BUS=session"),
                         QStringLiteral("KESTRUNE_SYSFS_ROOT=") + home.filePath(QStringLiteral("sim machine"))};
        o.installCommand = QStringLiteral("sudo make install-helper");
        return o;
    }

    QString activationDirectory() const { return home.filePath(QStringLiteral("data/dbus-1/services")); }

    // A stand-in program that writes down how the bus started it.
    void installProgram(const QString& reportPath)
    {
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$KESTRUNE_BUS\" \"$KESTRUNE_SYSFS_ROOT\" \"$0\" > \""
                   + reportPath.toUtf8() + "\"\n");
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }

    QTemporaryDir home;
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<QDBusConnection> appBus;
    QString programDir;
    QString program;
};

TEST_F(BusServiceManagementTest, OnTheSessionBusRegisteringMakesTheDaemonStartable)
{
    using Status = ServiceManagement::Status;
    BusServiceManagement services(*appBus, options(false));

    EXPECT_EQ(services.daemonStatus(), Status::NotFound);
    EXPECT_EQ(services.registerDaemon(),
              QStringLiteral("ヘルパーのプログラムが見つかりません: ") + program);
    EXPECT_FALSE(QFile::exists(services.activationFilePath()));

    const QString report = home.filePath(QStringLiteral("started"));
    installProgram(report);
    EXPECT_EQ(services.daemonStatus(), Status::NotRegistered);
    EXPECT_EQ(services.registerDaemon(), std::nullopt);
    EXPECT_EQ(services.daemonStatus(), Status::Enabled);

    // The bus starts the program from the file, with the environment and path intact. The
    // stand-in exits without taking the name, so the start itself fails.
    appBus->interface()->asyncCall(QStringLiteral("StartServiceByName"), label, 0u);
    QByteArray started;
    ASSERT_TRUE(waitUntil([&] {
        QFile file(report);
        started = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return started.count('\n') == 3;
    }, 5000));
    EXPECT_EQ(QString::fromUtf8(started).split(u'\n'),
              (QStringList{QStringLiteral("session"), home.filePath(QStringLiteral("sim machine")), program, {}}));

    EXPECT_EQ(services.unregisterDaemon(), std::nullopt);
    EXPECT_FALSE(QFile::exists(services.activationFilePath()));
    EXPECT_EQ(services.daemonStatus(), Status::NotRegistered);
    // Unregistering twice is no error.
    EXPECT_EQ(services.unregisterDaemon(), std::nullopt);

    // A path the bus's command line cannot carry is refused rather than written broken.
    BusServiceManagement::Options odd = options(false);
    odd.program = home.filePath(QStringLiteral("a\\b"));
    QFile::copy(program, odd.program);
    BusServiceManagement oddServices(*appBus, odd);
    EXPECT_EQ(oddServices.registerDaemon(),
              QStringLiteral("このフォルダからはヘルパーを起動できません: ") + odd.program);
    EXPECT_FALSE(QFile::exists(oddServices.activationFilePath()));
}

TEST_F(BusServiceManagementTest, OnTheSystemBusTheApplicationOnlyConfirmsAnInstallation)
{
    using Status = ServiceManagement::Status;
    BusServiceManagement services(*appBus, options(true));
    EXPECT_EQ(services.daemonStatus(), Status::NotFound);
    installProgram(home.filePath(QStringLiteral("unused")));
    EXPECT_EQ(services.daemonStatus(), Status::NotRegistered);

    // Not installed: the user is told the install step, and nothing is written.
    const std::optional<QString> error = services.registerDaemon();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->endsWith(QStringLiteral("sudo make install-helper"))) << error->toStdString();
    EXPECT_FALSE(QFile::exists(services.activationFilePath()));
    EXPECT_FALSE(services.openSystemSettingsLoginItems());
    EXPECT_TRUE(services.enableInstructions().endsWith(QStringLiteral("sudo make install-helper")));

    // A daemon on the bus is enabled, registers as it is, and is not the application's to remove.
    QDBusConnection daemon = bus->connect(QStringLiteral("daemon"));
    ASSERT_TRUE(daemon.registerService(label));
    EXPECT_EQ(services.daemonStatus(), Status::Enabled);
    EXPECT_EQ(services.registerDaemon(), std::nullopt);
    EXPECT_TRUE(services.unregisterDaemon().has_value());

    BusServiceManagement unconnected(QDBusConnection(QStringLiteral("never connected")), options(true));
    EXPECT_EQ(unconnected.daemonStatus(), Status::Unknown);
}

} // namespace kestrune::test
