#include "Kestrune/App/AppState.h"

#include "Foundation/Graphemes.h"
#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/App/UpdaterManager.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Platform/Backlight/BacklightWriter.h"
#include "Platform/Network/SystemNetworkPathMonitor.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "Platform/Updater/UpdateUserDriver.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "Platform/Workspace/LogindSleepWatcher.h"
#include "Shared/HelperProtocol.h"

#include <QCoro/QCoroTimer>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace kestrune {

namespace {

// A core without a window has no one to show an update check's answer to.
class SilentUpdateDriver final : public UpdateUserDriver {
public:
    void showUpToDate(const QString&) override {}
    void showUpdateAvailable(const QString&, const QUrl&, const QString&) override {}
    void showUpdateError(const QString&) override {}
};

UpdateUserDriver& driverOf(const AppContext& context)
{
    static SilentUpdateDriver silent;
    return context.updateDriver ? *context.updateDriver : silent;
}

// Whether at least `spacing` seconds lie between the stamped reading and `date`; nothing
// stamped yet lies in the distant past.
bool spaced(const std::optional<QDateTime>& stamp, const QDateTime& date, qint64 spacingSeconds)
{
    return !stamp || stamp->secsTo(date) >= spacingSeconds;
}

// The periodic helper work is also due when the stamp lies after the reading: the wall clock
// was set back. Waiting for the clock to catch up would leave a disconnected helper alone and
// a connected one unheard, until the daemon's watchdog undid the limit behind our back.
bool due(const std::optional<QDateTime>& stamp, const QDateTime& date, qint64 spacingSeconds)
{
    return spaced(stamp, date, spacingSeconds) || date < *stamp;
}

} // namespace

AppState& AppState::shared()
{
    // Never released: the engines live as long as the process.
    static AppState* instance = new AppState(AppContext::system());
    return *instance;
}

AppState::AppState(AppContext context, QObject* parent)
    : QObject(parent)
    , m_clock(*context.clock)
    , m_calendar(context.calendar)
    , m_workspace(context.workspace ? context.workspace : std::make_shared<FakeWorkspace>())
    , m_services(context.services ? context.services
                                  : std::make_shared<BusServiceManagement>(context.helperBus,
                                        BusServiceManagement::standardOptions(QString(HelperProtocol::label))))
    , m_systemBus(context.systemBus)
    , m_monitorInterval(context.monitorIntervalSeconds)
    , m_registerWait(context.helper.registerWait)
    , m_defaults(std::make_unique<UserDefaults>(context.defaultsPath))
{
    const LocalCalendar& calendar = m_calendar;
    m_loginItem = std::make_unique<LoginItem>(context.loginItem.value_or(LoginItem::standardOptions()));
    m_updater = std::make_unique<UpdaterManager>(context.updater, *m_defaults, driverOf(context), m_clock);
    m_monitor = std::make_unique<BatteryMonitor>(context.sysfsRoot, m_clock, context.powerSourcePoll);
    m_onboardingCompleted = m_defaults->boolean(QString::fromLatin1(onboardingCompletedKey));
    m_settings = std::make_unique<ChargingSettings>(*m_defaults);
    m_helper = std::make_unique<HelperClient>(context.helperBus, *m_services, *m_defaults, context.helper);
    m_notifier = std::make_unique<Notifier>(context.sessionBus, m_clock);
    // A store that cannot be opened leaves the application without history; it runs on.
    m_history = HistoryStore::open(context.historyPath, nullptr, m_clock, calendar);
    m_adaptive = std::make_unique<AdaptiveEngine>(m_history.get(), *m_defaults, calendar);
    m_controller = std::make_unique<ChargeController>(*m_settings, *m_helper, *m_adaptive, calendar);
    m_tracker = std::make_unique<ProcessEnergyTracker>(*m_defaults, *m_workspace, m_clock);
    m_displayControl
        = std::make_unique<DisplayControl>(context.sysfsRoot, BacklightWriter::forRoot(context.sysfsRoot));
    m_savings = std::make_unique<SavingsModel>(*m_defaults, m_clock);
    m_strategist = std::make_unique<AIStrategist>(*m_settings, *m_defaults, m_clock, calendar);
    std::unique_ptr<NetworkPathMonitor> path
        = context.networkPath ? std::move(context.networkPath) : std::make_unique<SystemNetworkPathMonitor>();
    m_backend = std::make_unique<BackendClient>(*m_settings, *m_defaults, std::move(path), m_clock, context.backend);
    m_backendSync = std::make_unique<BackendSync>(
        *m_settings, *m_defaults, *m_backend, m_history.get(), *m_savings, *m_tracker, m_clock);
    m_powerSaver = std::make_unique<PowerSaverEngine>(*m_settings, *m_helper, *m_tracker, *m_displayControl,
        m_history.get(), *m_notifier, *m_savings, *m_defaults, m_clock, calendar);
    m_powerSaver->setStrategist(m_strategist.get());
    m_powerSaver->languageCode = &AppLanguage::resolvedCode;
    m_strategist->setBackend(m_backend.get());
}

