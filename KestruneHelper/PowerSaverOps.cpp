#include "KestruneHelper/PowerSaverOps.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrune {

namespace {

constexpr std::uint32_t defaultFirstRegularUid = 1000;
// A tool's output is kept up to this size; the rest is drained and dropped.
constexpr qsizetype outputLimit = 1 << 20;

// The threads of a process, main thread first. Linux keeps a nice value per thread, so a
// process runs at background priority only when all of them do.
QList<std::int32_t> threadsOf(std::int32_t pid)
{
    QList<std::int32_t> threads{pid};
    const QStringList names = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool ok = false;
        const int tid = name.toInt(&ok);
        if (ok && tid != pid)
            threads << tid;
    }
    return threads;
}

std::optional<int> niceOf(std::int32_t tid)
{
    errno = 0;
    const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (value == -1 && errno != 0)
        return std::nullopt;
    return value;
}

// 0 on success, else errno.
int setNice(std::int32_t tid, int value)
{
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), value) == 0 ? 0 : errno;
}

QString commandText(const QString& path, const QStringList& arguments)
{
    return (QStringList{path} + arguments).join(u' ');
}

} // namespace

PowerSaverOps::PowerSaverOps(Config config)
    : m_config(std::move(config))
{
}

std::optional<std::uint32_t> PowerSaverOps::processUID(std::int32_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "Uid:\treal\teffective\tsaved\tfilesystem"
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
        if (fields.size() < 2)
            return std::nullopt;
        bool ok = false;
        const uint uid = fields.at(1).toUInt(&ok);
        return ok ? std::optional<std::uint32_t>(uid) : std::nullopt;
    }
    return std::nullopt;
}

std::uint32_t PowerSaverOps::firstRegularUid(const QString& loginDefsPath)
{
    QFile file(loginDefsPath);
    if (!file.open(QIODevice::ReadOnly))
        return defaultFirstRegularUid;
    std::optional<std::uint32_t> found;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.simplified();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2 || fields.at(0) != "UID_MIN")
            continue;
        bool ok = false;
        const uint value = fields.at(1).toUInt(&ok);
        if (ok)
            found = value;
    }
    return found.value_or(defaultFirstRegularUid);
}

void PowerSaverOps::setProcessThrottled(std::int32_t pid, bool throttled)
{
    if (pid < 2 || pid == getpid())
        throw OpsError::invalidPID(pid);
    const auto uid = processUID(pid);
    if (!uid || *uid < firstRegularUid(m_config.loginDefsPath))
        throw OpsError::systemProcessProtected(pid, uid.value_or(0));

    if (!throttled) {
        const int error = unthrottle(pid);
        if (error != 0 && error != ESRCH)
            throw OpsError::setpriorityFailed(pid, error);
        m_throttledPIDs.remove(pid);
        m_previousNice.remove(pid);
        return;
    }

    const QList<std::int32_t> threads = threadsOf(pid);
    // A second throttle must not mistake the background value for the one to return to.
    const bool firstTime = !m_previousNice.contains(pid);
    if (firstTime) {
        QHash<std::int32_t, int> previous;
        for (std::int32_t tid : threads) {
            if (const auto nice = niceOf(tid))
                previous.insert(tid, *nice);
        }
        m_previousNice.insert(pid, previous);
    }
    const int error = setNice(pid, backgroundNice);
    if (error == ESRCH) {
        m_throttledPIDs.remove(pid);
        m_previousNice.remove(pid);
        return;
    }
    if (error != 0) {
        if (firstTime)
            m_previousNice.remove(pid);
        throw OpsError::setpriorityFailed(pid, error);
    }
    for (std::int32_t tid : threads) {
        if (tid != pid)
            setNice(tid, backgroundNice); // a thread may end meanwhile
    }
    m_throttledPIDs.insert(pid);
}

int PowerSaverOps::unthrottle(std::int32_t pid)
{
    const QHash<std::int32_t, int> previous = m_previousNice.value(pid);
    // Threads started while throttled inherited background priority from their parent;
    // they go back to the process's own former value.
    const int processValue = previous.value(pid, 0);
    const int error = setNice(pid, processValue);
    if (error != 0)
        return error;
    for (std::int32_t tid : threadsOf(pid)) {
        if (tid != pid)
            setNice(tid, previous.value(tid, processValue));
    }
    return 0;
}

