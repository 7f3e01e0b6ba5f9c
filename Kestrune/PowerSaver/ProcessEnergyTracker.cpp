#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Shared/JsonCodec.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kestrune {

namespace {

const QString impactKey = QStringLiteral("powersaver.impactEMA");

constexpr double highShareOfTotal = 0.06;
constexpr double highImpactFloor = 80.0;
constexpr double newWeight = 0.4;
constexpr double keptWeight = 0.6;
constexpr double absentDecay = 0.9;
constexpr double forgetBelow = 5.0;
constexpr double throttleableShare = 0.6;
constexpr qint64 firstThrottleablePid = 2;

// The kernel keeps a process name to its first 15 bytes (TASK_COMM_LEN less the NUL).
constexpr qsizetype truncatedNameLength = 15;

ImpactMap loadImpacts(const UserDefaults& defaults)
{
    const auto bytes = defaults.data(impactKey);
    if (!bytes)
        return {};
    const auto object = JsonCodec::readObject(*bytes);
    if (!object)
        return {};
    ImpactMap impacts;
    for (auto it = object->begin(); it != object->end(); ++it) {
        if (!it.value().isDouble())
            return {};
        impacts.insert(it.key(), it.value().toDouble());
    }
    return impacts;
}

double totalImpact(const QList<ProcessPowerSample>& processes)
{
    double total = 0;
    for (const ProcessPowerSample& process : processes)
        total += process.energyImpact;
    return total;
}

// A core name cut short by the kernel still names the core process.
bool hasCorePrefix(const QString& name)
{
    for (const QString& prefix : ProcessEnergyTracker::coreProcessPrefixes()) {
        if (name.startsWith(prefix))
            return true;
        if (name.size() == truncatedNameLength && prefix.size() > truncatedNameLength && prefix.startsWith(name))
            return true;
    }
    return false;
}

} // namespace

