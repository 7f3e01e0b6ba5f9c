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
#include "Kestrune/PowerSaver/PowerDeficit.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingLevel.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"

#include <QJsonArray>
#include <QLocale>
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
constexpr qint64 minimumActionMs = 180'000;
constexpr qint64 sampleSpacingMs = 90'000;
constexpr double levelOneSampleDrainW = 4.0;
constexpr double longestAccrualSeconds = 120;
constexpr qint64 weekSeconds = 6 * 86400; // today and the six days before
constexpr int summaryDays = 30;            // the ledger's days the summary reads
// The lowest level at which processes may be throttled.
constexpr int throttleMinTier = 2;

const QString totalsInitializedKey = QStringLiteral("share.totalsInitialized");
const QString totalMinutesKey = QStringLiteral("share.totalMinutes");
const QString totalWhKey = QStringLiteral("share.totalWh");
const QString milestonesKey = QStringLiteral("share.milestonesAchieved");

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

void PowerSaverEngine::forgetThrottled(qint64 pid)
{
    ThrottledProcessMap throttled = m_throttledProcesses;
    throttled.remove(pid);
    setThrottledProcesses(throttled);
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
    if (anythingInForce()) {
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
    if (m_level != 0 || anythingInForce()) {
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
    co_await sampleIfNeeded(now);
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
        forgetThrottled(pid);
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
                                    {QStringLiteral("impact"), Rounding::towardZero(drainer.impact)}});
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
    if (!dimmed || !m_display.userRaisedBrightness())
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
                                     {QStringLiteral("impact"), Rounding::towardZero(process.energyImpact)}});
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
// Ledger totals and milestones

void PowerSaverEngine::loadLedgerTotals(const QDateTime& now)
{
    m_ledgerDay = m_calendar.startOfDay(now);
    m_recentDaysOf = QDateTime();
    if (m_history) {
        const SavingsDailyRecord today = m_history->todaySavingsRecord(now);
        setSavedTodayWh(today.savedWh);
        setExtendedTodayMinutes(today.extendedMinutes);
    } else {
        setSavedTodayWh(0);
        setExtendedTodayMinutes(0);
    }
    loadLifetimeTotals(now);
}

void PowerSaverEngine::loadLifetimeTotals(const QDateTime& now)
{
    if (m_defaults.boolean(totalsInitializedKey)) {
        setTotalExtendedMinutes(m_defaults.real(totalMinutesKey));
        setTotalSavedWh(m_defaults.real(totalWhKey));
        return;
    }
    // Seeded once per installation from the ledger the store still holds; from then on the
    // totals live in the defaults, because the store keeps only recent days.
    double minutes = 0;
    double wh = 0;
    if (m_history) {
        for (const SavingsDailyRecord& row : m_history->recentSavings(90, now)) {
            minutes += row.extendedMinutes;
            wh += row.savedWh;
        }
    }
    setTotalExtendedMinutes(minutes);
    setTotalSavedWh(wh);
    m_defaults.set(totalsInitializedKey, true);
    saveLifetimeTotals();
}

void PowerSaverEngine::saveLifetimeTotals()
{
    // They grow on every tick with an action in force: saved with the other figures of the
    // ticks, so that a crash costs at most the last batch of them.
    m_defaults.set(totalMinutesKey, m_totalExtendedMinutes, UserDefaults::Write::Batched);
    m_defaults.set(totalWhKey, m_totalSavedWh, UserDefaults::Write::Batched);
}

SavingsStats::Summary PowerSaverEngine::savingsSummary(const QDateTime& now) const
{
    return summaryOf(readRecentDays(now), now);
}

QList<SavingsStats::DayEntry> PowerSaverEngine::readRecentDays(const QDateTime& now) const
{
    QList<SavingsStats::DayEntry> entries;
    if (m_history)
        for (const SavingsDailyRecord& row : m_history->recentSavings(summaryDays, now))
            entries.append({row.day, row.extendedMinutes, row.savedWh});
    return entries;
}

