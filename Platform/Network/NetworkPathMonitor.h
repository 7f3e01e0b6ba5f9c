#pragma once

#include <QObject>

namespace kestrune {

// Whether the machine has a network path at all. The backend client refuses requests while
// there is none and checks the server's health again as soon as one returns.
class NetworkPathMonitor : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The last path seen can carry traffic.
    virtual bool isSatisfied() const = 0;

signals:
    // Every new path report, also one that repeats the previous state.
    void pathChanged(bool satisfied);
};

} // namespace kestrune
