#include "Kestrune/PowerSaver/PowerSaverEngine.h"

#include "Foundation/Graphemes.h"
#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptivePredictor.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingLevel.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <QJsonArray>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

// Before anything happened. A fixed date rather than an invalid one: the time since an
// invalid date reads as 0, and nothing would ever be due.
const QDateTime distantPast(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);

constexpr qint64 plugHistoryDays = 45;
constexpr double minDrainW = 0.3;
constexpr double maxDrainW = 150;
constexpr double drainFloorW = 1.5;
constexpr double minRequiredHours = 0.1;
constexpr double shortestReportedSessionMinutes = 20;
constexpr qint64 quickUndoMs = 120'000;
constexpr float userDimMargin = 0.06f;

bool succeeded(const std::optional<HelperCommandResult>& result)
{
    return result && result->success;
}

// Watt-hours of a full battery from a reading; 0 when the reading cannot tell.
double capacityWh(const BatterySnapshot& snapshot)
{
    if (snapshot.nominalCapacitymAh >= 1 && snapshot.voltageV > 0)
        return snapshot.nominalCapacitymAh / 1000.0 * snapshot.voltageV;
    return 0;
}

double hoursBetween(const QDateTime& from, const QDateTime& to)
{
    return double(from.msecsTo(to)) / 3'600'000.0;
}

// An energy impact as a whole number for the backend: truncated toward zero, saturating at
// the 64-bit range; a value that is not a number gives 0.
qint64 wholeImpact(double impact)
{
    if (std::isnan(impact))
        return 0;
    constexpr double limit = 9223372036854775807.0; // 2^63, the first double past the range
    if (impact >= limit)
        return std::numeric_limits<qint64>::max();
    if (impact <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::trunc(impact));
}

QStringList sorted(const ActionKeySet& keys)
{
    QStringList list(keys.begin(), keys.end());
    list.sort();
    return list;
}

} // namespace

