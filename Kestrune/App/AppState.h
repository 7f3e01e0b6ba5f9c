#pragma once

#include "Kestrune/App/AppContext.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Share/SavingsStats.h"
#include "Kestrune/Share/SharePeriod.h"
#include "Shared/PowerMetricsReport.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace kestrune {

class AdaptiveEngine;
class AIStrategist;
class BackendClient;
class BackendSync;
class BatteryMonitor;
class ChargingSettings;
class DisplayControl;
class HelperClient;
class HistoryStore;
class LogindSleepWatcher;
class LoginItem;
class Notifier;
class PowerSaverEngine;
class ProcessEnergyTracker;
class SavingsModel;
class UpdaterManager;
class UserDefaults;

// The application's composition root: it builds every engine over the machine's seams, wires
// them to each other, and runs the main loop that handles each battery reading (history, plug
// events, learning, notifications, the evaluation of charge control and the power saver).
//
// Views read the observed values below and the engines through the accessors, and call the
// commands; nothing else drives the engines. Everything runs on the main thread.
//
// Observed values notify only when they change, except `insights`, which notifies on every
// assignment. The two ticks only ever grow by one: a consumer remembers the last value it
// handled and acts when the tick is greater (windowRequestTick: open the main window, or the
// onboarding window while onboarding is not complete; shareRequestTick: the share window).
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<kestrune::BatterySnapshot> snapshot READ snapshot NOTIFY snapshotChanged)
    Q_PROPERTY(std::optional<kestrune::PowerMetricsReport> insights READ insights NOTIFY insightsChanged)
    Q_PROPERTY(bool insightsLoading READ insightsLoading NOTIFY insightsLoadingChanged)
    Q_PROPERTY(bool onboardingCompleted READ onboardingCompleted NOTIFY onboardingCompletedChanged)
    Q_PROPERTY(int windowRequestTick READ windowRequestTick NOTIFY windowRequestTickChanged)
    Q_PROPERTY(int shareRequestTick READ shareRequestTick NOTIFY shareRequestTickChanged)

public:
    static constexpr auto onboardingCompletedKey = "onboardingCompleted";
    // Smallest gaps, between the dates of readings, of the main loop's periodic work.
    static constexpr qint64 sampleSpacingSeconds = 55;
    static constexpr qint64 reconnectSpacingSeconds = 60;
    static constexpr qint64 heartbeatSpacingSeconds = 240;
    // History older than this is pruned at start.
    static constexpr int historyDays = 90;
    // The longest AI diagnosis a notification carries, in characters as the user sees them.
    static constexpr qsizetype diagnosisLength = 160;

    // The application's one instance, built on first use from AppContext::system() and kept
    // until the process ends.
    static AppState& shared();

    // Builds every engine over `context`; nothing is read from the battery or the daemon
    // before start().
    explicit AppState(AppContext context, QObject* parent = nullptr);
    ~AppState() override;

    // Starts the application: the helper's status, the unplug prediction, history pruning,
    // today's savings ledger, the engines' callbacks, the battery monitor (whose first reading
    // is handled before this returns), wake and activation notices, and the two start-up
    // tasks (connect to the helper; the backend's health, registration, restore and sync).
    // A second call does nothing.
    void start();
    // At quit, once the event loop has ended: writes what waits to be written and closes the
    // history store, so that the next launch finds it closed cleanly. Nothing may use the
    // store after it.
    void shutDown();

    // Observed values.
    const std::optional<BatterySnapshot>& snapshot() const { return m_snapshot; }
    // The last per-application power measurement; cleared by a failed one.
    const std::optional<PowerMetricsReport>& insights() const { return m_insights; }
    bool insightsLoading() const { return m_insightsLoading; }
    bool onboardingCompleted() const { return m_onboardingCompleted; }
    int windowRequestTick() const { return m_windowRequestTick; }
    int shareRequestTick() const { return m_shareRequestTick; }

    // The engines, owned for the whole life of the application.
    UserDefaults& defaults() const { return *m_defaults; }
    const Clock& clock() const { return m_clock; }
    // Where the user's days begin: the engines' calendar, for views that name today.
    const LocalCalendar& calendar() const { return m_calendar; }
    UpdaterManager& updater() const { return *m_updater; }
    BatteryMonitor& monitor() const { return *m_monitor; }
    ChargingSettings& settings() const { return *m_settings; }
    HelperClient& helper() const { return *m_helper; }
    Notifier& notifier() const { return *m_notifier; }
    // Null when the history store could not be opened: the application then keeps no history.
    HistoryStore* history() const { return m_history.get(); }
    AdaptiveEngine& adaptive() const { return *m_adaptive; }
    ChargeController& controller() const { return *m_controller; }
    ProcessEnergyTracker& tracker() const { return *m_tracker; }
    DisplayControl& displayControl() const { return *m_displayControl; }
    SavingsModel& savings() const { return *m_savings; }
    AIStrategist& strategist() const { return *m_strategist; }
    BackendClient& backend() const { return *m_backend; }
    BackendSync& backendSync() const { return *m_backendSync; }
    PowerSaverEngine& powerSaver() const { return *m_powerSaver; }
    // The daemon's registration with the system, and where the user allows it.
    ServiceManagement& services() const { return *m_services; }
    // The application's own launch at login.
    LoginItem& loginItem() const { return *m_loginItem; }

    // Null from the moment destruction begins. Tasks outside the state that wait on one of
    // its engines hold it: an engine's destruction may cut their wait short and resume them
    // while the other engines are already gone, and a pointer to the state itself would still
    // look alive then.
    QPointer<const QObject> lifetime() const { return m_lifetime.get(); }

    // Evaluates charge control, then the power saver, on the latest reading (reading the
    // battery first only when there is none yet). Views call it after a change of settings.
    QCoro::Task<> evaluateNow();

    // Commands.
    // Asks for one charge to 100 % (or cancels it) and evaluates at once.
    void requestTopUp();
    void cancelTopUp();
    // Registers the daemon (showing the user where to allow it if the system waits for that),
    // then connects and evaluates.
    void registerHelper();
    // Registers the daemon afresh, reconnects and evaluates, whatever the outcome.
    QCoro::Task<> repairHelper();
    // Connects when not connected, and evaluates once connected.
    QCoro::Task<> reconnectHelperIfNeeded();
    // Measures which applications use power, into `insights`; only while connected, one
    // measurement at a time.
    QCoro::Task<> refreshInsights();
    // Logs a shared card and lets the backend sync pick it up.
    void recordShare(SharePeriod period);
    // The first-run window is done; kept in the user defaults.
    void completeOnboarding();

    // The engines' upward notices, installed by start().
    void handleControllerEvent(const ChargeController::Event& event);
    void notifyMilestone(const SavingsStats::Milestone& milestone);
    // `id` as the notifier reports it ("limit-<UUID>"): milestones ask for the share window,
    // everything else for the main window.
    void routeNotificationTap(const QString& id);
    // Asks for the main window (the onboarding window while onboarding is not complete), for
    // code that has no window of its own to open: the launch, a reopen.
    void requestWindow();

