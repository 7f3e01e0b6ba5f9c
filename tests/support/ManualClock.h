#pragma once

#include "Foundation/Clock.h"

namespace kestrune::test {

// A clock that stands still until the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC));
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advance(double seconds);

private:
    QDateTime m_now;
};

} // namespace kestrune::test