const QList<SavingsStats::DayEntry>& PowerSaverEngine::recentDays(const QDateTime& now)
{
    const QDateTime today = m_calendar.startOfDay(now);
    if (m_recentDaysOf != today) {
        m_recentDays = readRecentDays(now);
        m_recentDaysOf = today;
    }
    return m_recentDays;
}

void PowerSaverEngine::addToRecentDays(double wh, double minutes, const QDateTime& now)
{
    const QDateTime today = m_calendar.startOfDay(now);
    // Days not read yet, or read on another day, are read afresh at the check anyway.
    if (m_recentDaysOf != today)
        return;
    // The sums the store takes in today's row, in the same order.
    for (SavingsStats::DayEntry& entry : m_recentDays) {
        if (entry.day == today) {
            entry.wh += wh;
            entry.minutes += minutes;
            return;
        }
    }
    m_recentDays.prepend({today, minutes, wh});
}

SavingsStats::Summary PowerSaverEngine::summaryOf(const QList<SavingsStats::DayEntry>& entries,
                                                  const QDateTime& now) const
{
    SavingsStats::Summary summary;
    const QDateTime today = m_calendar.startOfDay(now);
    const QDateTime weekStart = today.addSecs(-weekSeconds);
    for (const SavingsStats::DayEntry& entry : std::as_const(entries)) {
        if (entry.day == today) {
            summary.todayMinutes = entry.minutes;
            summary.todayWh = entry.wh;
        }
        if (weekStart <= entry.day && entry.day <= today) {
            summary.weekMinutes += entry.minutes;
            summary.weekWh += entry.wh;
        }
    }
    // The all-time figures never show less than the last seven days, even when the defaults
    // were cleared while the store kept its rows.
    summary.totalMinutes = std::max(m_totalExtendedMinutes, summary.weekMinutes);
    summary.totalWh = std::max(m_totalSavedWh, summary.weekWh);
    summary.streakDays = SavingsStats::streak(entries, now, m_calendar);
    return summary;
}

void PowerSaverEngine::checkMilestones(const QDateTime& now)
{
    const QStringList stored = m_defaults.stringArray(milestonesKey).value_or(QStringList());
    QSet<QString> achieved(stored.begin(), stored.end());
    const QList<SavingsStats::Milestone> reached
        = SavingsStats::newMilestones(summaryOf(recentDays(now), now), achieved);
    if (reached.isEmpty())
        return;
    for (const SavingsStats::Milestone& milestone : reached)
        achieved.insert(milestone.key);
    QStringList keys(achieved.begin(), achieved.end());
    keys.sort();
    m_defaults.set(milestonesKey, keys);
    // Milestones reached together are all kept, but only the last is announced.
    if (onMilestone)
        onMilestone(reached.last());
}

// ---------------------------------------------------------------------------------------
// Ledger accrual and sampling

void PowerSaverEngine::accrueLedger(const QDateTime& now)
{
    if (m_activeActionKeys.isEmpty() || !m_lastLedgerAt) {
        m_lastLedgerAt = now;
        return;
    }
    // A longer gap, such as a sleep, counts as the longest step.
    const double dt = std::min(double(m_lastLedgerAt->msecsTo(now)) / 1000.0, longestAccrualSeconds);
    if (dt <= 0) {
        m_lastLedgerAt = now;
        return;
    }
    double watts = 0;
    for (const QString& key : sorted(m_activeActionKeys))
        watts += m_savings.blendedSavings(key).watts;
    const double wh = dt * watts / 3600;
    // The energy saved over the drain the machine would have had without the actions.
    const double minutes = std::max(wh, 0.0) / (std::max(m_drainWatts, drainFloorW) + std::max(watts, 0.0)) * 60;
    // Whatever the learned model holds, a step books at most every action in force saving the
    // most a measurement can show: anything beyond, or not a number, would stay in the totals
    // and the day's stored row for good.
    const double mostWh = double(m_activeActionKeys.size()) * EffectMeasurer::maxDeltaW * dt / 3600;
    if (!std::isfinite(wh) || !std::isfinite(minutes) || std::abs(wh) > mostWh) {
        m_lastLedgerAt = now;
        return;
    }

    setSessionSavedWh(m_sessionSavedWh + wh);
    setSavedTodayWh(m_savedTodayWh + wh);
    setExtendedTodayMinutes(m_extendedTodayMinutes + minutes);
    setTotalSavedWh(m_totalSavedWh + wh);
    setTotalExtendedMinutes(m_totalExtendedMinutes + minutes);
    saveLifetimeTotals();
    if (m_history) {
        // The milestone check's copy follows the row; a row that took nothing is read again.
        if (m_history->accrueSavings(wh, minutes, m_activeActionKeys.size(), now))
            addToRecentDays(wh, minutes, now);
        else
            m_recentDaysOf = QDateTime();
    }
    checkMilestones(now);
    m_lastLedgerAt = now;
}

