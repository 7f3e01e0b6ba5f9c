#include "KestruneHelper/SamplingQueue.h"

#include <QMetaObject>

namespace kestrune {

SamplingQueue::SamplingQueue(int maxRunning, int maxWaitingPerCaller, QObject* parent)
    : QObject(parent)
    , m_maxWaitingPerCaller(maxWaitingPerCaller)
{
    m_pool.setMaxThreadCount(maxRunning);
}

SamplingQueue::~SamplingQueue()
{
    m_pool.clear();
    m_pool.waitForDone();
}

bool SamplingQueue::submit(const QString& caller, std::function<void()> sampling)
{
    const auto waiting = m_waiting.find(caller);
    if (waiting == m_waiting.end()) {
        m_waiting.insert(caller, {});
        start(caller, std::move(sampling));
        return true;
    }
    if (static_cast<int>(waiting->size()) >= m_maxWaitingPerCaller)
        return false;
    waiting->push_back(std::move(sampling));
    return true;
}

void SamplingQueue::start(const QString& caller, std::function<void()> sampling)
{
    // The destructor waits for running samplings, so `this` outlives each one; the turn
    // passes on the main thread, and is dropped with the queue if that is gone by then.
    m_pool.start([this, caller, sampling = std::move(sampling)] {
        sampling();
        QMetaObject::invokeMethod(this, [this, caller] { finished(caller); }, Qt::QueuedConnection);
    });
}

void SamplingQueue::finished(const QString& caller)
{
    const auto waiting = m_waiting.find(caller);
    if (waiting == m_waiting.end())
        return;
    if (waiting->empty()) {
        m_waiting.erase(waiting);
        return;
    }
    std::function<void()> next = std::move(waiting->front());
    waiting->pop_front();
    start(caller, std::move(next));
}

} // namespace kestrune
