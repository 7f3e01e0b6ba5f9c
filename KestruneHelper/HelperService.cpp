#include "KestruneHelper/HelperService.h"

#include "KestruneHelper/ChargingSMC.h"
#include "KestruneHelper/ContactWatchdog.h"
#include "KestruneHelper/PowerMetricsSampler.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/SMCChargingState.h"

#include <QDBusError>
#include <QPointer>

#include <limits>
#include <unistd.h>

namespace kestrune {

namespace {

const QString smcKeyCHWA = QStringLiteral("CHWA");

} // namespace

HelperService::HelperService(Config config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_bus(QString())
    , m_policy{QDBusConnection(QString()), static_cast<std::uint32_t>(geteuid()), m_config.consultPolkit,
               QString(HelperProtocol::controlAction), m_config.loginDefsPath}
    , m_lastContact(m_config.clock->now())
    , m_powerOps(PowerSaverOps::Config{m_config.tools, m_config.loginDefsPath, m_config.commandTimeoutMs})
    , m_queue(QString(HelperProtocol::label) + QStringLiteral(".smc"))
    , m_powerQueue(QString(HelperProtocol::label) + QStringLiteral(".power"))
{
    m_watchdog = new ContactWatchdog(
        m_config.watchdogPeriodMs, m_config.watchdogSilenceMs, *m_config.clock, [this] { return m_lastContact; },
        [this] { restoreAfterSilence(); });
    m_watchdog->moveToThread(m_queue.thread());
    ContactWatchdog* watchdog = m_watchdog;
    m_queue.post([watchdog] { watchdog->start(); });
}

HelperService::~HelperService()
{
    m_queue.runAndWait([this] {
        delete m_watchdog;
        m_watchdog = nullptr;
    });
}

bool HelperService::registerOn(QDBusConnection bus, QString* error)
{
    m_bus = bus;
    m_policy.bus = bus;
    const QString label(HelperProtocol::label);
    if (!bus.registerObject(QString(HelperProtocol::objectPath), this, QDBusConnection::ExportScriptableSlots)) {
        if (error)
            *error = QStringLiteral("cannot export the object: %1").arg(bus.lastError().message());
        return false;
    }
    if (!bus.registerService(label)) {
        if (error)
            *error = QStringLiteral("cannot take the name %1: %2").arg(label, bus.lastError().message());
        bus.unregisterObject(QString(HelperProtocol::objectPath));
        return false;
    }
    // A verdict is kept while its bus name lives; the bus announces when a name goes.
    bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                SLOT(nameOwnerChanged(QString, QString, QString)));
    return true;
}

// --- Authorisation -----------------------------------------------------------------------

void HelperService::admit(Work work, bool answered)
{
    const QDBusMessage call = message();
    if (static_cast<int>(m_admissions.size()) >= m_config.maxWaitingCalls) {
        // Every waiting call costs memory and a check; a flood is turned away at the door.
        if (!answered)
            sendErrorReply(QDBusError::LimitsExceeded,
                           QStringLiteral("%1 is busy: too many calls are waiting").arg(QString(HelperProtocol::label)));
        return;
    }
    if (!answered)
        setDelayedReply(true);
    const QString sender = call.service();
    const auto known = m_callers.constFind(sender);
    m_admissions.push_back(Admission{call, std::move(work), answered,
                                     known != m_callers.cend() ? *known : std::nullopt});
    if (known == m_callers.cend()) {
        m_callers.insert(sender, std::nullopt);
        authorise(sender);
    }
    runAdmitted();
}

QCoro::Task<> HelperService::authorise(QString sender)
{
    QPointer<HelperService> self(this);
    const Verdict verdict = co_await CallerAuthorisation::check(m_policy, sender);
    if (!self)
        co_return;
    // A name that went away meanwhile is not remembered; its calls still get their answer.
    const auto entry = m_callers.find(sender);
    if (entry != m_callers.end())
        *entry = verdict;
    for (Admission& admission : m_admissions) {
        if (admission.message.service() == sender)
            admission.verdict = verdict;
    }
    runAdmitted();
}

void HelperService::runAdmitted()
{
    // Calls go on in the order they arrived, whichever check finished first.
    while (!m_admissions.empty() && m_admissions.front().verdict) {
        Admission admission = std::move(m_admissions.front());
        m_admissions.pop_front();
        if (admission.verdict->allowed) {
            admission.work(admission.message, admission.verdict->uid);
        } else if (!admission.answered) {
            m_bus.send(admission.message.createErrorReply(
                QDBusError::AccessDenied,
                QStringLiteral("This caller may not control %1").arg(QString(HelperProtocol::label))));
        }
    }
}

void HelperService::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (newOwner.isEmpty())
        m_callers.remove(name);
}

// --- Plumbing ------------------------------------------------------------------------------

void HelperService::touch()
{
    m_queue.post([this] { m_lastContact = m_config.clock->now(); });
}

void HelperService::reply(const QDBusMessage& message, const std::optional<QByteArray>& json) const
{
    // An answer that cannot be encoded goes out empty: the caller reads that as no answer.
    m_bus.send(message.createReply(QVariant::fromValue(json.value_or(QByteArray()))));
}

SMCConnection& HelperService::smc()
{
    if (!m_smcConnection)
        m_smcConnection = std::make_unique<SMCConnection>(m_config.sysfsRoot);
    return *m_smcConnection;
}

void HelperService::smcCommand(std::function<void(ChargingSMC&)> command)
{
    admit([this, command = std::move(command)](const QDBusMessage& call, std::uint32_t) {
        touch();
        m_queue.post([this, call, command] {
            HelperCommandResult result = HelperCommandResult::ok();
            try {
                ChargingSMC charging(smc());
                command(charging);
            } catch (const SMCError& error) {
                result = HelperCommandResult::failure(error.text());
            }
            reply(call, result.toJson());
        });
    });
}