QCoro::Task<> PowerSaverEngine::sampleIfNeeded(QDateTime now)
{
    if (m_level < 1 || !m_helper.isConnected() || m_lastSampleAt.msecsTo(now) < sampleSpacingMs)
        co_return;
    // A light load is not worth sampling at the lowest level.
    if (m_level == 1 && m_drainWatts < levelOneSampleDrainW)
        co_return;
    // Set first, so that a failed sample is not retried before the spacing.
    m_lastSampleAt = now;
    co_await m_tracker.sample(m_helper);
}

// ---------------------------------------------------------------------------------------
// Choosing actions

double PowerSaverEngine::computeDeficit(const BatterySnapshot& snapshot, int tier,
                                        const std::optional<AIStrategist::Strategy>& strategy) const
{
    PowerDeficit::Inputs in;
    in.boost = m_boostUntilAC;
    in.requiredHours = m_requiredHours;
    in.fullWh = capacityWh(snapshot);
    in.socPercent = snapshot.socPercent;
    if (strategy)
        in.strategyTargetW = strategy->targetDrainWatts;
    in.tier = tier;
    in.drainWatts = m_drainWatts;
    return PowerDeficit::compute(in);
}

std::vector<PowerPolicy::Candidate>
PowerSaverEngine::buildCandidates(int tier, const std::optional<AIStrategist::Strategy>& strategy) const
{
    const QDateTime now = m_clock.now();
    std::vector<PowerPolicy::Candidate> candidates;
    const auto add = [&](const QString& key, int minTier, bool isBase, std::optional<double> estimate = std::nullopt,
                         double bonus = 0) {
        const SavingsModel::Blend blend = m_savings.blendedSavings(key, estimate);
        const double confidence = std::isnan(blend.confidence) ? 0.3 : std::max(blend.confidence, 0.3);
        candidates.push_back(
            {key, blend.watts, blend.watts * confidence - m_savings.penaltyScore(key, now) + bonus, minTier, isBase});
    };

    const bool connected = m_helper.isConnected();
    if (connected)
        add(QString::fromLatin1(PowerActionKeys::lowPowerMode), 1, true);
    if (m_settings.kbBacklightOffEnabled() && m_display.kbClient && m_display.kbID)
        add(QString::fromLatin1(PowerActionKeys::keyboardOff), 1, true);
    if (m_settings.autoDimEnabled() && !m_userDimOverride && m_display.getBrightnessFn && m_display.setBrightnessFn
        && m_display.currentBrightness()) {
        add(QString::fromLatin1(PowerActionKeys::dim70), 2, false);
        add(QString::fromLatin1(PowerActionKeys::dim50), 3, false);
    }
    if (!connected)
        return candidates;
    if (m_settings.pauseSpotlightOnBattery())
        add(QString::fromLatin1(PowerActionKeys::spotlight), 2, false);
    if (m_settings.pauseTimeMachineOnBattery())
        add(QString::fromLatin1(PowerActionKeys::timeMachine), 2, false);

    QStringList exclusions = m_settings.powerExclusions();
    if (strategy && strategy->throttleAvoid)
        exclusions << *strategy->throttleAvoid;
    const bool maximum = tier >= 3;
    const QStringList recommended = strategy ? strategy->throttleRecommended.value_or(QStringList()) : QStringList();
    QSet<QString> listed;
    // Throttling starts at level 2, and finding candidates may walk the process table: below
    // it none is looked for.
    const QList<ProcessEnergyTracker::Candidate> processes = tier >= throttleMinTier
        ? m_tracker.throttleCandidates(exclusions, maximum ? 80 : 150, maximum ? 0.06 : 0.12, maximum ? 12 : 5)
        : QList<ProcessEnergyTracker::Candidate>();
    for (const ProcessEnergyTracker::Candidate& process : processes) {
        const QString key = PowerActionKeys::throttleKey(process.name);
        add(key, throttleMinTier, false, m_tracker.estimatedWatts(process.name, std::max(m_drainWatts, drainFloorW)),
            recommended.contains(process.name) ? 0.5 : 0);
        listed.insert(key);
    }
    // A process throttled now but no longer among the heavy ones stays eligible, so that it
    // is released only when the selection drops it.
    for (const QString& key : sorted(m_activeActionKeys))
        if (PowerActionKeys::isThrottleKey(key) && !listed.contains(key))
            add(key, throttleMinTier, false);
    return candidates;
}

