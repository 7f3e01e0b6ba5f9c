#include "Platform/SystemSettings/SystemSettings.h"

#include "tests/support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

// A stand-in settings program that notes its name and arguments in `log`.
void install(const QString& folder, const QString& name, const QString& log)
{
    const QString path = QDir(folder).filePath(name);
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"%1 $*\" >> '%2'\n").arg(name, log).toUtf8());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

QString readLog(const QString& log)
{
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

} // namespace

TEST(SystemSettingsTest, TheNotificationPageOpensInTheFirstInstalledDesktopsSettings)
{
    QTemporaryDir folder;
    const QString bin = folder.filePath(QStringLiteral("bin"));
    const QString log = folder.filePath(QStringLiteral("started.log"));
    QDir().mkpath(bin);
    const SystemSettings settings({bin});

    // Nothing installed: nothing happens.
    EXPECT_FALSE(settings.openNotificationSettings());

    // Each desktop added in front of the last; the most preferred one present wins, alone.
    const QList<std::pair<QString, QString>> desktops{
        {QStringLiteral("xfce4-notifyd-config"), QStringLiteral("xfce4-notifyd-config")},
        {QStringLiteral("systemsettings"), QStringLiteral("systemsettings kcm_notifications")},
        {QStringLiteral("gnome-control-center"), QStringLiteral("gnome-control-center notifications")},
    };
    for (const auto& [program, expected] : desktops) {
        install(bin, program, log);
        QFile::remove(log);
        ASSERT_TRUE(settings.openNotificationSettings()) << program.toStdString();
        ASSERT_TRUE(waitUntil([&] { return !readLog(log).isEmpty(); }));
        EXPECT_EQ(readLog(log), expected);
    }

    // A program that is there but cannot be run is not started.
    QFile(QDir(bin).filePath(QStringLiteral("gnome-control-center"))).setPermissions(QFileDevice::ReadOwner);
    QFile::remove(log);
    EXPECT_TRUE(settings.openNotificationSettings());
    ASSERT_TRUE(waitUntil([&] { return !readLog(log).isEmpty(); }));
    EXPECT_EQ(readLog(log), QStringLiteral("systemsettings kcm_notifications"));
}

} // namespace kestrune::test
