#pragma once

#include <QString>
#include <QStringList>

namespace kestrune {

// The periodic system jobs a stand-in tool pauses for the power saver (the file-index
// refresh, scheduled backups): on a real machine the systemd timers of `timerUnits` that are
// installed, on the simulated one a single state file. A pause stops only the jobs that run
// and notes them in the tool's own state; a resume starts only the noted ones. A job the
// administrator had stopped or disabled therefore stays so.
class PeriodicJobs {
public:
    struct Simulated {
        QString stateName;   // the simulated job's state file (see SimTree::statePath)
        QString runningText; // its text while the job runs; a missing file also means running
        QString stoppedText;
    };

    // `what` names the jobs in messages ("file indexer"); `noteName` is the state kept
    // between a pause and its resume.
    PeriodicJobs(QString sysfsRoot, QString what, QString noteName, QStringList timerUnits, Simulated simulated);

    // False with `error` set when the jobs cannot be switched.
    bool pause(QString* error);
    bool resume(QString* error);

private:
    bool isSimulated() const;
    QStringList jobs(QString* error) const;
    bool isRunning(const QString& job) const;
    bool setRunning(const QString& job, bool running, QString* error) const;

    QString m_root;
    QString m_what;
    QString m_noteName;
    QStringList m_timerUnits;
    Simulated m_simulated;
};

} // namespace kestrune
