#include "KestruneHelper/PowerSaverOps.h"

#include "KestruneHelper/RegularUsers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStringDecoder>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrune {

namespace {

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

void PowerSaverOps::setProcessThrottled(std::int32_t pid, bool throttled, std::uint32_t callerUid)
{
    if (pid < 2 || pid == getpid())
        throw OpsError::invalidPID(pid);
    const auto identity = ProcessIdentity::of(pid);
    // A record of a process that has gone is no record of whatever has its pid now.
    const auto record = m_throttled.constFind(pid);
    const bool replaced = record != m_throttled.cend() && identity != record->identity;
    if (replaced)
        m_throttled.remove(pid);
    if (!identity || !RegularUsers(m_config.loginDefsPath).contains(identity->uid))
        throw OpsError::systemProcessProtected(pid, identity ? identity->uid : 0);
    if (callerUid != 0 && identity->uid != callerUid)
        throw OpsError::setpriorityFailed(pid, EPERM);

    if (throttled) {
        throttle(pid, *identity);
        return;
    }
    if (!m_throttled.contains(pid)) {
        // A process that took the pid of one we throttled was never ours to change.
        if (!replaced)
            releaseUnrecorded(pid);
        return;
    }
    const int error = restore(pid, m_throttled.value(pid));
    if (error != 0 && error != ESRCH)
        throw OpsError::setpriorityFailed(pid, error);
    m_throttled.remove(pid);
}

void PowerSaverOps::throttle(std::int32_t pid, const ProcessIdentity& identity)
{
    const QList<std::int32_t> threads = threadsOf(pid);
    // A second throttle must not mistake the background value for the one to return to.
    const bool firstTime = !m_throttled.contains(pid);
    if (firstTime) {
        Throttled record{identity, {}};
        for (std::int32_t tid : threads) {
            if (const auto nice = niceOf(tid))
                record.previousNice.insert(tid, *nice);
        }
        m_throttled.insert(pid, record);
    }
    const int error = setNice(pid, backgroundNice);
    if (error == ESRCH) {
        m_throttled.remove(pid);
        return;
    }
    if (error != 0) {
        if (firstTime)
            m_throttled.remove(pid);
        throw OpsError::setpriorityFailed(pid, error);
    }
    for (std::int32_t tid : threads) {
        if (tid != pid)
            setNice(tid, backgroundNice); // a thread may end meanwhile
    }
}

int PowerSaverOps::restore(std::int32_t pid, const Throttled& record)
{
    // Threads started while throttled inherited background priority from their parent;
    // they go back to the process's own former value.
    const int processValue = record.previousNice.value(pid, 0);
    const int error = setNice(pid, processValue);
    if (error != 0)
        return error;
    for (std::int32_t tid : threadsOf(pid)) {
        if (tid != pid)
            setNice(tid, record.previousNice.value(tid, processValue));
    }
    return 0;
}

void PowerSaverOps::releaseUnrecorded(std::int32_t pid)
{
    // After a restart of the daemon the application may still release what the daemon's
    // former run throttled. Only background priority is undone: any other value is the
    // owner's own choice, which a user cannot take back once it is lowered.
    if (niceOf(pid) != backgroundNice)
        return;
    const int error = setNice(pid, 0);
    if (error != 0 && error != ESRCH)
        throw OpsError::setpriorityFailed(pid, error);
    for (std::int32_t tid : threadsOf(pid)) {
        if (tid != pid && niceOf(tid) == backgroundNice)
            setNice(tid, 0);
    }
}

QSet<std::int32_t> PowerSaverOps::throttledPIDs() const
{
    return QSet<std::int32_t>(m_throttled.keyBegin(), m_throttled.keyEnd());
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

    for (auto it = m_throttled.begin(); it != m_throttled.end(); ++it) {
        // A process that has gone, or whose pid now names another one, counts as ended.
        if (ProcessIdentity::of(it.key()) != it->identity)
            continue;
        const int error = restore(it.key(), *it);
        if (error != 0 && error != ESRCH)
            record(OpsError::setpriorityFailed(it.key(), error));
    }
    m_throttled.clear();

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
    return !m_throttled.isEmpty() || m_previousBatteryLPM || m_spotlightPausedByUs || m_timeMachinePausedByUs;
}

} // namespace kestrune
