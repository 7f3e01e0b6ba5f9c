#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

namespace kestrune {

// One worker thread that runs posted work one item at a time, in the order posted.
class SerialQueue {
public:
    explicit SerialQueue(const QString& label);
    // Stops the thread; work not yet started is dropped.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(std::function<void()> work);
    // Runs `work` on the queue after everything posted before it and waits for it. Never
    // call it from the queue's own thread.
    void runAndWait(std::function<void()> work);

    // The queue's thread, for objects that must live on it (timers).
    QThread* thread() { return &m_thread; }

private:
    QThread m_thread;
    QObject* m_context;
};

} // namespace kestrune
