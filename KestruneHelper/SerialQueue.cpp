#include "KestruneHelper/SerialQueue.h"

namespace kestrune {

SerialQueue::SerialQueue(const QString& label)
    : m_context(new QObject)
{
    m_thread.setObjectName(label);
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SerialQueue::~SerialQueue()
{
    m_thread.quit();
    m_thread.wait();
    // The thread is gone, so nothing else can touch the context any more.
    delete m_context;
}

void SerialQueue::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
}

void SerialQueue::runAndWait(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::BlockingQueuedConnection);
}

} // namespace kestrune