signals:
    void snapshotChanged();
    void insightsChanged();
    void insightsLoadingChanged(bool loading);
    void onboardingCompletedChanged(bool completed);
    void windowRequestTickChanged(int tick);
    void shareRequestTickChanged(int tick);

private:
    // The main loop.
    void handleSnapshot(const BatterySnapshot& s);
    void recordPlugChange(const BatterySnapshot& s);
    void startEvaluation(const BatterySnapshot& s);
    QCoro::Task<> reconnectAndEvaluate(BatterySnapshot s);
    QCoro::Task<> heartbeatAndEvaluate(BatterySnapshot s);
    QCoro::Task<> evaluateEngines(BatterySnapshot s);

    // Notification rules.
    void checkNotifications(const BatterySnapshot& s);
    void checkDrain(const BatterySnapshot& s);
    QJsonObject diagnosisContext(const BatterySnapshot& s, double drainW, double typicalW) const;
    QCoro::Task<> diagnose(QJsonObject context);

    // Start-up tasks and command continuations.
    QCoro::Task<> connectHelperAtStart();
    QCoro::Task<> startBackend();
    QCoro::Task<> connectAfterRegistering();
    void observeWorkspace();

    // Runs `work` on the main thread once control returns to the event loop; dropped when this
    // object is gone by then.
    template <typename Work> void post(Work work);
    void logAction(const QString& action, const QString& detail);

    void setSnapshot(const BatterySnapshot& snapshot);
    void setInsights(const std::optional<PowerMetricsReport>& insights);
    void setInsightsLoading(bool loading);
    void setOnboardingCompleted(bool completed);

    // Gone as soon as destruction begins; the tasks hold it to tell whether to go on.
    std::unique_ptr<QObject> m_lifetime = std::make_unique<QObject>();
    const Clock& m_clock;
    LocalCalendar m_calendar;
    std::shared_ptr<Workspace> m_workspace;
    std::shared_ptr<ServiceManagement> m_services;
    QDBusConnection m_systemBus;
    double m_monitorInterval;
    std::chrono::milliseconds m_registerWait;

    // In the order they are built, so that each goes before what it uses.
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<UpdaterManager> m_updater;
    std::unique_ptr<BatteryMonitor> m_monitor;
    std::unique_ptr<ChargingSettings> m_settings;
    std::unique_ptr<HelperClient> m_helper;
    std::unique_ptr<Notifier> m_notifier;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<AdaptiveEngine> m_adaptive;
    std::unique_ptr<ChargeController> m_controller;
    std::unique_ptr<ProcessEnergyTracker> m_tracker;
    std::unique_ptr<DisplayControl> m_displayControl;
    std::unique_ptr<SavingsModel> m_savings;
    std::unique_ptr<AIStrategist> m_strategist;
    std::unique_ptr<BackendClient> m_backend;
    std::unique_ptr<BackendSync> m_backendSync;
    std::unique_ptr<PowerSaverEngine> m_powerSaver;
    std::unique_ptr<LogindSleepWatcher> m_sleepWatcher;
    std::unique_ptr<LoginItem> m_loginItem;

    std::optional<BatterySnapshot> m_snapshot;
    std::optional<PowerMetricsReport> m_insights;
    bool m_insightsLoading = false;
    bool m_onboardingCompleted = false;
    int m_windowRequestTick = 0;
    int m_shareRequestTick = 0;

    // Dates of the readings that last did each periodic job; none yet is the distant past.
    std::optional<QDateTime> m_lastSavedAt;
    std::optional<QDateTime> m_lastReconnectAt;
    std::optional<QDateTime> m_lastHeartbeatAt;
    bool m_limitNotifiedThisSession = false;
    bool m_fullNotifiedThisSession = false;
    int m_abnormalDrainStreak = 0;
    bool m_started = false;
};

} // namespace kestrune
