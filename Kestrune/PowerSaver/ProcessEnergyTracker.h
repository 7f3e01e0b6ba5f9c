#pragma once

#include "Foundation/Clock.h"
#include "Foundation/UserDefaults.h"
#include "Platform/Workspace/Workspace.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/ProcessPowerSample.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

namespace kestrune {

class HelperClient;

using ImpactMap = QMap<QString, double>; // process name -> smoothed energy impact

// Watches which processes spend the battery. Each sampling pass asks the daemon for a
// short power-metrics sample, keeps the list for the views and folds every process into a
// moving average of its energy impact per name, which survives restarts under
// "powersaver.impactEMA". From these it proposes processes to throttle, estimates what
// throttling one would save and names the processes that drain most over time. It never
// proposes the application in front, recently used ones, the system's core processes or the
// user's exclusions; an application counts with every process it started, whatever their
// names.
class ProcessEnergyTracker : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<kestrune::ProcessPowerSample> latestProcesses READ latestProcesses NOTIFY latestProcessesChanged)
    Q_PROPERTY(QDateTime lastSampleAt READ lastSampleAt NOTIFY lastSampleAtChanged)
    Q_PROPERTY(kestrune::ImpactMap impactEMA READ impactEMA WRITE setImpactEMA NOTIFY impactEMAChanged)
    Q_PROPERTY(QString frontmostAppName READ frontmostAppName NOTIFY frontmostAppNameChanged)

public:
    struct Candidate {
        qint64 pid = 0;
        QString name;
        double impact = 0; // energy impact in the last sample

        bool operator==(const Candidate&) const = default;
    };

    struct Drainer {
        QString name;
        double impact = 0;

        bool operator==(const Drainer&) const = default;
    };

    static constexpr int sampleSeconds = 2;
    static constexpr double recentActivationSeconds = 300;

    // Loads the learned averages and notes the application in front (which does not count
    // as recently used).
    ProcessEnergyTracker(UserDefaults& defaults, const Workspace& workspace, const Clock& clock = Clock::system(),
                         QObject* parent = nullptr);

    // Processes of the last successful sample, highest energy impact first.
    QList<ProcessPowerSample> latestProcesses() const { return m_latestProcesses; }
    // Invalid before the first successful sample.
    QDateTime lastSampleAt() const { return m_lastSampleAt; }
    ImpactMap impactEMA() const { return m_impactEMA; }
    // The whole map at once, as a restore of learned state hands it over; persistEMA()
    // stores it (at once unless told otherwise: a sample's figures go in the next batch).
    void setImpactEMA(const ImpactMap& impacts);
    // Empty when no application is known to be in front.
    QString frontmostAppName() const { return m_frontmostAppName; }

    // One sampling pass. A sample that fails or does not come back changes nothing.
    QCoro::Task<void> sample(HelperClient& helper);
    // The state change of a successful pass, once its report is in.
    void recordSample(const PowerMetricsReport& report);

    // An application came to the front: it and its processes are protected for a while.
    void noteActivated(const RunningApplication& application);

    // Processes worth throttling now: high consumers in the last two successful samples,
    // at or above the larger of `minImpact` and that share of the last sample's total,
    // not protected (by name, or as a process of the application in front or of one used
    // recently), in sample order, at most `maxCount`.
    QList<Candidate> throttleCandidates(const QStringList& exclusions, double minImpact, double shareOfTotal,
                                        int maxCount) const;
    // What throttling the first process of that name would save of `drainW`, in W.
    std::optional<double> estimatedWatts(const QString& name, double drainW) const;
    // The names with the highest learned impact, at most `n`.
    QList<Drainer> topLearnedDrainers(int n) const;
    bool isProtected(const QString& name, const QStringList& exclusions, const QDateTime& now) const;

    // Stores the learned averages; a map that cannot be encoded leaves the stored one.
    void persistEMA(UserDefaults::Write write = UserDefaults::Write::Now);

    // Name prefixes of the processes that keep the system and the desktop running.
    static const QStringList& coreProcessPrefixes();

signals:
    void latestProcessesChanged();
    void lastSampleAtChanged();
    void impactEMAChanged();
    void frontmostAppNameChanged();

private:
    void setLatestProcesses(const QList<ProcessPowerSample>& processes);
    void setLastSampleAt(const QDateTime& at);
    void setFrontmostAppName(const QString& name);
    // The processes of the application in front and of those used recently that still run.
    // Finding them walks the process table, so they are kept until the next sample or until
    // the applications they belong to change.
    QSet<qint64> protectedProcesses(const QDateTime& now) const;

    UserDefaults& m_defaults;
    const Clock& m_clock;
    QList<ProcessPowerSample> m_latestProcesses;
    QDateTime m_lastSampleAt;
    ImpactMap m_impactEMA;
    QString m_frontmostAppName;
    QHash<QString, QDateTime> m_recentlyUsedApps;
    qint64 m_frontmostPid = 0;
    // The main process of each recently used application -> when it came to the front.
    QHash<qint64, QDateTime> m_recentPids;
    QSet<QString> m_previousHighNames;
    QSet<QString> m_consecutiveHighNames;
    struct ProtectedTrees {
        QList<qint64> applications; // sorted
        QSet<qint64> processes;
    };
    mutable std::optional<ProtectedTrees> m_protectedTrees;
};

} // namespace kestrune
