#pragma once

#include "Foundation/Clock.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

namespace kestrune {

// Looks every `period` at the time of the last contact and, once more than `silence` has
// passed without one, runs `onSilence` (again at each later look while the silence lasts).
// It runs on the thread it lives on; the daemon moves it to its SMC queue.
class ContactWatchdog : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultPeriodMs = 300'000;
    static constexpr int defaultSilenceMs = 900'000;

    ContactWatchdog(int periodMs, int silenceMs, const Clock& clock, std::function<QDateTime()> lastContact,
                    std::function<void()> onSilence);

    // Arms the timer; the first look is one period from now. Call it on the watchdog's thread.
    void start();
    // One look, as a firing makes it.
    void check();

private:
    QTimer m_timer;
    qint64 m_silenceMs;
    const Clock& m_clock;
    std::function<QDateTime()> m_lastContact;
    std::function<void()> m_onSilence;
};

} // namespace kestrune
