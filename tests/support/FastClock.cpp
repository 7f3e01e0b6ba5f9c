#include "tests/support/FastClock.h"

namespace kestrune::test {

FastClock::FastClock(double speed)
    : m_speed(speed)
{
    m_timer.start();
}

QDateTime FastClock::now() const
{
    return m_start.addMSecs(qint64(double(m_timer.elapsed()) * m_speed));
}

} // namespace kestrune::test
