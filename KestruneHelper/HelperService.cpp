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
#include <QThreadPool>

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
    , m_policy{QDBusConnection(QString()), static_cast<uint>(geteuid()), m_config.consultPolkit,
               QString(HelperProtocol::controlAction)}
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
    return true;
}

// --- Authorisation -----------------------------------------------------------------------

void HelperService::admit(std::function<void(const QDBusMessage&)> work, bool answered)
{
    const QDBusMessage call = message();
    if (!answered)
        setDelayedReply(true);
    const quint64 ticket = m_nextTicket++;
    m_admissions.push_back(Admission{ticket, call, std::move(work), answered, std::nullopt});
    authorise(ticket, call.service());
}

QCoro::Task<> HelperService::authorise(quint64 ticket, QString sender)
{
    QPointer<HelperService> self(this);
    const bool allowed = co_await CallerAuthorisation::isAllowed(m_policy, sender);
    if (!self)
        co_return;
    for (Admission& admission : m_admissions) {
        if (admission.ticket == ticket)
            admission.allowed = allowed;
    }
    runAdmitted();
}

void HelperService::runAdmitted()
{
    // Calls go on in the order they arrived, whichever check finished first.
    while (!m_admissions.empty() && m_admissions.front().allowed) {
        Admission admission = std::move(m_admissions.front());
        m_admissions.pop_front();
        if (*admission.allowed) {
            admission.work(admission.message);
        } else if (!admission.answered) {
            m_bus.send(admission.message.createErrorReply(
                QDBusError::AccessDenied,
                QStringLiteral("This caller may not control %1").arg(QString(HelperProtocol::label))));
        }
    }
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
    admit([this, command = std::move(command)](const QDBusMessage& call) {
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

void HelperService::powerCommand(std::function<void(PowerSaverOps&)> command)
{
    admit([this, command = std::move(command)](const QDBusMessage& call) {
        touch();
        m_powerQueue.post([this, call, command] {
            HelperCommandResult result = HelperCommandResult::ok();
            try {
                command(m_powerOps);
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
    admit([this](const QDBusMessage&) { touch(); }, true);
    return HelperProtocol::version;
}

QByteArray HelperService::probeCapabilities()
{
    admit([this](const QDBusMessage& call) {
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
    admit([this](const QDBusMessage& call) {
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
    admit([this, durationSeconds](const QDBusMessage& call) {
        touch();
        const QString program = m_config.tools.resolve(QString::fromLatin1(SystemTools::powermetrics));
        const int grace = m_config.samplerGraceMs;
        const Clock* clock = m_config.clock;
        const QDBusConnection bus = m_bus;
        // A sampling holds its thread for seconds and shares nothing, so it runs beside the queues.
        QThreadPool::globalInstance()->start([call, program, grace, clock, bus, durationSeconds] {
            const PowerMetricsReport report = PowerMetricsSampler::sample(durationSeconds, program, grace, *clock);
            bus.send(call.createReply(QVariant::fromValue(report.toJson().value_or(QByteArray()))));
        });
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
    powerCommand([on](PowerSaverOps& ops) { ops.setLowPowerMode(on); });
    return {};
}

QByteArray HelperService::setProcessThrottled(qlonglong pid, bool throttled)
{
    if (pid < std::numeric_limits<std::int32_t>::min() || pid > std::numeric_limits<std::int32_t>::max()) {
        // No process has such an id: the answer says so, and nothing else happens.
        admit([this, pid](const QDBusMessage& call) {
            reply(call, HelperCommandResult::failure(OpsError::invalidPID(pid).text()).toJson());
        });
        return {};
    }
    const auto processId = static_cast<std::int32_t>(pid);
    powerCommand([processId, throttled](PowerSaverOps& ops) { ops.setProcessThrottled(processId, throttled); });
    return {};
}

QByteArray HelperService::setSpotlightPaused(bool paused)
{
    powerCommand([paused](PowerSaverOps& ops) { ops.setSpotlightPaused(paused); });
    return {};
}

QByteArray HelperService::setTimeMachinePaused(bool paused)
{
    powerCommand([paused](PowerSaverOps& ops) { ops.setTimeMachinePaused(paused); });
    return {};
}

QByteArray HelperService::restoreAllPowerSaving()
{
    powerCommand([](PowerSaverOps& ops) {
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
