#include "KestruneHelper/ContactWatchdog.h"

namespace kestrune {

ContactWatchdog::ContactWatchdog(int periodMs, int silenceMs, const Clock& clock,
                                 std::function<QDateTime()> lastContact, std::function<void()> onSilence)
    : m_timer(this)
    , m_silenceMs(silenceMs)
    , m_clock(clock)
    , m_lastContact(std::move(lastContact))
    , m_onSilence(std::move(onSilence))
{
    m_timer.setInterval(periodMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ContactWatchdog::check);
}

void ContactWatchdog::start()
{
    m_timer.start();
}

void ContactWatchdog::check()
{
    if (m_lastContact().msecsTo(m_clock.now()) <= m_silenceMs)
        return;
    m_onSilence();
}

} // namespace kestrune
