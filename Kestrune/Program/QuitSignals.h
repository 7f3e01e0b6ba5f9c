#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrune {

// Turns the signals that end a program politely (SIGTERM at logout or from kill, SIGINT,
// SIGHUP) into a Qt signal on the main thread, so that the application quits through its
// event loop and gives charging back to the system first. After the first, the signals have
// their default effect again: a second one ends the program at once.
//
// One per process; the handlers are removed when it is destroyed.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    static void handle(int signalNumber);
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrune
