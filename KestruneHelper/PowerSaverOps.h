#pragma once

#include "KestruneHelper/OpsError.h"
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
// is remembered so that restoreAll() undoes exactly that. Not thread-safe: the daemon uses
// it from its power queue only.
class PowerSaverOps {
public:
    // The nice value of background priority.
    static constexpr int backgroundNice = 19;

    struct Config {
        SystemTools tools;
        // Where UID_MIN, the first regular user id, is defined.
        QString loginDefsPath = QStringLiteral("/etc/login.defs");
        // How long a tool may run before it is killed and the call fails.
        int commandTimeoutMs = 60'000;
    };

    explicit PowerSaverOps(Config config);

    // Throws OpsError.
    void setProcessThrottled(std::int32_t pid, bool throttled);
    void setLowPowerMode(bool on);
    void restoreLowPowerMode();
    void setSpotlightPaused(bool paused);
    void setTimeMachinePaused(bool paused);

    // Undoes everything held; every undo is tried. Returns the first error met.
    std::optional<OpsError> restoreAll();

    // The battery section's low power mode as the power-settings tool reports it.
    std::optional<bool> readBatteryLowPowerMode();

    // The effective user id of the process, from /proc; nothing when there is no such process.
    static std::optional<std::uint32_t> processUID(std::int32_t pid);
    // UID_MIN from a login.defs file; 1000 when the file or the setting is missing.
    static std::uint32_t firstRegularUid(const QString& loginDefsPath);

    // Runs a tool with its output and errors merged; returns the output. Throws
    // commandFailed for a non-zero exit or a tool that outlives the time bound, and
    // launchFailed when it cannot be started.
    QString runCommand(const QString& path, const QStringList& arguments);

    // Whether restoreAll() has anything to undo.
    bool holdsAnything() const;

    const QSet<std::int32_t>& throttledPIDs() const { return m_throttledPIDs; }
    std::optional<bool> previousBatteryLPM() const { return m_previousBatteryLPM; }
    bool spotlightPausedByUs() const { return m_spotlightPausedByUs; }
    bool timeMachinePausedByUs() const { return m_timeMachinePausedByUs; }

private:
    // Sets every thread of the process back to the nice value it had before it was throttled
    // (0 for one we never saw). Returns 0 or the errno of the process's main thread.
    int unthrottle(std::int32_t pid);

    Config m_config;
    QSet<std::int32_t> m_throttledPIDs;
    // Nice values before throttling, per process and thread (thread id -> nice).
    QHash<std::int32_t, QHash<std::int32_t, int>> m_previousNice;
    std::optional<bool> m_previousBatteryLPM;
    bool m_spotlightPausedByUs = false;
    bool m_timeMachinePausedByUs = false;
};

} // namespace kestrune
