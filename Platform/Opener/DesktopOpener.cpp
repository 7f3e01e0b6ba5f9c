#include "Platform/Opener/DesktopOpener.h"

#include <QProcess>

#include <QCoro/QCoroProcess>
#include <QCoro/QCoroTimer>

#include <memory>

namespace kestrune {

DesktopOpener::Open DesktopOpener::system()
{
    return [](QUrl url) { return open(QStringLiteral("xdg-open"), std::move(url)); };
}

QCoro::Task<bool> DesktopOpener::open(QString program, QUrl url, std::chrono::milliseconds settle)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    // Its complaints go to our standard error; what it prints otherwise nobody reads.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    // Whether the program runs, or could not be started at all, is known after an event loop
    // turn or two; a quick one may have ended by then. (QCoro's wait for the start waits out its
    // time-out on a failure.)
    process->start(QIODevice::ReadOnly);
    while (process->state() == QProcess::Starting)
        co_await QCoro::sleepFor(std::chrono::milliseconds(1));
    if (process->error() == QProcess::FailedToStart)
        co_return false;
    if (process->state() == QProcess::Running && !co_await qCoro(process.get()).waitForFinished(settle)
        && process->state() != QProcess::NotRunning) {
        // The opener holds the application it started in its foreground: it is left to end
        // with it, never stopped from here.
        QProcess* running = process.release();
        QObject::connect(running, &QProcess::finished, running, &QObject::deleteLater);
        co_return true;
    }
    co_return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

} // namespace kestrune