AppState::~AppState()
{
    // Tasks still waiting end here: a reply cut short by an engine's destruction resumes
    // them while the other engines are already gone, and a pointer to this object would
    // still look alive until QObject's own destructor runs.
    m_lifetime.reset();
    // Nothing may reach back into a half-destroyed state.
    m_monitor->stop();
    m_monitor->onUpdate = nullptr;
    m_controller->onEvent = nullptr;
    m_powerSaver->onMilestone = nullptr;
    m_notifier->onNotificationTap = nullptr;
}

template <typename Work> void AppState::post(Work work)
{
    QTimer::singleShot(0, this, std::move(work));
}

void AppState::start()
{
    if (m_started)
        return;
    m_started = true;

    // Before onboarding ends, its notifications step asks instead.
    if (m_onboardingCompleted)
        m_notifier->requestAuthorization();
    m_helper->refreshStatus();
    m_adaptive->refreshPrediction(m_clock.now());
    if (m_history)
        m_history->pruneOldData(historyDays);
    m_powerSaver->loadLedgerTotals(m_clock.now());

    // The engines outlive none of these calls' targets: each is owned here, and the destructor
    // takes the closures back.
    m_controller->onEvent = [this](const ChargeController::Event& event) { handleControllerEvent(event); };
    m_powerSaver->onMilestone = [this](const SavingsStats::Milestone& milestone) { notifyMilestone(milestone); };
    m_notifier->onNotificationTap = [this](const QString& id) { routeNotificationTap(id); };
    m_monitor->onUpdate = [this](const BatterySnapshot& s) { handleSnapshot(s); };

    // The first reading passes through the main loop before this returns.
    m_monitor->start(m_monitorInterval);
    observeWorkspace();

    post([this] { connectHelperAtStart(); });
    post([this] { startBackend(); });
}

void AppState::shutDown()
{
    m_defaults->synchronize();
    if (m_history)
        m_history->close();
}

void AppState::observeWorkspace()
{
    // Without logind (no system bus, or a system without it) there is no wake notice: the
    // cache of applied charging state is then only renewed by the periodic heartbeat.
    m_sleepWatcher = std::make_unique<LogindSleepWatcher>(m_systemBus);
    // Now, not at the end of this turn: the machine may be asleep by then, and a sleep that
    // never wakes must not cost the figures that wait for their batch.
    connect(m_sleepWatcher.get(), &LogindSleepWatcher::willSleep, this, [this] { m_defaults->synchronize(); });
    connect(m_sleepWatcher.get(), &LogindSleepWatcher::didWake, this, [this] {
        post([this] {
            // The firmware may have reset the charging state while asleep: write it all again.
            m_controller->invalidateAppliedCache();
            m_monitor->refresh();
        });
    });
    connect(m_workspace.get(), &Workspace::applicationActivated, this, [this](const RunningApplication& app) {
        post([this, app] {
            m_tracker->noteActivated(app);
            m_powerSaver->appActivated(app.localizedName);
        });
    });
}

