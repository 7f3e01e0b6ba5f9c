#pragma once

#include <QString>
#include <QStringList>

namespace kestrune {

// Periodic system jobs (systemd timer units) such as the file-index refresh or scheduled
// backups: which of them a machine has, and pausing or resuming them. Stopping a timer
// pauses it until it is started again or the machine restarts; it stays enabled.
class TimerUnits {
public:
    // The units of `candidates` that are installed here.
    static QStringList installed(const QStringList& candidates);
    // Whether the unit runs (is started) now, as systemctl tells.
    static bool isActive(const QString& unit);
    // Starts or stops each unit through systemctl. False with `error` set on the first failure.
    static bool setRunning(const QStringList& units, bool running, QString* error);
};

} // namespace kestrune
