#pragma once

#include "Foundation/Clock.h"

#include <QElapsedTimer>

namespace kestrune::test {

// Time as a simulated machine lives it: `speed` times faster than the wall clock, from the
// moment the clock is made.
class FastClock final : public Clock {
public:
    explicit FastClock(double speed);
    QDateTime now() const override;

private:
    double m_speed;
    QDateTime m_start = QDateTime::currentDateTimeUtc();
    QElapsedTimer m_timer;
};

} // namespace kestrune::test
