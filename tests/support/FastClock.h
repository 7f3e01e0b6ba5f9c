#pragma once

#include "Foundation/Clock.h"

#include <QElapsedTimer>

namespace kestrune::test {

// Time as a sped-up simulated machine lives it: `speed` times faster than the wall clock,
// from the moment the clock was made.
class FastClock final : public Clock {
public:
    explicit FastClock(double speed)
        : m_speed(speed)
    {
        m_timer.start();
    }
    QDateTime now() const override { return m_start.addMSecs(qint64(double(m_timer.elapsed()) * m_speed)); }

private:
    double m_speed;
    QDateTime m_start = QDateTime::currentDateTimeUtc();
    QElapsedTimer m_timer;
};

} // namespace kestrune::test
