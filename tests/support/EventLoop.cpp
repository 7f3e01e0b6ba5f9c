#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace kestrune::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    // One more pass once the deadline has passed: a thread held up past it before it looked
    // still runs the work already posted, however busy the machine.
    QDeadlineTimer deadline(timeoutMs);
    bool lastPass = false;
    while (!done()) {
        if (lastPass)
            return false;
        lastPass = deadline.hasExpired();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms)
{
    // At least one pass, also when the thread was held up past the deadline before it
    // began: work already posted always runs, however busy the machine.
    QDeadlineTimer deadline(ms);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    } while (!deadline.hasExpired());
}

} // namespace kestrune::test
