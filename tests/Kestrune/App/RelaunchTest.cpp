#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune::test;

namespace {

QStringList recordedStarts(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

// A folder name that a shell would split, unquote or run: the relaunch must start exactly
// the program in it, with the arguments it had, and nothing else.
TEST(Relaunch, StartsTheProgramItselfWithNoShellInBetween)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString folder = work.filePath(QStringLiteral("Kestrune \"copy\" $(touch pwned) `touch pwned`"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/kestrune-relaunch-probe");
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/kestrune-relaunch-probe"), program));
    const QString record = work.filePath(QStringLiteral("starts.txt"));

    QProcess first;
    first.setWorkingDirectory(work.path());
    first.start(program, {QStringLiteral("--login-item"), QStringLiteral("two words"), QStringLiteral("$HOME"), record});
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    ASSERT_TRUE(waitUntil([&] { return recordedStarts(record).size() >= 2; }, 10000));
    spin(300); // time enough for a stray third start
    const QStringList starts = recordedStarts(record);
    ASSERT_EQ(starts.size(), 2) << starts.join(u'\n').toStdString();
    EXPECT_EQ(starts[0], QStringList({program, "--login-item", "two words", "$HOME", record}).join(u'\t'));
    // The user asked for this start, not the session: no login-item mark.
    EXPECT_EQ(starts[1], QStringList({program, "two words", "$HOME", record}).join(u'\t'));

    for (const QString& where : {work.path(), folder, QDir::currentPath()})
        EXPECT_FALSE(QFile::exists(where + QStringLiteral("/pwned"))) << where.toStdString();
}
