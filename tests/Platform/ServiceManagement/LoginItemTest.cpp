#include "Platform/ServiceManagement/LoginItem.h"

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

void write(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// The Exec line's arguments as a desktop session reads them: the string escapes of the value
// first, then "%%", then words split at unquoted spaces with the quoting rules.
QStringList execArguments(const QString& entry)
{
    QString value;
    for (const QString& line : entry.split(u'\n'))
        if (line.startsWith(QStringLiteral("Exec=")))
            value = line.mid(5);
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == u's' ? QChar(u' ') : next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        } else {
            unescaped += value[i];
        }
    }
    unescaped.replace(QStringLiteral("%%"), QStringLiteral("%"));

    QStringList arguments;
    QString current;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == u'\\' && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == u' ' && !quoted) {
            if (inWord)
                arguments << current;
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        arguments << current;
    return arguments;
}

} // namespace

class LoginItemTest : public ::testing::Test {
protected:
    LoginItem::Options options(const QString& program = QStringLiteral("/usr/bin/kestrune")) const
    {
        return {home.filePath(QStringLiteral("config/autostart")),
                {home.filePath(QStringLiteral("etc/xdg/autostart")), home.filePath(QStringLiteral("usr/xdg/autostart"))},
                program};
    }
    QString systemEntry(int index) const
    {
        return options().systemAutostartDirectories[index] + u'/' + QString::fromLatin1(LoginItem::entryName);
    }

    QTemporaryDir home;
};

TEST_F(LoginItemTest, RegisteringWritesAnEntryWhoseCommandSurvivesAwkwardPaths)
{
    const QStringList programs{
        QStringLiteral("/opt/My Apps/kestrune"),
        QStringLiteral("/opt/it's \"beta\"/$HOME/`id`/100%/back\\slash/kestrune"),
    };
    for (const QString& program : programs) {
        LoginItem item(options(program));
        EXPECT_EQ(item.status(), Status::NotRegistered);
        ASSERT_EQ(item.registerItem(), std::nullopt);
        EXPECT_EQ(item.status(), Status::Enabled);
        const QString entry = read(item.entryPath());
        EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
        EXPECT_TRUE(entry.contains(QStringLiteral("\nType=Application\n")));
        EXPECT_EQ(execArguments(entry), (QStringList{program, QStringLiteral("--login-item")}));
        ASSERT_EQ(item.unregisterItem(), std::nullopt);
        EXPECT_FALSE(QFile::exists(item.entryPath()));
        EXPECT_EQ(item.status(), Status::NotRegistered);
    }

    // A line break cannot be carried on the Exec line: a clear error, and nothing written.
    LoginItem broken(options(QStringLiteral("/opt/two\nlines/kestrune")));
    const std::optional<QString> error = broken.registerItem();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(QStringLiteral("two")));
    EXPECT_FALSE(QFile::exists(broken.entryPath()));
}

TEST_F(LoginItemTest, AnEntrySwitchedOffOrHiddenIsNotEnabled)
{
    LoginItem item(options());
    ASSERT_EQ(item.registerItem(), std::nullopt);
    const QByteArray enabled = read(item.entryPath()).toUtf8();

    write(item.entryPath(), enabled + "X-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(item.status(), Status::NotRegistered);
    write(item.entryPath(), enabled + "Hidden=true\n");
    EXPECT_EQ(item.status(), Status::NotRegistered);
    // Keys of another group do not count.
    write(item.entryPath(), enabled + "[Desktop Action Quit]\nHidden=true\n");
    EXPECT_EQ(item.status(), Status::Enabled);
    // Registering again switches it back on.
    write(item.entryPath(), enabled + "Hidden=true\n");
    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::Enabled);
}

TEST_F(LoginItemTest, ASystemWideEntryIsHiddenByTheUsersInsteadOfRemoved)
{
    const QByteArray systemWide = "[Desktop Entry]\nType=Application\nName=Kestrune\nExec=kestrune --login-item\n";
    write(systemEntry(1), systemWide);
    LoginItem item(options());
    EXPECT_EQ(item.status(), Status::Enabled); // the system's entry is in force

    ASSERT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::NotRegistered);
    EXPECT_TRUE(read(item.entryPath()).contains(QStringLiteral("\nHidden=true\n")));
    EXPECT_EQ(read(systemEntry(1)).toUtf8(), systemWide); // the administrator's file is left alone

    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::Enabled);

    // The first system folder wins over the later ones.
    QFile::remove(item.entryPath());
    write(systemEntry(0), systemWide + "Hidden=true\n");
    EXPECT_EQ(item.status(), Status::NotRegistered);
}

TEST_F(LoginItemTest, AFolderThatCannotBeWrittenFailsWithATextAndChangesNothing)
{
    // A file where the folder should be stops even root, unlike permissions.
    write(home.filePath(QStringLiteral("config")), "not a folder");
    LoginItem item(options());
    const std::optional<QString> error = item.registerItem();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(item.entryPath()));
    EXPECT_EQ(item.status(), Status::NotRegistered);

    write(systemEntry(0), "[Desktop Entry]\nType=Application\nName=Kestrune\nExec=kestrune\n");
    EXPECT_TRUE(item.unregisterItem().has_value()); // it cannot hide the system's entry either
    EXPECT_EQ(item.status(), Status::Enabled);
}

} // namespace kestrune::test
