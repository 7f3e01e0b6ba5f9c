#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestPaths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace kestrune::test {

namespace {

// The settings-writer program, driven a command at a time.
class SettingsWriter {
public:
    SettingsWriter(const QString& defaults, int batchMs)
    {
        started = child.start(buildDir() + QStringLiteral("/tests/EndToEnd/Crash/settings-writer"),
                              {defaults, QString::number(batchMs)});
    }

    // The answer, once the turn of the event loop that handled the command is over.
    QByteArray send(const QByteArray& command)
    {
        QProcess& process = child.process();
        process.write(command + '\n');
        if (!waitUntil([&] { return process.canReadLine(); }))
            return "no answer";
        return process.readLine().trimmed();
    }

    // What a crash is: no clean-up runs.
    void crash()
    {
        ::kill(pid_t(child.pid()), SIGKILL);
        child.process().waitForFinished(5000);
    }

    bool started = false;

private:
    ChildProcess child;
};

} // namespace

TEST(Crash, AKillLosesAtMostTheLastBatchOfLearntFiguresAndNothingTheUserSet)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrune/defaults.json"));
    const QString drainKey = QString::fromLatin1(AdaptiveEngine::typicalDrainWattsKey);
    const auto stored = [&](const QString& key) { return UserDefaults(path).object(key); };
    const auto learnt = [](const QByteArray& answer) { return answer.mid(3).toDouble(); };

    QByteArray saved;
    {
        SettingsWriter writer(path, 60'000);
        ASSERT_TRUE(writer.started);
        saved = writer.send("drain 9");
        ASSERT_TRUE(saved.startsWith("ok ")) << saved.toStdString();
        // Learnt, and waiting for its batch a minute on.
        EXPECT_FALSE(stored(drainKey).isValid());
        // What the user sets is on disk once its turn is over, and takes the waiting figures along.
        ASSERT_EQ(writer.send("limit 70"), "ok");
        EXPECT_EQ(stored(QStringLiteral("chargeLimit")), QVariant(qint64(70)));
        EXPECT_EQ(stored(drainKey).toDouble(), learnt(saved));
        const QByteArray lost = writer.send("drain 20");
        EXPECT_NE(learnt(lost), learnt(saved));
        writer.crash();
    }
    EXPECT_EQ(stored(QStringLiteral("chargeLimit")), QVariant(qint64(70)));
    EXPECT_EQ(stored(drainKey).toDouble(), learnt(saved));

    // A batch goes out by itself when its interval is over, without a quit or a user's setting.
    SettingsWriter writer(path, 200);
    ASSERT_TRUE(writer.started);
    saved = writer.send("drain 30");
    EXPECT_TRUE(waitUntil([&] { return stored(drainKey).toDouble() == learnt(saved); }));
    writer.crash();
    EXPECT_EQ(stored(drainKey).toDouble(), learnt(saved));
    EXPECT_EQ(stored(QStringLiteral("chargeLimit")), QVariant(qint64(70)));
}

} // namespace kestrune::test
