#include "Platform/ServiceManagement/LoginItem.h"
#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

using Status = ServiceManagement::Status;

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void write(const QString& path, const QString& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents.toUtf8());
}

} // namespace

class LoginItemTest : public ::testing::Test {
protected:
    // The program at `relative` under the temporary home, there and executable unless asked.
    LoginItem item(const QString& relative = QStringLiteral("bin/kestrune"), bool executable = true) const
    {
        const QString program = home.filePath(relative);
        EXPECT_TRUE(writeProgram(program, executable));
        return LoginItem({home.filePath(QStringLiteral("config/autostart")),
                          {home.filePath(QStringLiteral("etc/xdg/autostart")), home.filePath(QStringLiteral("xdg/autostart"))},
                          program});
    }
    QString systemEntry(const char* folder) const
    {
        return home.filePath(QString::fromLatin1(folder)) + QStringLiteral("/org.kestrune.Kestrune.desktop");
    }

    QTemporaryDir home;
};

TEST_F(LoginItemTest, TheEntryStartsTheProgramWhateverItsPathAndCanBeSwitchedOff)
{
    // Quoted, then backslash-escaped inside the quotes, then every backslash doubled by the
    // value's own escaping: the Desktop Entry rules, layer by layer.
    LoginItem awkward = item(QStringLiteral("My Apps/it's \"beta\"/$HOME/`id`/a\\b/kestrune"));
    EXPECT_EQ(awkward.status(), Status::NotRegistered);
    ASSERT_EQ(awkward.registerItem(), std::nullopt);
    EXPECT_EQ(awkward.status(), Status::Enabled);
    EXPECT_EQ(read(awkward.entryPath()),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Kestrune\nExec=\"") + home.path()
                  + QStringLiteral("/My Apps/it's \\\\\"beta\\\\\"/\\\\$HOME/\\\\`id\\\\`/a\\\\\\\\b/kestrune\""
                                   " --login-item\n"));

    const QString enabled = read(awkward.entryPath());
    write(awkward.entryPath(), enabled + QStringLiteral("X-GNOME-Autostart-enabled=false\n"));
    EXPECT_EQ(awkward.status(), Status::NotRegistered);
    write(awkward.entryPath(), enabled + QStringLiteral("Hidden=true\n"));
    EXPECT_EQ(awkward.status(), Status::NotRegistered);

    ASSERT_EQ(awkward.unregisterItem(), std::nullopt);
    EXPECT_FALSE(QFile::exists(awkward.entryPath()));

    // A line break cannot be carried on the Exec line: a clear error and nothing written.
    const std::optional<QString> error = item(QStringLiteral("two\nlines")).registerItem();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(QStringLiteral("lines")));
    EXPECT_FALSE(QFile::exists(awkward.entryPath()));

    // Nor would the desktop start a program it cannot run as the entry names it: one that is
    // not executable, or one whose path holds a "%", which the entry must write doubled and
    // the desktop's loader then looks for as it is written. Each is refused with the path it
    // would look for, and nothing is written.
    for (const auto& [program, executable, named] :
         {std::tuple{QStringLiteral("bin/kestrune"), false, QStringLiteral("/bin/kestrune")},
          std::tuple{QStringLiteral("100%/kestrune"), true, QStringLiteral("/100%%/kestrune")}}) {
        const std::optional<QString> refused = item(program, executable).registerItem();
        ASSERT_TRUE(refused) << program.toStdString();
        EXPECT_EQ(*refused, QStringLiteral("このプログラムの場所からはログイン時に起動できません: ") + home.path() + named);
        EXPECT_FALSE(QFile::exists(awkward.entryPath()));
        EXPECT_EQ(awkward.status(), Status::NotRegistered);
    }
}

TEST_F(LoginItemTest, ASystemWideEntryIsHiddenInsteadOfRemovedAndAnUnwritableFolderFailsWithAText)
{
    const QString systemWide = QStringLiteral("[Desktop Entry]\nType=Application\nName=Kestrune\nExec=kestrune\n");
    write(systemEntry("xdg/autostart"), systemWide);
    LoginItem login = item();
    EXPECT_EQ(login.status(), Status::Enabled); // the system's entry is in force

    ASSERT_EQ(login.unregisterItem(), std::nullopt);
    EXPECT_EQ(login.status(), Status::NotRegistered);
    EXPECT_TRUE(read(login.entryPath()).contains(QStringLiteral("\nHidden=true\n")));
    EXPECT_EQ(read(systemEntry("xdg/autostart")), systemWide);
    ASSERT_EQ(login.registerItem(), std::nullopt);
    EXPECT_EQ(login.status(), Status::Enabled);

    // A file where the folder should be stops even root, unlike permissions.
    QFile::remove(systemEntry("xdg/autostart"));
    QDir(home.filePath(QStringLiteral("config"))).removeRecursively();
    write(home.filePath(QStringLiteral("config")), QStringLiteral("not a folder"));
    const std::optional<QString> error = login.registerItem();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(login.entryPath()));
    EXPECT_EQ(login.status(), Status::NotRegistered);
}

} // namespace kestrune::test