QCoro::Task<> PowerSaverEngine::applyPolicy(BatterySnapshot snapshot, int tier, QDateTime now)
{
    const std::optional<AIStrategist::Strategy> strategy = activeStrategy();
    const double deficit = computeDeficit(snapshot, tier, strategy);
    setCurrentDeficitW(std::isfinite(deficit) ? std::max(deficit, 0.0) : m_drainWatts);
    const PowerPolicy::Selection selection = PowerPolicy::select(buildCandidates(tier, strategy), deficit, tier);
    ActionKeySet wanted(selection.chosen.begin(), selection.chosen.end());
    // The stronger cap replaces the weaker one.
    if (wanted.contains(QLatin1String(PowerActionKeys::dim50)))
        wanted.remove(QString::fromLatin1(PowerActionKeys::dim70));
    setExpectedSavingsW(selection.expectedSavingsW);

    QPointer<PowerSaverEngine> self(this);
    QStringList throttledNow;
    for (const QString& key : sorted(wanted - m_activeActionKeys)) {
        const bool newlyThrottled = co_await applyAction(key, strategy, now);
        if (!self)
            co_return;
        if (newlyThrottled && PowerActionKeys::isThrottleKey(key))
            throttledNow << PowerActionKeys::throttledProcessName(key);
    }
    for (const QString& key : sorted(m_activeActionKeys - wanted)) {
        // An action stays at least three minutes, so that it is not switched at every reading.
        const auto applied = m_actionAppliedAt.constFind(key);
        if (applied != m_actionAppliedAt.cend() && applied.value().msecsTo(now) < minimumActionMs)
            continue;
        co_await removeAction(key, Localized::text("削減目標を満たしたため解除"));
        if (!self)
            co_return;
    }
    notifyThrottled(throttledNow);
}

void PowerSaverEngine::notifyThrottled(const QStringList& names)
{
    if (names.isEmpty() || !m_settings.notifyPowerActions())
        return;
    QString body = names.mid(0, 2).join(Localized::text("、"));
    if (names.size() >= 3)
        body += Localized::fmt(" ほか%lld件", qint64(names.size() - 2));
    body += Localized::text(" を減速中(前面で使うと自動解除)。");
    m_notifier.notify(QStringLiteral("ps-throttle"), Localized::text("バックグラウンドを減速しました"), body, 300);
}

// ---------------------------------------------------------------------------------------
// Applying and removing actions

