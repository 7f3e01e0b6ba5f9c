#include "bench/TrayIdle/MeteredProgram.h"

#include "tests/support/EventLoop.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

// The tray benchmark's figures rest on these counts: a program's own with those of the
// processes it starts (the daemon's tools), read while it runs.
TEST(MeteredProgramTest, CountsAProgramWithItsChildrenWhileItRuns)
{
    if (!MeteredProgram::canMeter())
        GTEST_SKIP() << "perf cannot count here";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("synced"));
    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    // Two children sync the file (fdatasync, then fsync); the shell waits until it is ended.
    const QString script
        = QStringLiteral("touch '%1'; sync -d '%1'; sync '%1'; sleep 60 & trap 'kill $!; exit' TERM; wait")
              .arg(file);
    MeteredProgram program;
    ASSERT_TRUE(program.start(sh, { QStringLiteral("-c"), script }, QProcessEnvironment::systemEnvironment(),
        true, dir.filePath(QStringLiteral("counts"))));
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(program.pid())).canonicalFilePath(),
        QFileInfo(sh).canonicalFilePath());

    ASSERT_TRUE(test::waitUntil([&] { return program.counts().syncs >= 2; }, 30000));
    const MeteredProgram::Counts counts = program.counts();
    EXPECT_EQ(counts.syncs, 2);
    EXPECT_GT(counts.cpuSeconds, 0);
    EXPECT_GT(counts.contextSwitches, 0);
    EXPECT_TRUE(program.isRunning());
    program.stop();
    EXPECT_FALSE(program.isRunning());
}
