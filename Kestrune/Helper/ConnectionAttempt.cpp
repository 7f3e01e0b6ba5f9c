#include "Kestrune/Helper/ConnectionAttempt.h"

namespace kestrune {

void ConnectionAttempt::finish(bool result)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result = result;
    emit finished();
}

} // namespace kestrune
