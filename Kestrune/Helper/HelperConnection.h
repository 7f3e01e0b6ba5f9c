#pragma once

#include "Kestrune/Helper/HelperCall.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <chrono>

namespace kestrune {

// The application's link to the daemon: calls to its bus name on the daemon's bus, and a watch
// on that name. It stands for one run of the daemon: when the daemon leaves the bus the link
// reports itself invalidated, so that its owner drops it and the next call starts a fresh one.
// invalidate() ends the link from our side: calls still waiting through it end without an
// answer, and later calls through it end at once.
class HelperConnection : public QObject {
    Q_OBJECT

public:
    HelperConnection(QDBusConnection bus, const QString& service, const QString& path, QObject* parent = nullptr);

    bool isValid() const { return m_valid; }

    // Starts one call of the daemon's interface; the caller owns the call (delete it later).
    HelperCall* call(const QString& method, const QVariantList& arguments, std::chrono::milliseconds timeout);

    void invalidate();

signals:
    // The daemon's name lost its owner. Emitted by a valid link only.
    void invalidated();

private:
    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
    QDBusServiceWatcher m_watcher;
    QList<QPointer<HelperCall>> m_calls;
    bool m_valid = true;
};

} // namespace kestrune
