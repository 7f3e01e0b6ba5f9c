#pragma once

#include "Platform/Sysfs/PowerSupplyTree.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/SMCChargingState.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/HelperDaemonProcess.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/resource.h>

namespace kestrune::test {

// The real daemon program on a private bus over a simulated laptop, with the stand-in tools
// of the build tree.
class HelperDaemonTest : public ::testing::Test {
protected:
    explicit HelperDaemonTest(PrivateBus::Users users = PrivateBus::Users::Owner)
        : bus(users)
    {
    }

    void start(const HelperDaemonProcess::Options& options = {})
    {
        ASSERT_TRUE(bus.isRunning());
        client = bus.connect("client");
        ASSERT_TRUE(daemon.start(bus, machine.path(), options));
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QString(HelperProtocol::label),
                                                              QString(HelperProtocol::objectPath),
                                                              QString(HelperProtocol::label), method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message, 40'000);
        waitUntil([&] { return pending.isFinished(); }, 40'000);
        return pending.reply();
    }
    QByteArray data(const QString& method, const QVariantList& arguments = {})
    {
        const QDBusMessage reply = call(method, arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method.toStdString() << ": "
                                                            << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), "ay") << method.toStdString();
        return reply.arguments().value(0).toByteArray();
    }
    HelperCommandResult command(const QString& method, const QVariantList& arguments = {})
    {
        const auto result = HelperCommandResult::fromJson(data(method, arguments));
        EXPECT_TRUE(result) << method.toStdString();
        return result.value_or(HelperCommandResult{});
    }
    SMCChargingState state()
    {
        const auto value = SMCChargingState::fromJson(data("readChargingState"));
        EXPECT_TRUE(value);
        return value.value_or(SMCChargingState{});
    }

    QString battery() const { return SimTree::batteryPath(machine.path()); }
    QString attribute(const QString& name) const { return PowerSupplyTree::read(battery(), name).value_or("?"); }
    QString stateFile(const QString& name) const { return readTrimmed(SimTree::statePath(machine.path(), name)); }
    QString profile() const { return readTrimmed(SimTree::platformProfilePath(machine.path())); }

    PrivateBus bus;
    QTemporaryDir machine;
    HelperDaemonProcess daemon;
    QDBusConnection client{QString()};
};

class HelperDaemonOtherUserTest : public HelperDaemonTest {
protected:
    HelperDaemonOtherUserTest()
        : HelperDaemonTest(PrivateBus::Users::Anyone)
    {
    }
};

inline int niceOf(qint64 pid)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
}

} // namespace kestrune::test