QCoro::Task<> AppState::connectHelperAtStart()
{
    QPointer<QObject> self(m_lifetime.get());
    co_await m_helper->ensureConnected();
    if (self)
        co_await evaluateNow();
}

QCoro::Task<> AppState::startBackend()
{
    // Each step follows the previous one whatever came of it.
    QPointer<QObject> self(m_lifetime.get());
    co_await m_backend->checkHealth(true);
    if (!self)
        co_return;
    co_await m_backend->registerIfNeeded();
    if (!self)
        co_return;
    co_await m_backendSync->restoreLearnedIfNeeded();
    if (!self)
        co_return;
    co_await m_backendSync->tick(true);
    if (self)
        co_await evaluateNow();
}

// The main loop --------------------------------------------------------------------------

void AppState::handleSnapshot(const BatterySnapshot& s)
{
    const std::optional<BatterySnapshot> previous = m_snapshot;
    setSnapshot(s);

    if (previous && previous->externalConnected != s.externalConnected)
        recordPlugChange(s);

    // Kept as the readings' dates say: after the clock was set back, no sample is stored
    // until a reading is dated well after the last one stored.
    if (spaced(m_lastSavedAt, s.date, sampleSpacingSeconds)) {
        if (m_history) {
            BatterySample sample(s);
            m_history->save(sample);
        }
        m_lastSavedAt = s.date;
    }

    post([this] { m_backendSync->tick(false); });

    if (previous) {
        m_adaptive->updateChargeSpeed(*previous, s);
        m_adaptive->updateDrainModel(*previous, s);
    }
    checkNotifications(s);
    startEvaluation(s);
}

void AppState::recordPlugChange(const BatterySnapshot& s)
{
    if (m_history) {
        PlugEventRecord event(m_clock.now(), s.externalConnected, s.socPercent);
        m_history->save(event);
    }
    m_adaptive->refreshPrediction(m_clock.now());
    // A new plug session: "limit" and "full" may be announced once more.
    m_limitNotifiedThisSession = false;
    m_fullNotifiedThisSession = false;
}

void AppState::startEvaluation(const BatterySnapshot& s)
{
    if (!m_helper->isConnected() && due(m_lastReconnectAt, s.date, reconnectSpacingSeconds)) {
        m_lastReconnectAt = s.date;
        post([this, s] { reconnectAndEvaluate(s); });
    } else if (m_helper->isConnected() && due(m_lastHeartbeatAt, s.date, heartbeatSpacingSeconds)) {
        m_lastHeartbeatAt = s.date;
        post([this, s] { heartbeatAndEvaluate(s); });
    } else {
        post([this, s] { evaluateEngines(s); });
    }
}

QCoro::Task<> AppState::reconnectAndEvaluate(BatterySnapshot s)
{
    // Charge control only: the power saver waits for the next reading.
    QPointer<QObject> self(m_lifetime.get());
    co_await m_helper->ensureConnected();
    if (self)
        co_await m_controller->evaluate(s, m_clock.now());
}

QCoro::Task<> AppState::heartbeatAndEvaluate(BatterySnapshot s)
{
    // Also tells the daemon's watchdog that the application is still here.
    QPointer<QObject> self(m_lifetime.get());
    const std::optional<SMCChargingState> state = co_await m_helper->readChargingState();
    if (!self)
        co_return;
    if (state)
        m_controller->reconcile(*state);
    co_await evaluateEngines(s);
}

QCoro::Task<> AppState::evaluateEngines(BatterySnapshot s)
{
    QPointer<QObject> self(m_lifetime.get());
    co_await m_controller->evaluate(s, m_clock.now());
    if (self)
        co_await m_powerSaver->evaluate(s, m_clock.now());
}

QCoro::Task<> AppState::evaluateNow()
{
    // The monitor's reading, which may be ahead of `snapshot` while it passes the main loop.
    std::optional<BatterySnapshot> reading = m_monitor->current();
    if (!reading)
        reading = m_monitor->refresh();
    if (reading)
        co_await evaluateEngines(*reading);
}

// Notification rules -----------------------------------------------------------------------

