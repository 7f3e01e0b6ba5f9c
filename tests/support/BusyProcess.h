#pragma once

#include "tests/support/ChildProcess.h"

#include <QString>

namespace kestrune::test {

// A heavy background process for the power saver to find: `threads` busy threads under a
// name of the test's choosing (at most 15 bytes, as the kernel keeps it). When the tests run
// as root it runs as the first regular user, because the daemon lowers only regular users'
// processes.
class BusyProcess {
public:
    static QString program();
    static bool isBuilt();

    // Returns once the process carries its name, so that no sample sees it under another.
    bool start(const QString& name, int threads);

    qint64 pid() const { return m_child.pid(); }
    QString name() const { return m_name; }
    // Its nice value as the kernel reports it; -99 when it cannot be read.
    int nice() const;

private:
    ChildProcess m_child;
    QString m_name;
};

} // namespace kestrune::test