PowerSaverEngine::PowerSaverEngine(ChargingSettings& settings, HelperClient& helper, ProcessEnergyTracker& tracker,
                                   DisplayControl& display, HistoryStore* history, Notifier& notifier,
                                   SavingsModel& savings, UserDefaults& defaults, const Clock& clock,
                                   LocalCalendar calendar, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_helper(helper)
    , m_tracker(tracker)
    , m_display(display)
    , m_history(history)
    , m_notifier(notifier)
    , m_savings(savings)
    , m_defaults(defaults)
    , m_clock(clock)
    , m_calendar(std::move(calendar))
    , m_statusText(Localized::text("待機中"))
    , m_lastLevelChange(distantPast)
    , m_lastSampleAt(distantPast)
    , m_ledgerDay(m_calendar.startOfDay(clock.now()))
{
    m_measurer.onResult = [this](const QString& key, double deltaW, bool valid) {
        recordMeasurementResult(key, deltaW, valid);
    };
}

PowerSaverEngine::~PowerSaverEngine() = default;

QStringList PowerSaverEngine::levelNames()
{
    return {Localized::text("待機"), Localized::text("標準節電"), Localized::text("強化節電"),
            Localized::text("最大節電")};
}

void PowerSaverEngine::setBoostUntilAC(bool value)
{
    assign(m_boostUntilAC, value, &PowerSaverEngine::boostUntilACChanged);
}

void PowerSaverEngine::log(const QString& action, const QString& detail)
{
    if (!m_history)
        return;
    PowerActionRecord record(m_clock.now(), action, detail);
    m_history->save(record);
}

void PowerSaverEngine::dropActionKey(const QString& key)
{
    ActionKeySet keys = m_activeActionKeys;
    keys.remove(key);
    setActiveActionKeys(keys);
    m_actionAppliedAt.remove(key);
}

// ---------------------------------------------------------------------------------------
// The tick

QCoro::Task<> PowerSaverEngine::evaluate(BatterySnapshot snapshot, QDateTime now)
{
    if (m_evaluating)
        co_return;
    m_evaluating = true;
    QPointer<PowerSaverEngine> self(this);
    const auto done = qScopeGuard([self] {
        if (self)
            self->m_evaluating = false;
    });

    if (m_calendar.startOfDay(now) != m_ledgerDay)
        loadLedgerTotals(now);
    updateSession(snapshot, now);
    updateDrain(snapshot);
    if (!snapshot.externalConnected)
        m_measurer.noteSnapshot(-(snapshot.voltageV * snapshot.amperageA), now);
    updateEstimates(snapshot, now);

    if (!m_settings.autopilotEnabled())
        co_await standDownAutopilotOff();
    else if (snapshot.externalConnected)
        co_await standDownOnExternalPower();
    else
        co_await tickOnBattery(snapshot, now);
}

QCoro::Task<> PowerSaverEngine::standDownAutopilotOff()
{
    // Switching the autopilot off while actions are in force is a mild dislike of each; low
    // power mode and the keyboard backlight go unnoticed enough not to count.
    const QDateTime at = m_clock.now();
    for (const QString& key : sorted(m_activeActionKeys))
        if (key != QLatin1String(PowerActionKeys::lowPowerMode) && key != QLatin1String(PowerActionKeys::keyboardOff))
            m_savings.recordPenalty(key, 0.5, at);

    QPointer<PowerSaverEngine> self(this);
    if (!m_activeActionKeys.isEmpty()) {
        co_await restoreEverything(Localized::text("オートパイロットOFF"));
        if (!self)
            co_return;
    }
    setLevel(0);
    setStatusText(Localized::text("オートパイロット: オフ"));
}

QCoro::Task<> PowerSaverEngine::standDownOnExternalPower()
{
    setBoostUntilAC(false);
    QPointer<PowerSaverEngine> self(this);
    if (m_level != 0 || !m_activeActionKeys.isEmpty()) {
        setLevel(0);
        co_await restoreEverything(Localized::text("AC接続"));
        if (!self)
            co_return;
    }
    m_lastLedgerAt.reset();
    setStatusText(Localized::text("AC接続中(待機)"));
}

QCoro::Task<> PowerSaverEngine::tickOnBattery(BatterySnapshot snapshot, QDateTime now)
{
    checkUserDimOverride();
    const int tier = decideTier(snapshot.socPercent, now);
    if (tier != m_level)
        changeLevel(tier, snapshot.socPercent, now);
    accrueLedger(now);

    QPointer<PowerSaverEngine> self(this);
    co_await sampleIfNeeded(snapshot, now);
    if (!self)
        co_return;
    co_await applyPolicy(snapshot, tier, now);
    if (!self)
        co_return;
    requestStrategyUpdate(snapshot, tier, false);
    updateStatusText();
}

void PowerSaverEngine::changeLevel(int tier, int soc, const QDateTime& now)
{
    log(QStringLiteral("level"), Localized::fmt("L%lld→L%lld (残量%lld%%)", qint64(m_level), qint64(tier), qint64(soc)));
    setLevel(tier);
    m_lastLevelChange = now;
    if (tier >= 3 && !m_notifiedL3 && m_settings.notifyPowerActions()) {
        m_notifiedL3 = true;
        m_notifier.notify(QStringLiteral("ps-l3"), Localized::text("最大節電モード"),
                          Localized::fmt("残量%lld%%。バックグラウンドを強く制限しています。", qint64(soc)), 1800);
    }
}

QCoro::Task<> PowerSaverEngine::appActivated(QString name)
{
    if (name.isEmpty())
        co_return;
    // A new application in front changes the drain, whatever it releases.
    m_measurer.invalidateAll();

    QList<std::pair<qint64, QString>> matched;
    QStringList names;
    for (auto it = m_throttledProcesses.cbegin(); it != m_throttledProcesses.cend(); ++it) {
        if (!it.value().startsWith(name))
            continue;
        matched.append({it.key(), it.value()});
        if (!names.contains(it.value()))
            names << it.value();
    }
    if (matched.isEmpty())
        co_return;
    names.sort();

    QPointer<PowerSaverEngine> self(this);
    for (const auto& [pid, processName] : matched) {
        const auto result = co_await m_helper.setProcessThrottled(pid, false);
        if (!self)
            co_return;
        if (!succeeded(result))
            continue;
        ThrottledProcessMap throttled = m_throttledProcesses;
        throttled.remove(pid);
        setThrottledProcesses(throttled);
        log(QStringLiteral("unthrottle"), Localized::fmt("%@ (前面化のため解除)", processName));
    }

    // The user wants these in front, whether or not the release went through: undoing a
    // throttle soon after it started is a dislike of it.
    const QDateTime at = m_clock.now();
    for (const QString& processName : std::as_const(names)) {
        const QString key = PowerActionKeys::throttleKey(processName);
        const auto applied = m_actionAppliedAt.constFind(key);
        if (applied != m_actionAppliedAt.cend() && applied.value().msecsTo(at) < quickUndoMs)
            m_savings.recordPenalty(key, 0.5, at);
        dropActionKey(key);
    }
}

void PowerSaverEngine::recordMeasurementResult(const QString& key, double deltaW, bool valid)
{
    QTimer::singleShot(0, this, [this, key, deltaW, valid] {
        if (m_history)
            m_history->addActionOutcome(key, deltaW, valid);
        if (!valid)
            return;
        // A saving that is negative or not a number is learned as none.
        m_savings.recordMeasurement(key, deltaW > 0 ? deltaW : 0.0);
        log(QStringLiteral("measure"), Localized::fmt("%@ の実測効果 %.2fW", PowerActionKeys::displayName(key), deltaW));
    });
}

// ---------------------------------------------------------------------------------------
// Battery session, drain and estimates

void PowerSaverEngine::updateSession(const BatterySnapshot& snapshot, const QDateTime& now)
{
    if (snapshot.externalConnected) {
        if (m_sessionStart)
            finishSession(*m_sessionStart, snapshot.socPercent, now);
        m_sessionStart.reset();
        m_sessionPredictedHours.reset();
        return;
    }
    if (m_sessionStart)
        return;

    m_sessionStart = now;
    m_sessionStartSOC = snapshot.socPercent;
    setSessionSavedWh(0);
    m_sessionActionCounts.clear();
    m_userDimOverride = false;
    m_notifiedL3 = false;

    QList<AdaptivePredictor::PlugEvent> events;
    if (m_history)
        for (const PlugEventRecord& event : m_history->plugEvents(now.addSecs(-plugHistoryDays * 86400)))
            events.append({event.timestamp, event.plugged});
    m_sessionPredictedHours = AdaptivePredictor::predictSessionHours(events, now, m_calendar);
}

void PowerSaverEngine::updateDrain(const BatterySnapshot& snapshot)
{
    if (snapshot.externalConnected)
        return;
    const double watts = -(snapshot.voltageV * snapshot.amperageA);
    if (!(watts > minDrainW && watts < maxDrainW))
        return;
    setDrainWatts(m_drainWatts > 0 ? 0.8 * m_drainWatts + 0.2 * watts : watts);
}

void PowerSaverEngine::updateEstimates(const BatterySnapshot& snapshot, const QDateTime& now)
{
    if (snapshot.externalConnected) {
        setEstimatedRuntimeHours(std::nullopt);
        setRequiredHours(std::nullopt);
        return;
    }
    const double remainingWh = capacityWh(snapshot) * snapshot.socPercent / 100.0;
    // The floor keeps a low or not yet learned drain from promising absurd runtimes.
    setEstimatedRuntimeHours(remainingWh > 0 ? std::optional(remainingWh / std::max(m_drainWatts, drainFloorW))
                                             : std::nullopt);

    if (m_settings.targetAutoLearn()) {
        if (m_sessionPredictedHours && m_sessionStart)
            setRequiredHours(std::max(*m_sessionPredictedHours - hoursBetween(*m_sessionStart, now), minRequiredHours));
        else
            setRequiredHours(std::nullopt);
        return;
    }
    QDateTime reference = m_settings.manualTargetSetAt();
    if (!reference.isValid())
        reference = m_sessionStart.value_or(now);
    setRequiredHours(std::max(m_settings.manualTargetHours() - hoursBetween(reference, now), minRequiredHours));
}

void PowerSaverEngine::finishSession(const QDateTime& startedAt, int endSOC, const QDateTime& now)
{
    const double minutes = double(startedAt.msecsTo(now)) / 60'000.0;
    if (minutes < shortestReportedSessionMinutes)
        return;
    if (!m_strategist || !m_strategist->isReady() || !m_settings.llmSessionReports())
        return;
    // Built now: the next session start resets what it reads.
    const QJsonObject stats = sessionReport(minutes, endSOC);
    QTimer::singleShot(0, this, [self = QPointer(this), stats] { deliverSessionReport(self, stats); });
}

QJsonObject PowerSaverEngine::sessionReport(double minutes, int endSOC) const
{
    QJsonObject stats{
        {QStringLiteral("session_minutes"), qint64(std::trunc(minutes))},
        {QStringLiteral("start_soc"), m_sessionStartSOC},
        {QStringLiteral("end_soc"), endSOC},
        {QStringLiteral("saved_wh"), Rounding::toPlaces(m_sessionSavedWh, 2)},
        {QStringLiteral("typical_drain_w"), Rounding::toPlaces(m_drainWatts, 1)},
        {QStringLiteral("lang"), languageCode()},
    };
    if (!m_sessionActionCounts.isEmpty()) {
        QJsonObject counts;
        for (auto it = m_sessionActionCounts.cbegin(); it != m_sessionActionCounts.cend(); ++it)
            counts.insert(it.key(), it.value());
        stats.insert(QStringLiteral("actions_applied"), counts);
    }
    QJsonArray drainers;
    for (const ProcessEnergyTracker::Drainer& drainer : m_tracker.topLearnedDrainers(5))
        drainers.append(QJsonObject{{QStringLiteral("name"), drainer.name},
                                    {QStringLiteral("impact"), wholeImpact(drainer.impact)}});
    if (!drainers.isEmpty())
        stats.insert(QStringLiteral("top_drainers"), drainers);
    return stats;
}

QCoro::Task<> PowerSaverEngine::deliverSessionReport(QPointer<PowerSaverEngine> self, QJsonObject stats)
{
    if (!self || !self->m_strategist)
        co_return;
    QPointer<AIStrategist> strategist = self->m_strategist;
    // Only a report this call received is told: a failed call leaves the former one in place,
    // and that one was logged and announced when it came.
    const std::optional<QDateTime> before = strategist->lastSessionReportAt();
    co_await strategist->generateSessionReport(stats);
    if (!self || !strategist || strategist->lastSessionReportAt() == before)
        co_return;
    const std::optional<QString> report = strategist->lastSessionReport();
    if (!report)
        co_return;
    self->log(QStringLiteral("report"), Graphemes::prefix(*report, 200));
    if (self->m_settings.notifyPowerActions())
        self->m_notifier.notify(QStringLiteral("ps-report"), Localized::text("AI節電レポート"),
                                Graphemes::prefix(*report, 160), 600);
}

// ---------------------------------------------------------------------------------------
// Saving level

void PowerSaverEngine::checkUserDimOverride()
{
    const bool dimmed = m_activeActionKeys.contains(QLatin1String(PowerActionKeys::dim70))
        || m_activeActionKeys.contains(QLatin1String(PowerActionKeys::dim50));
    if (!dimmed || !m_display.lastSetBrightness)
        return;
    const std::optional<float> current = m_display.currentBrightness();
    if (!current || !(*current > *m_display.lastSetBrightness + userDimMargin))
        return;
    // One override a session is acted on.
    if (m_userDimOverride)
        return;
    m_userDimOverride = true;

    const QString disliked = m_activeActionKeys.contains(QLatin1String(PowerActionKeys::dim50))
        ? QString::fromLatin1(PowerActionKeys::dim50)
        : QString::fromLatin1(PowerActionKeys::dim70);
    m_savings.recordPenalty(disliked, 1.0, m_clock.now());
    // The user's change falsifies the drain readings of every measurement in progress.
    m_measurer.invalidateAll();
    // Nothing may later put the pre-cap brightness back over the user's choice.
    m_display.savedBrightness.reset();
    m_display.lastSetBrightness.reset();
    dropActionKey(QString::fromLatin1(PowerActionKeys::dim70));
    dropActionKey(QString::fromLatin1(PowerActionKeys::dim50));
    log(QStringLiteral("dim"), Localized::text("手動の輝度変更を検知 — このセッションの自動減光を停止(好みを学習)"));
}

int PowerSaverEngine::decideTier(int soc, const QDateTime& now) const
{
    SavingLevel::Inputs in;
    in.soc = soc;
    in.now = now;
    in.automatic = m_settings.powerLevelAuto();
    in.manualLevel = m_settings.manualPowerLevel();
    in.boost = m_boostUntilAC;
    in.estimatedRuntimeHours = m_estimatedRuntimeHours;
    in.requiredHours = m_requiredHours;
    if (const auto strategy = activeStrategy())
        in.strategyThreshold = strategy->escalateSocThreshold;
    in.level = m_level;
    in.lastLevelChange = m_lastLevelChange;
    return SavingLevel::decide(in);
}

// ---------------------------------------------------------------------------------------
// Strategy feed and status

std::optional<AIStrategist::Strategy> PowerSaverEngine::activeStrategy() const
{
    return m_strategist ? m_strategist->activeStrategy() : std::nullopt;
}

void PowerSaverEngine::requestStrategyUpdate(const BatterySnapshot& snapshot, int tier, bool force)
{
    if (!m_strategist || !m_strategist->isReady() || snapshot.externalConnected)
        return;
    const QJsonObject telemetry = buildTelemetry(snapshot, tier);
    QTimer::singleShot(0, this, [strategist = m_strategist, telemetry, force] {
        if (strategist)
            strategist->maybeUpdateStrategy(telemetry, force);
    });
}

QJsonObject PowerSaverEngine::buildTelemetry(const BatterySnapshot& snapshot, int tier) const
{
    const QDateTime now = m_clock.now();
    QJsonObject telemetry{
        {QStringLiteral("soc"), snapshot.socPercent},
        {QStringLiteral("drain_w"), Rounding::toPlaces(m_drainWatts, 1)},
        {QStringLiteral("battery_wh"), Rounding::toPlaces(capacityWh(snapshot), 1)},
        {QStringLiteral("tier"), tier},
        {QStringLiteral("boost"), m_boostUntilAC},
        {QStringLiteral("weekday"), m_calendar.weekday(now)},
        {QStringLiteral("hour"), m_calendar.minuteOfDay(now) / 60},
        {QStringLiteral("active_actions"), QJsonArray::fromStringList(sorted(m_activeActionKeys))},
        {QStringLiteral("exclusions"), QJsonArray::fromStringList(m_settings.powerExclusions())},
        {QStringLiteral("lang"), languageCode()},
    };
    if (m_estimatedRuntimeHours)
        telemetry.insert(QStringLiteral("est_runtime_h"), Rounding::toPlaces(*m_estimatedRuntimeHours, 1));
    if (m_requiredHours)
        telemetry.insert(QStringLiteral("required_h"), Rounding::toPlaces(*m_requiredHours, 1));

    QJsonArray processes;
    for (const ProcessPowerSample& process : m_tracker.latestProcesses().mid(0, 10))
        processes.append(QJsonObject{{QStringLiteral("name"), process.name},
                                     {QStringLiteral("impact"), wholeImpact(process.energyImpact)}});
    if (!processes.isEmpty())
        telemetry.insert(QStringLiteral("top_processes"), processes);

    QJsonArray effects;
    for (const SavingsModel::KeyEffect& learned : m_savings.learnedEffectList()) {
        if (effects.size() == 12)
            break;
        effects.append(QJsonObject{{QStringLiteral("key"), learned.key},
                                   {QStringLiteral("w"), Rounding::toPlaces(learned.effect.deltaW, 2)},
                                   {QStringLiteral("n"), qint64(learned.effect.samples)}});
    }
    if (!effects.isEmpty())
        telemetry.insert(QStringLiteral("learned_effects"), effects);

    QJsonArray penalties;
    for (const SavingsModel::KeyScore& disliked : m_savings.dislikedActions(0.3, now))
        penalties.append(QJsonObject{{QStringLiteral("key"), disliked.key},
                                     {QStringLiteral("penalty"), Rounding::toPlaces(disliked.score, 1)}});
    if (!penalties.isEmpty())
        telemetry.insert(QStringLiteral("penalties"), penalties);
    return telemetry;
}

void PowerSaverEngine::updateStatusText()
{
    QStringList fragments{QStringLiteral("L%1 %2").arg(m_level).arg(levelNames().value(m_level))};
    if (activeStrategy())
        fragments << Localized::text("AI戦略適用中");
    if (m_estimatedRuntimeHours)
        fragments << Localized::fmt("推定%.1fh", *m_estimatedRuntimeHours);
    if (m_requiredHours)
        fragments << Localized::fmt("目標%.1fh", *m_requiredHours);
    if (m_expectedSavingsW > 0.05)
        fragments << Localized::fmt("節電%.1fW", m_expectedSavingsW);
    if (!m_throttledProcesses.isEmpty())
        fragments << Localized::fmt("%lld件減速中", qint64(m_throttledProcesses.size()));
    setStatusText(fragments.join(QStringLiteral(" — ")));
}

// ---------------------------------------------------------------------------------------
// Ledger, sampling, actions and restoring

void PowerSaverEngine::loadLedgerTotals(const QDateTime& now)
{
    m_ledgerDay = m_calendar.startOfDay(now);
}

void PowerSaverEngine::accrueLedger(const QDateTime&)
{
}

QCoro::Task<> PowerSaverEngine::sampleIfNeeded(BatterySnapshot, QDateTime)
{
    co_return;
}

QCoro::Task<> PowerSaverEngine::applyPolicy(BatterySnapshot, int, QDateTime)
{
    co_return;
}

QCoro::Task<> PowerSaverEngine::restoreEverything(QString)
{
    setActiveActionKeys({});
    m_actionAppliedAt.clear();
    setThrottledProcesses({});
    m_measurer.clear();
    setCurrentDeficitW(0);
    setExpectedSavingsW(0);
    m_lastLedgerAt.reset();
    co_return;
}

} // namespace kestrune
