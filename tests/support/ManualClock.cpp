#include "tests/support/ManualClock.h"

#include <cmath>

namespace kestrune::test {

ManualClock::ManualClock(QDateTime start)
    : m_now(std::move(start))
{
}

QDateTime ManualClock::now() const
{
    const QMutexLocker lock(&m_mutex);
    return m_now;
}

void ManualClock::set(const QDateTime& now)
{
    const QMutexLocker lock(&m_mutex);
    m_now = now;
}

void ManualClock::advance(double seconds)
{
    const QMutexLocker lock(&m_mutex);
    m_now = m_now.addMSecs(std::llround(seconds * 1000.0));
}

} // namespace kestrune::test
