#include "Platform/SystemTools/TimerUnits.h"

#include <QFileInfo>
#include <QProcess>

namespace kestrune {

QStringList TimerUnits::installed(const QStringList& candidates)
{
    static const QStringList unitFolders{QStringLiteral("/etc/systemd/system"), QStringLiteral("/run/systemd/system"),
                                         QStringLiteral("/usr/lib/systemd/system"), QStringLiteral("/lib/systemd/system")};
    QStringList found;
    for (const QString& unit : candidates) {
        for (const QString& folder : unitFolders) {
            if (QFileInfo::exists(folder + u'/' + unit)) {
                found << unit;
                break;
            }
        }
    }
    return found;
}

bool TimerUnits::isActive(const QString& unit)
{
    QProcess systemctl;
    systemctl.setProcessChannelMode(QProcess::MergedChannels);
    systemctl.start(QStringLiteral("systemctl"), {QStringLiteral("is-active"), QStringLiteral("--quiet"), unit});
    if (!systemctl.waitForStarted(5000))
        return false;
    if (!systemctl.waitForFinished(30'000)) {
        systemctl.kill();
        systemctl.waitForFinished();
        return false;
    }
    return systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

bool TimerUnits::setRunning(const QStringList& units, bool running, QString* error)
{
    for (const QString& unit : units) {
        QProcess systemctl;
        systemctl.setProcessChannelMode(QProcess::MergedChannels);
        systemctl.start(QStringLiteral("systemctl"),
                        {running ? QStringLiteral("start") : QStringLiteral("stop"), unit});
        const bool started = systemctl.waitForStarted(5000);
        const bool finished = started && systemctl.waitForFinished(30'000);
        if (!finished || systemctl.exitStatus() != QProcess::NormalExit || systemctl.exitCode() != 0) {
            if (error) {
                const QString detail = started ? QString::fromUtf8(systemctl.readAll()).trimmed() : systemctl.errorString();
                *error = QStringLiteral("systemctl %1 %2 failed: %3")
                             .arg(running ? QStringLiteral("start") : QStringLiteral("stop"), unit, detail);
            }
            if (systemctl.state() != QProcess::NotRunning) {
                systemctl.kill();
                systemctl.waitForFinished();
            }
            return false;
        }
    }
    return true;
}

} // namespace kestrune
