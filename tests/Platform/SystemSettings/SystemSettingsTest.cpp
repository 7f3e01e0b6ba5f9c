#include "Platform/SystemSettings/SystemSettings.h"

#include "tests/support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

TEST(SystemSettingsTest, TheNotificationPageOpensInTheFirstInstalledDesktopsSettings)
{
    QTemporaryDir folder;
    const QString bin = folder.filePath(QStringLiteral("bin"));
    const QString log = folder.filePath(QStringLiteral("started.log"));
    QDir().mkpath(bin);
    const SystemSettings settings({bin});
    const auto started = [&] {
        QFile file(log);
        if (!waitUntil([&] { return file.exists() && file.size() > 0; }) || !file.open(QIODevice::ReadOnly))
            return QString();
        const QString line = QString::fromUtf8(file.readAll()).trimmed();
        file.remove();
        return line;
    };

    EXPECT_FALSE(settings.openNotificationSettings()); // nothing installed: nothing happens

    // Each desktop installed in front of the last: the most preferred present one wins, alone.
    const QList<std::pair<QString, QString>> desktops{
        {"xfce4-notifyd-config", "xfce4-notifyd-config"},
        {"systemsettings", "systemsettings kcm_notifications"},
        {"gnome-control-center", "gnome-control-center notifications"},
    };
    for (const auto& [program, expected] : desktops) {
        QFile script(QDir(bin).filePath(program));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"%1 $*\" >> '%2'\n").arg(program, log).toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        ASSERT_TRUE(settings.openNotificationSettings()) << program.toStdString();
        EXPECT_EQ(started(), expected);
    }
}

} // namespace kestrune::test
