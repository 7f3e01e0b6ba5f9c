#pragma once

#include "KestruneHelper/OpsError.h"
#include "KestruneHelper/ProcessIdentity.h"
#include "Platform/SystemTools/SystemTools.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace kestrune {

// The power-saving actions that need root: background priority for a process, the
// battery's low power mode, and pausing the file indexer and backups. Everything it changes
// is remembered so that restoreAll() undoes exactly that. Only processes of regular users are
// touched, and a caller other than root may touch only its own. Not thread-safe: the daemon
// uses it from its power queue only.
class PowerSaverOps {
public:
    // The nice value of background priority.
    static constexpr int backgroundNice = 19;

    struct Config {
        SystemTools tools;
        // Where UID_MIN and UID_MAX, the bounds of regular user ids, are defined.
        QString loginDefsPath = QStringLiteral("/etc/login.defs");
        // How long a tool may run before it is killed and the call fails.
        int commandTimeoutMs = 60'000;
    };

    explicit PowerSaverOps(Config config);

    // Throws OpsError. `callerUid` is the user the request came from; a process of any other
    // user is refused as the kernel would refuse that user (EPERM), unless the caller is root.
    void setProcessThrottled(std::int32_t pid, bool throttled, std::uint32_t callerUid);
    void setLowPowerMode(bool on);
    void restoreLowPowerMode();
    void setSpotlightPaused(bool paused);
    void setTimeMachinePaused(bool paused);

    // Undoes everything held; every undo is tried. Returns the first error met.
    std::optional<OpsError> restoreAll();

    // The battery section's low power mode as the power-settings tool reports it.
    std::optional<bool> readBatteryLowPowerMode();

    // Runs a tool with its output and errors merged; returns the output. Throws
    // commandFailed for a non-zero exit or a tool that outlives the time bound, and
    // launchFailed when it cannot be started.
    QString runCommand(const QString& path, const QStringList& arguments);

    // Whether restoreAll() has anything to undo.
    bool holdsAnything() const;

    QSet<std::int32_t> throttledPIDs() const;
    std::optional<bool> previousBatteryLPM() const { return m_previousBatteryLPM; }
    bool spotlightPausedByUs() const { return m_spotlightPausedByUs; }
    bool timeMachinePausedByUs() const { return m_timeMachinePausedByUs; }

private:
    // A process the daemon put into background priority, and what to give back.
    struct Throttled {
        ProcessIdentity identity;
        QHash<std::int32_t, int> previousNice; // thread id -> nice value before throttling
    };

    void throttle(std::int32_t pid, const ProcessIdentity& identity);
    // Sets every thread of the process back to the nice value it had before it was throttled.
    // Returns 0 or the errno of the process's main thread.
    static int restore(std::int32_t pid, const Throttled& record);
    // Releases a process the daemon has no record of (one throttled before a restart).
    static void releaseUnrecorded(std::int32_t pid);

    Config m_config;
    QHash<std::int32_t, Throttled> m_throttled;
    std::optional<bool> m_previousBatteryLPM;
    bool m_spotlightPausedByUs = false;
    bool m_timeMachinePausedByUs = false;
};

} // namespace kestrune