QCoro::Task<bool> PowerSaverEngine::applyAction(QString key, std::optional<AIStrategist::Strategy> strategy,
                                                QDateTime now)
{
    QPointer<PowerSaverEngine> self(this);
    std::optional<HelperCommandResult> result;
    if (key == QLatin1String(PowerActionKeys::lowPowerMode)) {
        result = co_await m_helper.setLowPowerMode(true);
    } else if (key == QLatin1String(PowerActionKeys::spotlight)) {
        result = co_await m_helper.setSpotlightPaused(true);
    } else if (key == QLatin1String(PowerActionKeys::timeMachine)) {
        result = co_await m_helper.setTimeMachinePaused(true);
    } else if (key == QLatin1String(PowerActionKeys::keyboardOff)) {
        m_display.turnOffKeyboardBacklight();
        recordApplied(key, now);
        co_return false;
    } else if (key == QLatin1String(PowerActionKeys::dim70)) {
        // The strategy may choose the cap, within reason; one that is not a number is none.
        double cap = 0.7;
        if (strategy && strategy->brightnessCap && std::isfinite(*strategy->brightnessCap))
            cap = std::clamp(*strategy->brightnessCap, 0.5, 0.9);
        if (m_display.applyBrightnessCap(float(cap)))
            recordApplied(key, now);
        co_return false;
    } else if (key == QLatin1String(PowerActionKeys::dim50)) {
        dropActionKey(QString::fromLatin1(PowerActionKeys::dim70));
        if (m_display.applyBrightnessCap(0.5f))
            recordApplied(key, now);
        co_return false;
    } else if (PowerActionKeys::isThrottleKey(key)) {
        co_return co_await applyThrottle(key, now);
    } else {
        co_return false;
    }
    if (self && succeeded(result))
        recordApplied(key, now);
    co_return false;
}

QCoro::Task<bool> PowerSaverEngine::applyThrottle(QString key, QDateTime now)
{
    const QString name = PowerActionKeys::throttledProcessName(key);
    QList<qint64> pids;
    for (const ProcessPowerSample& process : m_tracker.latestProcesses())
        if (process.name == name)
            pids << process.pid;

    QPointer<PowerSaverEngine> self(this);
    bool newlyThrottled = false;
    for (qint64 pid : std::as_const(pids)) {
        // Checked just before each call: a release or another pass may have run meanwhile.
        if (m_throttledProcesses.contains(pid))
            continue;
        const auto result = co_await m_helper.setProcessThrottled(pid, true);
        if (!self)
            co_return false;
        if (!succeeded(result))
            continue;
        ThrottledProcessMap throttled = m_throttledProcesses;
        throttled.insert(pid, name);
        setThrottledProcesses(throttled);
        newlyThrottled = true;
    }
    if (newlyThrottled)
        recordApplied(key, now);
    co_return newlyThrottled;
}

void PowerSaverEngine::recordApplied(const QString& key, const QDateTime& now)
{
    ActionKeySet keys = m_activeActionKeys;
    keys.insert(key);
    setActiveActionKeys(keys);
    m_actionAppliedAt.insert(key, now);
    ++m_sessionActionCounts[key];
    m_measurer.begin(key, now);
    log(PowerActionKeys::logCategory(key), Localized::fmt("%@ を適用", PowerActionKeys::displayName(key)));
}

QCoro::Task<> PowerSaverEngine::removeAction(QString key, QString reason)
{
    QPointer<PowerSaverEngine> self(this);
    // The daemon's answer is not waited on for these: its restore-all undoes them later.
    if (key == QLatin1String(PowerActionKeys::lowPowerMode))
        co_await m_helper.setLowPowerMode(false);
    else if (key == QLatin1String(PowerActionKeys::spotlight))
        co_await m_helper.setSpotlightPaused(false);
    else if (key == QLatin1String(PowerActionKeys::timeMachine))
        co_await m_helper.setTimeMachinePaused(false);
    else if (key == QLatin1String(PowerActionKeys::keyboardOff))
        m_display.restoreKeyboardBacklight();
    else if (key == QLatin1String(PowerActionKeys::dim70) || key == QLatin1String(PowerActionKeys::dim50))
        m_display.restoreBrightness();
    else if (PowerActionKeys::isThrottleKey(key)) {
        const QString name = PowerActionKeys::throttledProcessName(key);
        const ThrottledProcessMap listed = m_throttledProcesses;
        for (auto it = listed.cbegin(); it != listed.cend(); ++it) {
            if (it.value() != name)
                continue;
            const auto result = co_await m_helper.setProcessThrottled(it.key(), false);
            if (!self)
                co_return;
            // A process whose release failed stays listed, for the user to release.
            if (succeeded(result)) {
                forgetThrottled(it.key());
            }
        }
    }
    if (!self)
        co_return;
    dropActionKey(key);
    log(QStringLiteral("restore"), Localized::fmt("%@ を解除 (%@)", PowerActionKeys::displayName(key), reason));
}

