#pragma once

#include "tests/support/ChildProcess.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kestrune {

// A program run under `perf stat`, which counts, in the kernel and without stopping it, what
// the program and every process it starts cost: CPU time (task-clock), context switches (each
// wake-up is one, when the program goes back to sleep) and the system calls that sync a file
// to disk (fsync, fdatasync, sync_file_range, syncfs, sync). perf prints the counts every
// second to a file, so that they can be read at any moment of the run.
//
// Without `metered` the program runs on its own and counts nothing.
class MeteredProgram {
public:
    struct Counts {
        double cpuSeconds = 0;
        double contextSwitches = 0;
        double syncs = 0;

        Counts operator-(const Counts& earlier) const
        {
            return { cpuSeconds - earlier.cpuSeconds, contextSwitches - earlier.contextSwitches,
                syncs - earlier.syncs };
        }
    };

    // Whether perf is installed and may count these events here.
    static bool canMeter();

    MeteredProgram() = default;
    ~MeteredProgram();

    MeteredProgram(const MeteredProgram&) = delete;
    MeteredProgram& operator=(const MeteredProgram&) = delete;

    // `countsPath` is where perf writes its counts.
    bool start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        bool metered, const QString& countsPath);
    // The program's own pid (not perf's).
    qint64 pid() const { return m_pid; }
    bool isRunning() const;
    // What perf counted up to its last print.
    Counts counts() const;
    // Asks the program to end as at logout (SIGTERM), then kills it if it does not.
    void stop();

private:
    test::ChildProcess m_process;
    QString m_countsPath;
    qint64 m_pid = 0;
};

} // namespace kestrune
