#include "Platform/Opener/DesktopOpener.h"

#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

using namespace std::chrono_literals;

TEST(DesktopOpenerTest, OnlyAnOpenerThatEndsWellOrKeepsRunningHasOpenedTheLink)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("opened"));
    int count = 0;
    // A stand-in for xdg-open: writes down what it was given, then ends as `ending` says.
    const auto opener = [&](const QByteArray& ending) {
        const QString path = dir.filePath(QStringLiteral("opener-%1").arg(++count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log.toUtf8() + "'\n" + ending + '\n');
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        return path;
    };
    const auto open = [](const QString& program, const QUrl& url, std::chrono::milliseconds settle = 3s) {
        return QCoro::waitFor(DesktopOpener::open(program, url, settle));
    };
    const QUrl post(QStringLiteral("https://x.com/intent/post?text=%2B2%E6%99%82%E9%96%93&url=https%3A%2F%2Fk.org"));

    EXPECT_TRUE(open(opener("exit 0"), post));
    EXPECT_FALSE(open(opener("exit 3"), post)) << "xdg-open's answer when no browser takes the link";
    EXPECT_FALSE(open(opener("kill -SEGV $$"), post));
    EXPECT_FALSE(open(dir.filePath(QStringLiteral("no-such-opener")), post));
    // A browser the opener runs in its foreground has the link while it runs.
    EXPECT_TRUE(open(opener("sleep 0.4"), post, 100ms));
    EXPECT_TRUE(open(opener("exit 0"), QUrl::fromLocalFile(dir.filePath(QStringLiteral("Kestrune week.png")))));
    spin(500); // the foreground browser ends

    const QByteArray encoded = post.toString(QUrl::FullyEncoded).toUtf8();
    EXPECT_EQ(readBytes(log), encoded + '\n' + encoded + '\n' + encoded + '\n' + encoded + '\n'
                                  + dir.filePath(QStringLiteral("Kestrune week.png")).toUtf8() + '\n');
}

} // namespace kestrune::test
