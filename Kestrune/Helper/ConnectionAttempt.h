#pragma once

#include <QObject>

namespace kestrune {

// One running connection attempt that several callers wait for together. A coroutine's task
// can be awaited only once, so the callers wait for finished() instead and then read result().
class ConnectionAttempt : public QObject {
    Q_OBJECT

public:
    bool isFinished() const { return m_finished; }
    bool result() const { return m_result; }

    // Records the attempt's outcome and tells the waiting callers; only the first call counts.
    void finish(bool result);

signals:
    void finished();

private:
    bool m_finished = false;
    bool m_result = false;
};

} // namespace kestrune