QCoro::Task<> PowerSaverEngine::unthrottle(qint64 pid)
{
    // A pid already being released is handled as one that is not listed: a second press
    // during the first's wait must not release, penalise and count the process twice.
    if (!m_throttledProcesses.contains(pid) || m_releasing.contains(pid))
        co_return;
    const QString name = m_throttledProcesses.value(pid);
    QPointer<PowerSaverEngine> self(this);
    m_releasing.insert(pid);
    const auto result = co_await m_helper.setProcessThrottled(pid, false);
    if (!self)
        co_return;
    m_releasing.remove(pid);

    if (succeeded(result)) {
        forgetThrottled(pid);
    }
    const QString key = PowerActionKeys::throttleKey(name);
    if (!m_throttledProcesses.values().contains(name))
        dropActionKey(key);

    // The user wanted this process at full speed: a dislike, whether or not the daemon obliged.
    const QDateTime now = m_clock.now();
    m_savings.recordPenalty(key, 1.0, now);
    m_measurer.invalidateAll();
    log(QStringLiteral("unthrottle"), Localized::fmt("%@ (手動解除・好みを学習)", name));

    const std::optional<QString> suggestion = m_savings.recordManualUnthrottle(name, isExcluded(name), now);
    if (!suggestion)
        co_return;
    if (m_settings.notifyPowerActions())
        m_notifier.notify(QStringLiteral("ps-suggest"), Localized::text("除外リストへの追加を提案"),
                          Localized::fmt("「%@」の減速を2回解除しました。省電力タブから除外リストに追加できます。",
                                         *suggestion),
                          600);
    log(QStringLiteral("suggest"), Localized::fmt("%@ の除外を提案", *suggestion));
}

bool PowerSaverEngine::isExcluded(const QString& processName) const
{
    const QLocale locale;
    const QString name = locale.toLower(processName);
    for (const QString& exclusion : m_settings.powerExclusions()) {
        // An empty entry is contained in every name and would end every suggestion.
        if (!exclusion.isEmpty() && name.contains(locale.toLower(exclusion)))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Restoring everything

bool PowerSaverEngine::anythingInForce() const
{
    // A listed process counts even without its key: a failed release or a release on
    // activation leaves it throttled with the key gone, and only restore-all brings it back.
    return !m_activeActionKeys.isEmpty() || !m_throttledProcesses.isEmpty();
}

QCoro::Task<> PowerSaverEngine::restoreEverything(QString reason)
{
    QPointer<PowerSaverEngine> self(this);
    if (m_helper.isConnected() && anythingInForce()) {
        co_await m_helper.restoreAllPowerSaving();
        if (!self)
            co_return;
    }
    m_display.restoreBrightness();
    m_display.restoreKeyboardBacklight();
    if (!m_activeActionKeys.isEmpty())
        log(QStringLiteral("restore"), Localized::fmt("全アクションを復元 (%@)", reason));

    setActiveActionKeys({});
    m_actionAppliedAt.clear();
    setThrottledProcesses({});
    // Measurements in flight are dropped without a result.
    m_measurer.clear();
    setCurrentDeficitW(0);
    setExpectedSavingsW(0);
    m_lastLedgerAt.reset();
}

} // namespace kestrune