void AppState::handleControllerEvent(const ChargeController::Event& event)
{
    switch (event.kind) {
    case ChargeController::Event::Kind::StartedHolding:
        if (!m_settings->notifyOnLimitReached() || m_limitNotifiedThisSession)
            return;
        m_limitNotifiedThisSession = true;
        m_notifier->notify(QStringLiteral("limit"), Localized::text("充電上限に到達しました"),
            Localized::fmt("%lld%%で充電を停止しました。バッテリーの劣化を抑えます。", qint64(event.limit)), 0);
        return;
    case ChargeController::Event::Kind::HelperError:
        m_notifier->notify(QStringLiteral("helpererror"), Localized::text("充電制御エラー"), event.message, 600);
        return;
    case ChargeController::Event::Kind::ExternalInterference:
        m_notifier->notify(
            QStringLiteral("interference"), Localized::text("充電制御の競合を検出"), event.message, 21600);
        return;
    case ChargeController::Event::Kind::StartedCharging:
        return;
    }
}

void AppState::notifyMilestone(const SavingsStats::Milestone& milestone)
{
    if (m_settings->notifyMilestones())
        m_notifier->notify(QStringLiteral("milestone-") + milestone.key, milestone.title, milestone.body, 0);
}

void AppState::routeNotificationTap(const QString& id)
{
    if (id.startsWith(QLatin1String("milestone"))) {
        ++m_shareRequestTick;
        emit shareRequestTickChanged(m_shareRequestTick);
    } else {
        requestWindow();
    }
}

void AppState::requestWindow()
{
    ++m_windowRequestTick;
    emit windowRequestTickChanged(m_windowRequestTick);
}

void AppState::checkNotifications(const BatterySnapshot& s)
{
    if (m_settings->notifyOnFull() && s.socPercent >= 100 && s.fullyCharged && s.externalConnected
        && !m_fullNotifiedThisSession) {
        m_fullNotifiedThisSession = true;
        m_notifier->notify(QStringLiteral("full"), Localized::text("満充電が完了しました"),
            Localized::text("バッテリーが100%になりました。"), 0);
    }
    if (m_settings->notifyHighTemp() && s.temperatureC >= m_settings->highTempThreshold()) {
        m_notifier->notify(QStringLiteral("hightemp"), Localized::text("バッテリー温度が高くなっています"),
            Localized::fmt("現在 %.1f°C。高温はバッテリー劣化を早めます。", s.temperatureC), 1800);
    }
    checkDrain(s);
}

void AppState::checkDrain(const BatterySnapshot& s)
{
    const double drainW = -(s.amperageA * s.voltageV);
    const double typicalW = m_adaptive->typicalDrainWatts();
    const bool applies = m_settings->notifyHighDrain() && !s.externalConnected && drainW > 0;
    if (!applies || !(drainW > std::max(1.8 * typicalW, 10.0))) {
        m_abnormalDrainStreak = 0;
        return;
    }
    // One reading may be a spike; two in a row are a pattern.
    if (++m_abnormalDrainStreak < 2)
        return;
    m_notifier->notify(QStringLiteral("drain"), Localized::text("バッテリー消費が異常に多いです"),
        Localized::fmt("現在 %.1fW 消費中(通常 約%.1fW)。インサイトで消費源を確認できます。", drainW, typicalW), 3600);
    if (!m_strategist->isReady())
        return;
    const QJsonObject context = diagnosisContext(s, drainW, typicalW);
    post([this, context] { diagnose(context); });
}

QJsonObject AppState::diagnosisContext(const BatterySnapshot& s, double drainW, double typicalW) const
{
    QJsonArray processes;
    for (const ProcessPowerSample& process : m_tracker->latestProcesses().mid(0, 10))
        processes.append(QJsonObject{{QStringLiteral("name"), process.name},
            {QStringLiteral("impact"), Rounding::towardZero(process.energyImpact)}});
    return QJsonObject{
        {QStringLiteral("drain_w"), Rounding::toPlaces(drainW, 1)},
        {QStringLiteral("typical_drain_w"), Rounding::toPlaces(typicalW, 1)},
        {QStringLiteral("soc"), s.socPercent},
        {QStringLiteral("top_processes"), processes},
        {QStringLiteral("lang"), AppLanguage::resolvedCode()},
    };
}