QString PowerSaverOps::runCommand(const QString& path, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(m_config.tools.resolve(path));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1))
        throw OpsError::launchFailed(process.errorString());

    QDeadlineTimer deadline(m_config.commandTimeoutMs);
    QByteArray output;
    const auto drain = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (output.size() < outputLimit)
            output += chunk.left(outputLimit - output.size());
    };
    // Waiting for output rather than for the exit keeps what the tool writes drained in
    // small pieces, so a chatty tool neither blocks on a full pipe nor piles up in memory.
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        const int step = static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100));
        if (!process.waitForReadyRead(step) && process.state() != QProcess::NotRunning)
            process.waitForFinished(step);
        drain();
    }
    const bool finished = process.state() == QProcess::NotRunning;
    if (!finished) {
        process.kill();
        process.waitForFinished(-1);
    }
    drain();

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(output);
    if (decoder.hasError())
        text.clear();
    // A tool that had to be killed reports the signal, as any tool killed by one does.
    const int status = process.exitCode();
    if (finished && process.exitStatus() == QProcess::NormalExit && status == 0)
        return text;
    throw OpsError::commandFailed(commandText(path, arguments), status, text);
}

std::optional<bool> PowerSaverOps::readBatteryLowPowerMode()
{
    QString output;
    try {
        output = runCommand(QString::fromLatin1(SystemTools::pmset), {QStringLiteral("-g"), QStringLiteral("custom")});
    } catch (const OpsError&) {
        return std::nullopt;
    }
    bool inBattery = false;
    for (const QString& raw : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        if (line.endsWith(QLatin1String("Power:"))) {
            inBattery = line.startsWith(QLatin1String("Battery"));
            continue;
        }
        if (inBattery && line.startsWith(QLatin1String("lowpowermode")))
            return line.endsWith(u'1');
    }
    return std::nullopt;
}

void PowerSaverOps::setLowPowerMode(bool on)
{
    if (on && !m_previousBatteryLPM)
        m_previousBatteryLPM = readBatteryLowPowerMode().value_or(false);
    runCommand(QString::fromLatin1(SystemTools::pmset),
               {QStringLiteral("-b"), QStringLiteral("lowpowermode"), on ? QStringLiteral("1") : QStringLiteral("0")});
    if (!on)
        m_previousBatteryLPM.reset();
}

void PowerSaverOps::restoreLowPowerMode()
{
    if (!m_previousBatteryLPM)
        return;
    runCommand(QString::fromLatin1(SystemTools::pmset),
               {QStringLiteral("-b"), QStringLiteral("lowpowermode"),
                *m_previousBatteryLPM ? QStringLiteral("1") : QStringLiteral("0")});
    m_previousBatteryLPM.reset();
}

void PowerSaverOps::setSpotlightPaused(bool paused)
{
    runCommand(QString::fromLatin1(SystemTools::mdutil),
               {QStringLiteral("-a"), QStringLiteral("-i"), paused ? QStringLiteral("off") : QStringLiteral("on")});
    m_spotlightPausedByUs = paused;
}

void PowerSaverOps::setTimeMachinePaused(bool paused)
{
    runCommand(QString::fromLatin1(SystemTools::tmutil), {paused ? QStringLiteral("disable") : QStringLiteral("enable")});
    m_timeMachinePausedByUs = paused;
}

std::optional<OpsError> PowerSaverOps::restoreAll()
{
    std::optional<OpsError> first;
    const auto record = [&first](const OpsError& error) {
        if (!first)
            first = error;
    };

    for (std::int32_t pid : std::as_const(m_throttledPIDs)) {
        const int error = unthrottle(pid);
        if (error != 0 && error != ESRCH)
            record(OpsError::setpriorityFailed(pid, error));
    }
    m_throttledPIDs.clear();
    m_previousNice.clear();

    try {
        restoreLowPowerMode();
    } catch (const OpsError& error) {
        record(error);
    }
    if (m_spotlightPausedByUs) {
        try {
            setSpotlightPaused(false);
        } catch (const OpsError& error) {
            record(error);
        }
    }
    if (m_timeMachinePausedByUs) {
        try {
            setTimeMachinePaused(false);
        } catch (const OpsError& error) {
            record(error);
        }
    }
    return first;
}

bool PowerSaverOps::holdsAnything() const
{
    return !m_throttledPIDs.isEmpty() || m_previousBatteryLPM || m_spotlightPausedByUs || m_timeMachinePausedByUs;
}

} // namespace kestrune
