#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <deque>
#include <functional>

namespace kestrune {

// Runs power-metrics samplings beside the daemon's serial queues. A sampling holds a thread
// and a tool for seconds, so only a few run at once in all, and each caller has one at a
// time: its further requests wait their turn, up to a bound. Used from the main thread.
class SamplingQueue : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultMaxRunning = 3;
    static constexpr int defaultMaxWaitingPerCaller = 4;

    explicit SamplingQueue(int maxRunning = defaultMaxRunning, int maxWaitingPerCaller = defaultMaxWaitingPerCaller,
                           QObject* parent = nullptr);
    // Drops the samplings that have not started and waits for those that have.
    ~SamplingQueue() override;

    // Runs `sampling` on a pool thread once `caller` has no other sampling in progress.
    // False, with nothing queued, when the caller already has too many waiting.
    bool submit(const QString& caller, std::function<void()> sampling);

private:
    void start(const QString& caller, std::function<void()> sampling);
    void finished(const QString& caller);

    QThreadPool m_pool;
    int m_maxWaitingPerCaller;
    // The callers with a sampling in progress, each with the ones waiting behind it.
    QHash<QString, std::deque<std::function<void()>>> m_waiting;
};

} // namespace kestrune
