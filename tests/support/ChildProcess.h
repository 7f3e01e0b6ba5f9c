#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace kestrune::test {

// A program the test started, stopped with the test however the test ends. Its standard
// error goes to the test's own, so that a failing child explains itself in the test log.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               int timeoutMs = 5000);
    // Asks the program to end, then kills it if it does not.
    void stop();

    QProcess& process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

} // namespace kestrune::test
