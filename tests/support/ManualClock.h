#pragma once

#include "Foundation/Clock.h"

#include <QMutex>

namespace kestrune::test {

// A clock that stands still until the test moves it. It may be read from other threads (the
// daemon's queues) while the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC));
    QDateTime now() const override;
    void set(const QDateTime& now);
    void advance(double seconds);

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
};

} // namespace kestrune::test