QCoro::Task<> AppState::diagnose(QJsonObject context)
{
    QPointer<QObject> self(m_lifetime.get());
    const std::optional<QString> diagnosis = co_await m_strategist->diagnoseAnomaly(context);
    if (!self || !diagnosis)
        co_return;
    const QString shown = Graphemes::prefix(*diagnosis, diagnosisLength);
    m_notifier->notify(QStringLiteral("drain-ai"), Localized::text("AI診断"), shown, 1800);
    logAction(QStringLiteral("strategy"), Localized::fmt("異常診断: %@", shown));
}

// Commands -------------------------------------------------------------------------------

void AppState::requestTopUp()
{
    m_controller->setTopUpActive(true);
    post([this] { evaluateNow(); });
}

void AppState::cancelTopUp()
{
    m_controller->setTopUpActive(false);
    post([this] { evaluateNow(); });
}

void AppState::registerHelper()
{
    m_helper->registerDaemon(true);
    post([this] { connectAfterRegistering(); });
}

QCoro::Task<> AppState::connectAfterRegistering()
{
    // The bus needs a moment to take up a new registration.
    QPointer<QObject> self(m_lifetime.get());
    co_await QCoro::sleepFor(m_registerWait);
    if (!self)
        co_return;
    co_await m_helper->ensureConnected();
    if (self)
        co_await evaluateNow();
}

QCoro::Task<> AppState::repairHelper()
{
    QPointer<QObject> self(m_lifetime.get());
    // Re-registering drops the connection: let an attempt that is setting one up finish first.
    co_await m_helper->waitForInFlightEnsure();
    if (!self)
        co_return;
    m_defaults->remove(QString::fromLatin1(HelperClient::buildKey));
    co_await m_helper->reregister(true);
    if (!self)
        co_return;
    co_await m_helper->tryConnectAndProbe();
    if (self)
        co_await evaluateNow();
}

QCoro::Task<> AppState::reconnectHelperIfNeeded()
{
    if (m_helper->isConnected())
        co_return;
    QPointer<QObject> self(m_lifetime.get());
    co_await m_helper->ensureConnected();
    if (self && m_helper->isConnected())
        co_await evaluateNow();
}

QCoro::Task<> AppState::refreshInsights()
{
    if (!m_helper->isConnected() || m_insightsLoading)
        co_return;
    QPointer<QObject> self(m_lifetime.get());
    setInsightsLoading(true);
    const std::optional<PowerMetricsReport> report = co_await m_helper->samplePowerMetrics(3);
    if (!self)
        co_return;
    setInsights(report);
    setInsightsLoading(false);
}

void AppState::recordShare(SharePeriod period)
{
    logAction(QStringLiteral("share"), period.rawValue());
    post([this] { m_backendSync->tick(false); });
}

void AppState::completeOnboarding()
{
    setOnboardingCompleted(true);
    m_defaults->set(QString::fromLatin1(onboardingCompletedKey), true);
}

void AppState::logAction(const QString& action, const QString& detail)
{
    if (!m_history)
        return;
    PowerActionRecord record(m_clock.now(), action, detail);
    m_history->save(record);
}

// Observed values ---------------------------------------------------------------------------

void AppState::setSnapshot(const BatterySnapshot& snapshot)
{
    const bool changed = m_snapshot != snapshot;
    m_snapshot = snapshot;
    if (changed)
        emit snapshotChanged();
}

void AppState::setInsights(const std::optional<PowerMetricsReport>& insights)
{
    m_insights = insights;
    emit insightsChanged();
}

void AppState::setInsightsLoading(bool loading)
{
    if (m_insightsLoading == loading)
        return;
    m_insightsLoading = loading;
    emit insightsLoadingChanged(loading);
}

void AppState::setOnboardingCompleted(bool completed)
{
    if (m_onboardingCompleted == completed)
        return;
    m_onboardingCompleted = completed;
    emit onboardingCompletedChanged(completed);
}

} // namespace kestrune
