#include "Platform/SystemTools/PeriodicJobs.h"

#include "Platform/SystemTools/StandInState.h"
#include "Platform/SystemTools/TimerUnits.h"

namespace kestrune {

PeriodicJobs::PeriodicJobs(QString sysfsRoot, QString what, QString noteName, QStringList timerUnits,
                           Simulated simulated)
    : m_root(std::move(sysfsRoot))
    , m_what(std::move(what))
    , m_noteName(std::move(noteName))
    , m_timerUnits(std::move(timerUnits))
    , m_simulated(std::move(simulated))
{
}

bool PeriodicJobs::isSimulated() const
{
    return m_root != QLatin1String("/sys");
}

QStringList PeriodicJobs::jobs(QString* error) const
{
    if (isSimulated())
        return {m_simulated.stateName};
    const QStringList installed = TimerUnits::installed(m_timerUnits);
    if (installed.isEmpty())
        *error = QStringLiteral("no %1 to switch on this machine (looked for %2)")
                     .arg(m_what, m_timerUnits.join(QStringLiteral(", ")));
    return installed;
}

bool PeriodicJobs::isRunning(const QString& job) const
{
    if (isSimulated())
        return StandInState::read(m_root, job).value_or(m_simulated.runningText) == m_simulated.runningText;
    return TimerUnits::isActive(job);
}

bool PeriodicJobs::setRunning(const QString& job, bool running, QString* error) const
{
    if (isSimulated())
        return StandInState::write(m_root, job, running ? m_simulated.runningText : m_simulated.stoppedText, error);
    return TimerUnits::setRunning({job}, running, error);
}

bool PeriodicJobs::pause(QString* error)
{
    const QStringList all = jobs(error);
    if (all.isEmpty())
        return false;
    // A second pause keeps what the first one stopped.
    QStringList noted = StandInState::read(m_root, m_noteName).value_or(QString()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& job : all) {
        if (!isRunning(job))
            continue;
        // Noted before it stops: a job stopped without its note would never be resumed,
        // while a note of a job still running costs the resume a start of a started job.
        if (!noted.contains(job))
            noted << job;
        if (!StandInState::write(m_root, m_noteName, noted.join(u'\n'), error))
            return false;
        if (!setRunning(job, false, error))
            return false;
    }
    return true;
}

bool PeriodicJobs::resume(QString* error)
{
    const QStringList noted = StandInState::read(m_root, m_noteName).value_or(QString()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& job : noted) {
        // The note stays until every job is back, so that trying again finishes the resume.
        if (!setRunning(job, true, error))
            return false;
    }
    return StandInState::remove(m_root, m_noteName, error);
}

} // namespace kestrune
