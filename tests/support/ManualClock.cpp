#include "tests/support/ManualClock.h"

#include <cmath>

namespace kestrune::test {

ManualClock::ManualClock(QDateTime start)
    : m_now(std::move(start))
{
}

void ManualClock::advance(double seconds)
{
    m_now = m_now.addMSecs(std::llround(seconds * 1000.0));
}

} // namespace kestrune::test
