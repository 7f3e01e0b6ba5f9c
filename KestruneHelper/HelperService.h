#pragma once

#include "Foundation/Clock.h"
#include "KestruneHelper/CallerAuthorisation.h"
#include "KestruneHelper/PowerSaverOps.h"
#include "KestruneHelper/SMCConnection.h"
#include "KestruneHelper/SamplingQueue.h"
#include "KestruneHelper/SerialQueue.h"
#include "Platform/SystemTools/SystemTools.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDateTime>
#include <QHash>
#include <QObject>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace kestrune {

class ChargingSMC;
class ContactWatchdog;

// The daemon's one service object: the thirteen protocol methods on the bus. Controller
// work runs on one serial queue, power-saving work on a second, samplings beside them; each
// call is answered from where its work ran. Callers are authorised first, once per bus name,
// and their calls run in the order they arrived; a watchdog undoes every hold once the
// application has been silent too long.
class HelperService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrune.helper")

public:
    struct Config {
        // The machine whose controller keys are driven.
        QString sysfsRoot = QStringLiteral("/sys");
        SystemTools tools;
        QString loginDefsPath = QStringLiteral("/etc/login.defs");
        // Whether callers other than root and the daemon's user are put to polkit.
        bool consultPolkit = false;
        int watchdogPeriodMs = 300'000;
        int watchdogSilenceMs = 900'000;
        int commandTimeoutMs = 60'000;
        int samplerGraceMs = 15'000;
        // Calls waiting for their caller's authorisation; more are refused at once.
        int maxWaitingCalls = 64;
        const Clock* clock = &Clock::system();
    };

    explicit HelperService(Config config, QObject* parent = nullptr);
    ~HelperService() override;

    // Exports the object at "/" and takes the daemon's bus name on `bus`.
    bool registerOn(QDBusConnection bus, QString* error = nullptr);

public Q_SLOTS:
    Q_SCRIPTABLE qlonglong getVersion();
    Q_SCRIPTABLE QByteArray probeCapabilities();
    Q_SCRIPTABLE QByteArray setChargingEnabled(bool enabled);
    Q_SCRIPTABLE QByteArray setForceDischarge(bool on);
    Q_SCRIPTABLE QByteArray setAppleLimit80(bool on);
    Q_SCRIPTABLE QByteArray readChargingState();
    Q_SCRIPTABLE QByteArray samplePowerMetrics(qlonglong durationSeconds);
    Q_SCRIPTABLE QByteArray resetChargingDefaults();
    Q_SCRIPTABLE QByteArray setLowPowerMode(bool on);
    Q_SCRIPTABLE QByteArray setProcessThrottled(qlonglong pid, bool throttled);
    Q_SCRIPTABLE QByteArray setSpotlightPaused(bool paused);
    Q_SCRIPTABLE QByteArray setTimeMachinePaused(bool paused);
    Q_SCRIPTABLE QByteArray restoreAllPowerSaving();

private Q_SLOTS:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    using Verdict = CallerAuthorisation::Verdict;
    // Runs on the main thread once the caller is allowed, with the caller's user id.
    using Work = std::function<void(const QDBusMessage&, std::uint32_t callerUid)>;

    struct Admission {
        QDBusMessage message;
        Work work;
        // The call was answered already (getVersion); a refusal then sends nothing.
        bool answered;
        std::optional<Verdict> verdict;
    };

    // Queues the current call behind the authorisation of its sender.
    void admit(Work work, bool answered = false);
    QCoro::Task<> authorise(QString sender);
    void runAdmitted();

    // Records the contact on the controller queue, ahead of the call's own work there.
    void touch();
    void reply(const QDBusMessage& message, const std::optional<QByteArray>& json) const;
    // A command on the controller queue, answered with its result.
    void smcCommand(std::function<void(ChargingSMC&)> command);
    // A command on the power queue, answered with its result.
    void powerCommand(std::function<void(PowerSaverOps&, std::uint32_t callerUid)> command);

    // The controller connection, opened on first use and kept. Throws the opening error.
    // Controller queue only.
    SMCConnection& smc();
    // The watchdog's look after a long silence. Controller queue only.
    void restoreAfterSilence();

    Config m_config;
    QDBusConnection m_bus;
    CallerAuthorisation::Policy m_policy;
    std::deque<Admission> m_admissions;
    // The verdict per unique bus name, for as long as the name exists (the bus never gives
    // one to a second peer); nothing while the check runs.
    QHash<QString, std::optional<Verdict>> m_callers;
    SamplingQueue m_samplings;

    // Controller queue state.
    std::unique_ptr<SMCConnection> m_smcConnection;
    QDateTime m_lastContact;
    ContactWatchdog* m_watchdog = nullptr;
    // Power queue state.
    PowerSaverOps m_powerOps;

    // Last, so that they stop before the state their work uses goes away.
    SerialQueue m_queue;
    SerialQueue m_powerQueue;
};

} // namespace kestrune