void HelperService::powerCommand(std::function<void(PowerSaverOps&, std::uint32_t callerUid)> command)
{
    admit([this, command = std::move(command)](const QDBusMessage& call, std::uint32_t callerUid) {
        touch();
        m_powerQueue.post([this, call, command, callerUid] {
            HelperCommandResult result = HelperCommandResult::ok();
            try {
                command(m_powerOps, callerUid);
            } catch (const OpsError& error) {
                result = HelperCommandResult::failure(error.text());
            }
            reply(call, result.toJson());
        });
    });
}

// --- The protocol --------------------------------------------------------------------------

qlonglong HelperService::getVersion()
{
    // Anyone may ask the version; only an allowed caller's question counts as contact.
    admit([this](const QDBusMessage&, std::uint32_t) { touch(); }, true);
    return HelperProtocol::version;
}

QByteArray HelperService::probeCapabilities()
{
    admit([this](const QDBusMessage& call, std::uint32_t) {
        touch();
        m_queue.post([this, call] {
            ChargingCapabilities capabilities;
            try {
                ChargingSMC charging(smc());
                capabilities = charging.probe();
            } catch (const SMCError& error) {
                capabilities.notes << QStringLiteral("SMC接続エラー: ") + error.text();
            }
            reply(call, capabilities.toJson());
        });
    });
    return {};
}

QByteArray HelperService::setChargingEnabled(bool enabled)
{
    smcCommand([enabled](ChargingSMC& charging) { charging.setChargingEnabled(enabled); });
    return {};
}

QByteArray HelperService::setForceDischarge(bool on)
{
    smcCommand([on](ChargingSMC& charging) { charging.setForceDischarge(on); });
    return {};
}

QByteArray HelperService::setAppleLimit80(bool on)
{
    smcCommand([on](ChargingSMC& charging) { charging.writeSized(smcKeyCHWA, on ? 1 : 0); });
    return {};
}

QByteArray HelperService::readChargingState()
{
    admit([this](const QDBusMessage& call, std::uint32_t) {
        touch();
        m_queue.post([this, call] {
            SMCChargingState state;
            try {
                ChargingSMC charging(smc());
                state = charging.readState();
            } catch (const SMCError&) {
                // Nothing can be read without the controller: nothing is held.
            }
            reply(call, state.toJson());
        });
    });
    return {};
}

QByteArray HelperService::samplePowerMetrics(qlonglong durationSeconds)
{
    admit([this, durationSeconds](const QDBusMessage& call, std::uint32_t) {
        touch();
        const QString program = m_config.tools.resolve(QString::fromLatin1(SystemTools::powermetrics));
        const int grace = m_config.samplerGraceMs;
        const Clock* clock = m_config.clock;
        const QDBusConnection bus = m_bus;
        const bool queued = m_samplings.submit(call.service(), [call, program, grace, clock, bus, durationSeconds] {
            const PowerMetricsReport report = PowerMetricsSampler::sample(durationSeconds, program, grace, *clock);
            bus.send(call.createReply(QVariant::fromValue(report.toJson().value_or(QByteArray()))));
        });
        if (!queued) {
            m_bus.send(call.createErrorReply(QDBusError::LimitsExceeded,
                                             QStringLiteral("too many samplings of this caller are waiting")));
        }
    });
    return {};
}

QByteArray HelperService::resetChargingDefaults()
{
    smcCommand([](ChargingSMC& charging) { charging.resetDefaults(); });
    return {};
}

QByteArray HelperService::setLowPowerMode(bool on)
{
    powerCommand([on](PowerSaverOps& ops, std::uint32_t) { ops.setLowPowerMode(on); });
    return {};
}

QByteArray HelperService::setProcessThrottled(qlonglong pid, bool throttled)
{
    if (pid < std::numeric_limits<std::int32_t>::min() || pid > std::numeric_limits<std::int32_t>::max()) {
        // No process has such an id: the answer says so, and nothing else happens.
        admit([this, pid](const QDBusMessage& call, std::uint32_t) {
            reply(call, HelperCommandResult::failure(OpsError::invalidPID(pid).text()).toJson());
        });
        return {};
    }
    const auto processId = static_cast<std::int32_t>(pid);
    powerCommand([processId, throttled](PowerSaverOps& ops, std::uint32_t callerUid) {
        ops.setProcessThrottled(processId, throttled, callerUid);
    });
    return {};
}

QByteArray HelperService::setSpotlightPaused(bool paused)
{
    powerCommand([paused](PowerSaverOps& ops, std::uint32_t) { ops.setSpotlightPaused(paused); });
    return {};
}

QByteArray HelperService::setTimeMachinePaused(bool paused)
{
    powerCommand([paused](PowerSaverOps& ops, std::uint32_t) { ops.setTimeMachinePaused(paused); });
    return {};
}

QByteArray HelperService::restoreAllPowerSaving()
{
    powerCommand([](PowerSaverOps& ops, std::uint32_t) {
        if (const auto error = ops.restoreAll())
            throw *error;
    });
    return {};
}

// --- The watchdog --------------------------------------------------------------------------

void HelperService::restoreAfterSilence()
{
    try {
        ChargingSMC charging(smc());
        const SMCChargingState state = charging.readState();
        if (state.chargingInhibited || state.forceDischarging) {
            try {
                charging.resetDefaults();
            } catch (const SMCError&) {
                // The next look tries again while the hold stays.
            }
        }
    } catch (const SMCError&) {
        // No controller: only the power-saving half applies.
    }
    m_powerQueue.post([this] {
        if (m_powerOps.holdsAnything())
            m_powerOps.restoreAll();
    });
}

} // namespace kestrune
