#include "bench/TrayIdle/MeteredProgram.h"

#include "tests/support/EventLoop.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>

namespace kestrune {

namespace {

const QString events
    = QStringLiteral("task-clock,context-switches,syscalls:sys_enter_fsync,syscalls:sys_enter_fdatasync,"
                     "syscalls:sys_enter_sync_file_range,syscalls:sys_enter_syncfs,syscalls:sys_enter_sync");

QString perf()
{
    return QStandardPaths::findExecutable(QStringLiteral("perf"));
}

QStringList perfArguments(const QString& countsPath, int intervalMs)
{
    QStringList arguments { QStringLiteral("stat"), QStringLiteral("-x,"), QStringLiteral("-e"), events,
        QStringLiteral("-o"), countsPath };
    if (intervalMs > 0)
        arguments << QStringLiteral("-I") << QString::number(intervalMs);
    return arguments << QStringLiteral("--");
}

// The process perf started for the program, once it runs the program.
qint64 workloadOf(qint64 perfPid, const QString& program)
{
    const QString target = QFileInfo(program).canonicalFilePath();
    qint64 pid = 0;
    test::waitUntil([&] {
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(perfPid));
        if (!children.open(QIODevice::ReadOnly))
            return false;
        pid = children.readAll().trimmed().split(' ').value(0).toLongLong();
        return pid > 0 && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == target;
    });
    return pid;
}

} // namespace

bool MeteredProgram::canMeter()
{
    if (perf().isEmpty())
        return false;
    QProcess probe;
    probe.start(perf(), perfArguments(QStringLiteral("/dev/null"), 0) << QStringLiteral("true"));
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit
        && probe.exitCode() == 0;
}

MeteredProgram::~MeteredProgram()
{
    stop();
}

bool MeteredProgram::start(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment, bool metered, const QString& countsPath)
{
    m_countsPath = countsPath;
    if (!metered) {
        m_pid = m_process.start(program, arguments, environment) ? m_process.pid() : 0;
        return m_pid > 0;
    }
    if (!m_process.start(perf(), perfArguments(countsPath, 1000) << program << arguments, environment))
        return false;
    m_pid = workloadOf(m_process.pid(), program);
    return m_pid > 0;
}

bool MeteredProgram::isRunning() const
{
    return m_pid > 0 && ::kill(pid_t(m_pid), 0) == 0;
}

MeteredProgram::Counts MeteredProgram::counts() const
{
    Counts counts;
    QFile file(m_countsPath);
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    // Each interval's line: time,value,unit,event,...; a value of "<not counted>" is an
    // interval in which the program did not run at all.
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() < 4 || fields[0].startsWith('#'))
            continue;
        bool ok = false;
        const double value = fields[1].toDouble(&ok);
        if (!ok)
            continue;
        const QByteArray& event = fields[3];
        if (event == "task-clock")
            counts.cpuSeconds += value / 1000.0;
        else if (event == "context-switches")
            counts.contextSwitches += value;
        else if (event.startsWith("syscalls:"))
            counts.syncs += value;
    }
    return counts;
}

void MeteredProgram::stop()
{
    // perf ends with its program; ended itself, it would leave the program running.
    if (isRunning() && m_process.process().state() != QProcess::NotRunning) {
        ::kill(pid_t(m_pid), SIGTERM);
        if (!m_process.process().waitForFinished(10000)) {
            ::kill(pid_t(m_pid), SIGKILL);
            m_process.process().waitForFinished(3000);
        }
    }
    m_process.stop();
    m_pid = 0;
}

} // namespace kestrune