ProcessEnergyTracker::ProcessEnergyTracker(UserDefaults& defaults, const Workspace& workspace, const Clock& clock,
                                           QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_clock(clock)
    , m_impactEMA(loadImpacts(defaults))
{
    if (const auto frontmost = workspace.frontmostApplication()) {
        m_frontmostAppName = frontmost->localizedName;
        m_frontmostPid = frontmost->pid;
    }
}

const QStringList& ProcessEnergyTracker::coreProcessPrefixes()
{
    static const QStringList prefixes{
        // The kernel, the window and session servers, the desktop's own shell and services,
        // audio, the sampler, and Kestrune with its daemon.
        QStringLiteral("kernel"), QStringLiteral("launchd"), QStringLiteral("WindowServer"),
        QStringLiteral("loginwindow"), QStringLiteral("WindowManager"), QStringLiteral("Dock"),
        QStringLiteral("Finder"), QStringLiteral("SystemUIServer"), QStringLiteral("ControlCenter"),
        QStringLiteral("NotificationCenter"), QStringLiteral("Spotlight"), QStringLiteral("Siri"),
        QStringLiteral("coreaudiod"), QStringLiteral("bluetoothd"), QStringLiteral("powermetrics"),
        QStringLiteral("Kestrune"), QStringLiteral("sysmond"), QStringLiteral("watchdogd"), QStringLiteral("logd"),
        QStringLiteral("notifyd"),
        // Display servers and compositors.
        QStringLiteral("Xorg"), QStringLiteral("Xwayland"), QStringLiteral("gnome-shell"), QStringLiteral("kwin_x11"),
        QStringLiteral("kwin_wayland"), QStringLiteral("mutter"), QStringLiteral("weston"), QStringLiteral("sway"),
        // Session managers and desktop shells.
        QStringLiteral("gnome-session-binary"), QStringLiteral("plasmashell"), QStringLiteral("ksmserver"),
        QStringLiteral("xfce4-session"), QStringLiteral("lxsession"),
        // Audio.
        QStringLiteral("pipewire"), QStringLiteral("pipewire-pulse"), QStringLiteral("wireplumber"),
        QStringLiteral("pulseaudio"),
        // Notification daemons.
        QStringLiteral("dunst"), QStringLiteral("mako"), QStringLiteral("xfce4-notifyd"),
        QStringLiteral("notification-daemon"),
        // Init, login and the system buses.
        QStringLiteral("systemd"), QStringLiteral("init"), QStringLiteral("systemd-logind"),
        QStringLiteral("systemd-journald"), QStringLiteral("dbus-daemon"), QStringLiteral("dbus-broker"),
        // Kestrune's programs as this platform names them (kestrune, kestrune-helper, ...).
        QStringLiteral("kestrune"),
    };
    return prefixes;
}

void ProcessEnergyTracker::setImpactEMA(const ImpactMap& impacts)
{
    if (impacts == m_impactEMA)
        return;
    m_impactEMA = impacts;
    emit impactEMAChanged();
}

QCoro::Task<void> ProcessEnergyTracker::sample(HelperClient& helper)
{
    QPointer<ProcessEnergyTracker> self(this);
    const std::optional<PowerMetricsReport> report = co_await helper.samplePowerMetrics(sampleSeconds);
    if (!self || !report)
        co_return;
    recordSample(*report);
}

void ProcessEnergyTracker::recordSample(const PowerMetricsReport& report)
{
    setLastSampleAt(m_clock.now());
    const QList<ProcessPowerSample> processes(report.processes.begin(), report.processes.end());
    setLatestProcesses(processes);
    m_protectedTrees.reset();

    const double high = std::max(highShareOfTotal * totalImpact(processes), highImpactFloor);
    ImpactMap impacts = m_impactEMA;
    QSet<QString> sampledNames;
    QSet<QString> highNames;
    for (const ProcessPowerSample& process : processes) {
        const double previous = impacts.value(process.name, process.energyImpact);
        impacts.insert(process.name, newWeight * process.energyImpact + keptWeight * previous);
        sampledNames.insert(process.name);
        if (process.energyImpact >= high)
            highNames.insert(process.name);
    }
    for (auto it = impacts.begin(); it != impacts.end();) {
        if (sampledNames.contains(it.key())) {
            ++it;
            continue;
        }
        const double decayed = it.value() * absentDecay;
        if (decayed < forgetBelow) {
            it = impacts.erase(it);
        } else {
            it.value() = decayed;
            ++it;
        }
    }
    setImpactEMA(impacts);

    m_consecutiveHighNames = m_previousHighNames & highNames;
    m_previousHighNames = highNames;
    persistEMA(UserDefaults::Write::Batched);
}

void ProcessEnergyTracker::noteActivated(const RunningApplication& application)
{
    // An empty name would be a prefix of every process and protect them all.
    const QDateTime now = m_clock.now();
    const QString executableName = QFileInfo(application.executablePath).fileName();
    for (const QString& name : {application.localizedName, executableName})
        if (!name.isEmpty())
            m_recentlyUsedApps.insert(name, now);
    setFrontmostAppName(application.localizedName);

    // Pids are reused once their process ends, so one that no longer counts is forgotten.
    for (auto it = m_recentPids.begin(); it != m_recentPids.end();) {
        if (it.value().msecsTo(now) >= recentActivationSeconds * 1000)
            it = m_recentPids.erase(it);
        else
            ++it;
    }
    m_frontmostPid = application.pid;
    if (application.pid > 0)
        m_recentPids.insert(application.pid, now);
}

QSet<qint64> ProcessEnergyTracker::protectedProcesses(const QDateTime& now) const
{
    QList<qint64> applications;
    if (m_frontmostPid > 0)
        applications << m_frontmostPid;
    for (auto it = m_recentPids.begin(); it != m_recentPids.end(); ++it) {
        if (static_cast<double>(it.value().msecsTo(now)) / 1000.0 < recentActivationSeconds)
            applications << it.key();
    }
    std::sort(applications.begin(), applications.end());
    // A process that started since the walk is in no sample before the next one, which walks
    // again; an application that came or went changes the list.
    if (!m_protectedTrees || m_protectedTrees->applications != applications)
        m_protectedTrees = ProtectedTrees{applications, Workspace::processTrees(applications)};
    return m_protectedTrees->processes;
}

bool ProcessEnergyTracker::isProtected(const QString& name, const QStringList& exclusions, const QDateTime& now) const
{
    if (hasCorePrefix(name))
        return true;

    const QLocale locale;
    const QString lowerName = locale.toLower(name);
    for (const QString& exclusion : exclusions) {
        // An empty entry would be found in every name and stop all throttling.
        if (exclusion.isEmpty())
            continue;
        if (lowerName.contains(locale.toLower(exclusion)))
            return true;
    }

    if (!m_frontmostAppName.isEmpty() && name.startsWith(m_frontmostAppName))
        return true;

    for (auto it = m_recentlyUsedApps.begin(); it != m_recentlyUsedApps.end(); ++it) {
        // An activation stamped after `now` (the clock was set back) still counts as recent.
        const double age = static_cast<double>(it.value().msecsTo(now)) / 1000.0;
        if (age < recentActivationSeconds && name.startsWith(it.key()))
            return true;
    }
    return false;
}

QList<ProcessEnergyTracker::Candidate> ProcessEnergyTracker::throttleCandidates(const QStringList& exclusions,
                                                                                double minImpact,
                                                                                double shareOfTotal,
                                                                                int maxCount) const
{
    QList<Candidate> candidates;
    if (m_latestProcesses.isEmpty())
        return candidates;
    const double threshold = std::max(minImpact, shareOfTotal * totalImpact(m_latestProcesses));
    const QDateTime now = m_clock.now();
    // Walking the process table is the dear part, and most samples leave no process that
    // passes the other tests: it is walked only for the first one that does.
    std::optional<QSet<qint64>> applicationProcesses;
    for (const ProcessPowerSample& process : m_latestProcesses) {
        if (candidates.size() >= maxCount)
            break;
        if (process.pid < firstThrottleablePid || !(process.energyImpact >= threshold)
            || !m_consecutiveHighNames.contains(process.name) || isProtected(process.name, exclusions, now))
            continue;
        if (!applicationProcesses)
            applicationProcesses = protectedProcesses(now);
        if (applicationProcesses->contains(process.pid))
            continue;
        candidates << Candidate{process.pid, process.name, process.energyImpact};
    }
    return candidates;
}

std::optional<double> ProcessEnergyTracker::estimatedWatts(const QString& name, double drainW) const
{
    if (m_latestProcesses.isEmpty())
        return std::nullopt;
    const double total = totalImpact(m_latestProcesses);
    if (!(total > 0) || !(drainW > 0))
        return std::nullopt;
    const auto process = std::find_if(m_latestProcesses.begin(), m_latestProcesses.end(),
                                      [&](const ProcessPowerSample& p) { return p.name == name; });
    if (process == m_latestProcesses.end())
        return std::nullopt;
    return drainW * (process->energyImpact / total) * throttleableShare;
}

QList<ProcessEnergyTracker::Drainer> ProcessEnergyTracker::topLearnedDrainers(int n) const
{
    QList<Drainer> drainers;
    for (auto it = m_impactEMA.begin(); it != m_impactEMA.end(); ++it)
        drainers << Drainer{it.key(), it.value()};
    std::stable_sort(drainers.begin(), drainers.end(),
                     [](const Drainer& a, const Drainer& b) { return a.impact > b.impact; });
    if (n < drainers.size())
        drainers.resize(std::max(n, 0));
    return drainers;
}

void ProcessEnergyTracker::persistEMA(UserDefaults::Write write)
{
    QJsonObject object;
    for (auto it = m_impactEMA.begin(); it != m_impactEMA.end(); ++it) {
        if (!std::isfinite(it.value()))
            return;
        object.insert(it.key(), it.value());
    }
    m_defaults.set(impactKey, JsonCodec::write(object), write);
}

void ProcessEnergyTracker::setLatestProcesses(const QList<ProcessPowerSample>& processes)
{
    if (processes == m_latestProcesses)
        return;
    m_latestProcesses = processes;
    emit latestProcessesChanged();
}

void ProcessEnergyTracker::setLastSampleAt(const QDateTime& at)
{
    if (at == m_lastSampleAt)
        return;
    m_lastSampleAt = at;
    emit lastSampleAtChanged();
}

void ProcessEnergyTracker::setFrontmostAppName(const QString& name)
{
    if (name == m_frontmostAppName)
        return;
    m_frontmostAppName = name;
    emit frontmostAppNameChanged();
}

} // namespace kestrune
