#include "Kestrune/Helper/HelperClient.h"

#include "Foundation/Localized.h"
#include "Kestrune/Helper/ConnectionAttempt.h"
#include "Kestrune/Helper/HelperCall.h"
#include "Shared/HelperProtocol.h"

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>

namespace kestrune {

namespace {

// A call is owned by the coroutine waiting for it, and handed to the event loop for deletion
// once that coroutine is done with it.
struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

HelperClient::Status statusFrom(ServiceManagement::Status status)
{
    switch (status) {
    case ServiceManagement::Status::NotRegistered:
        return HelperClient::Status::NotRegistered;
    case ServiceManagement::Status::Enabled:
        return HelperClient::Status::Enabled;
    case ServiceManagement::Status::RequiresApproval:
        return HelperClient::Status::RequiresApproval;
    case ServiceManagement::Status::NotFound:
        return HelperClient::Status::NotFound;
    default:
        return HelperClient::Status::Unknown;
    }
}

// A JSON answer travels as bytes; an empty array is the daemon's "no value".
std::optional<QByteArray> dataOf(const std::optional<QDBusMessage>& reply)
{
    if (!reply || reply->signature() != QLatin1StringView("ay"))
        return std::nullopt;
    QByteArray data = reply->arguments().constFirst().toByteArray();
    if (data.isEmpty())
        return std::nullopt;
    return data;
}

std::optional<qint64> versionOf(const std::optional<QDBusMessage>& reply)
{
    if (!reply || reply->signature() != QLatin1StringView("x"))
        return std::nullopt;
    return reply->arguments().constFirst().toLongLong();
}

QString connectFailedText()
{
    return Localized::text("ヘルパーに接続できません。システム設定で許可したあと「修復」を試してください。");
}

} // namespace

QString HelperClientConfig::applicationBuild()
{
    return QStringLiteral(KESTRUNE_BUILD_NUMBER);
}

QString HelperClient::label(Status status)
{
    switch (status) {
    case Status::Unknown:
        return Localized::text("確認中");
    case Status::NotRegistered:
        return Localized::text("未登録");
    case Status::RequiresApproval:
        return Localized::text("承認待ち(システム設定で許可してください)");
    case Status::Enabled:
        return Localized::text("有効");
    case Status::NotFound:
        return Localized::text("見つかりません");
    }
    return Localized::text("確認中");
}

HelperClient::HelperClient(QDBusConnection bus, ServiceManagement& services, UserDefaults& defaults,
                           HelperClientConfig config, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_services(services)
    , m_defaults(defaults)
    , m_config(std::move(config))
{
}

HelperClient::~HelperClient() = default;

// ---------------------------------------------------------------------------------------------
// Registration

void HelperClient::refreshStatus()
{
    setStatus(statusFrom(m_services.daemonStatus()));
}

void HelperClient::registerDaemon(bool openSettingsIfNeeded)
{
    if (const std::optional<QString> error = m_services.registerDaemon()) {
        refreshStatus();
        // The system may refuse a registration it already has; what counts is where it stands.
        if (m_status == Status::RequiresApproval || m_status == Status::Enabled) {
            setLastError(std::nullopt);
            recordBuild();
        } else {
            setLastError(Localized::text("登録エラー: ") + *error);
        }
    } else {
        setLastError(std::nullopt);
        recordBuild();
    }
    refreshStatus();
    if (openSettingsIfNeeded && m_status == Status::RequiresApproval)
        openLoginItems();
}

void HelperClient::unregister()
{
    const std::optional<QString> error = m_services.unregisterDaemon();
    setLastError(error ? std::optional<QString>(Localized::text("登録解除エラー: ") + *error) : std::nullopt);
    setCapabilities(std::nullopt);
    setHelperVersion(std::nullopt);
    setIsConnected(false);
    dropConnection();
    m_defaults.remove(QLatin1StringView(buildKey));
    refreshStatus();
}

QCoro::Task<> HelperClient::reregister(bool openSettingsIfNeeded)
{
    QPointer<HelperClient> self(this);
    dropConnection();
    setIsConnected(false);
    setCapabilities(std::nullopt);
    setHelperVersion(std::nullopt);

    // A failed unregistration is no reason not to register again.
    m_services.unregisterDaemon();
    co_await QCoro::sleepFor(m_config.reregisterWait);
    if (!self)
        co_return;
    registerDaemon(openSettingsIfNeeded);
    co_await QCoro::sleepFor(m_config.reregisterWait);
    if (!self)
        co_return;
    refreshStatus();
    recordBuild();
}

bool HelperClient::alreadyReregisteredThisBuild() const
{
    const std::optional<QString> recorded = m_defaults.string(QLatin1StringView(buildKey));
    return recorded && *recorded == m_config.build;
}

void HelperClient::recordBuild()
{
    m_defaults.set(QLatin1StringView(buildKey), m_config.build);
}

void HelperClient::openLoginItems()
{
    if (!m_services.openSystemSettingsLoginItems())
        setLastError(m_services.enableInstructions());
}

// ---------------------------------------------------------------------------------------------
// Connection

HelperConnection* HelperClient::activeConnection()
{
    if (m_connection)
        return m_connection;
    auto* connection = new HelperConnection(m_bus, HelperProtocol::label, HelperProtocol::objectPath, this);
    connect(connection, &HelperConnection::invalidated, this, [this, connection] {
        // Only the link in use may drop itself: word from a link replaced since must not take
        // its successor down.
        if (m_connection != connection)
            return;
        m_connection = nullptr;
        connection->deleteLater();
        emit connectionChanged();
    });
    m_connection = connection;
    emit connectionChanged();
    return connection;
}

void HelperClient::dropConnection()
{
    if (!m_connection)
        return;
    HelperConnection* connection = m_connection;
    m_connection = nullptr;
    connection->invalidate();
    connection->deleteLater();
    emit connectionChanged();
}

QCoro::Task<std::optional<QDBusMessage>> HelperClient::call(QString method, QVariantList arguments,
                                                            std::chrono::milliseconds timeout)
{
    // Nothing of the client is touched after the wait: the client may be gone by then.
    std::unique_ptr<HelperCall, DeleteLater> pending(activeConnection()->call(method, arguments, timeout));
    if (!pending->isFinished())
        co_await qCoro(pending.get(), &HelperCall::finished);
    co_return pending->reply();
}

QCoro::Task<std::optional<QByteArray>> HelperClient::callData(QString method, QVariantList arguments,
                                                              std::chrono::milliseconds timeout)
{
    co_return dataOf(co_await call(method, arguments, timeout));
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::command(QString method, QVariantList arguments)
{
    const std::optional<QByteArray> data = co_await callData(method, arguments, m_config.callTimeout);
    if (!data)
        co_return std::nullopt;
    co_return HelperCommandResult::fromJson(*data);
}

QCoro::Task<bool> HelperClient::tryConnectAndProbe()
{
    QPointer<HelperClient> self(this);
    const std::optional<qint64> version =
        versionOf(co_await call(HelperProtocol::getVersion, {}, m_config.versionTimeout));
    if (!self)
        co_return false;

    setHelperVersion(version);
    if (!version) {
        setIsConnected(false);
        if (m_status == Status::RequiresApproval || m_status == Status::Enabled)
            setLastError(connectFailedText());
        co_return false;
    }
    setIsConnected(true);
    setLastError(std::nullopt);
    if (*version != HelperProtocol::version)
        setLastError(Localized::text("ヘルパーのバージョンが一致しません(再ビルド/再登録してください)"));

    const std::optional<QByteArray> probe =
        co_await callData(HelperProtocol::probeCapabilities, {}, m_config.callTimeout);
    if (!self)
        co_return true;
    setCapabilities(probe ? ChargingCapabilities::fromJson(*probe) : std::nullopt);
    co_return true;
}

QCoro::Task<bool> HelperClient::ensureConnected()
{
    std::shared_ptr<ConnectionAttempt> attempt = m_inFlightEnsure;
    if (!attempt) {
        attempt = std::make_shared<ConnectionAttempt>();
        m_inFlightEnsure = attempt;
        runEnsure(attempt);
    }
    if (!attempt->isFinished())
        co_await qCoro(attempt.get(), &ConnectionAttempt::finished);
    co_return attempt->result();
}

QCoro::Task<> HelperClient::waitForInFlightEnsure()
{
    const std::shared_ptr<ConnectionAttempt> attempt = m_inFlightEnsure;
    if (attempt && !attempt->isFinished())
        co_await qCoro(attempt.get(), &ConnectionAttempt::finished);
}

QCoro::Task<> HelperClient::runEnsure(std::shared_ptr<ConnectionAttempt> attempt)
{
    QPointer<HelperClient> self(this);
    const bool connected = co_await ensureConnectedBody();
    // Cleared before the waiting callers resume, so that one of them calling again starts anew.
    if (self && m_inFlightEnsure == attempt)
        m_inFlightEnsure.reset();
    attempt->finish(connected);
}

QCoro::Task<bool> HelperClient::ensureConnectedBody()
{
    QPointer<HelperClient> self(this);
    refreshStatus();
    if (m_status == Status::Enabled || m_status == Status::Unknown) {
        const bool connected = co_await tryConnectAndProbe();
        if (!self)
            co_return false;
        if (connected) {
            recordBuild();
            co_return true;
        }
    }

    // The repairs, by the status as it stands now (not read again), lightest first. The daemon
    // is never registered here unless the user registered it before.
    const bool recorded = alreadyReregisteredThisBuild();
    if (m_status != Status::RequiresApproval && m_status != Status::Enabled)
        co_return false;

    if (recorded && m_status == Status::RequiresApproval) {
        registerDaemon(false);
        co_await QCoro::sleepFor(m_config.registerWait);
        if (!self)
            co_return false;
        refreshStatus();
        const bool connected = co_await tryConnectAndProbe();
        if (!self)
            co_return false;
        if (connected)
            recordBuild();
        co_return connected;
    }

    if (recorded && m_status == Status::Enabled) {
        dropConnection();
        const bool connected = co_await tryConnectAndProbe();
        co_return connected;
    }

    // A build that has not yet re-registered the daemon does so once.
    co_await reregister(false);
    if (!self)
        co_return false;
    const bool connected = co_await tryConnectAndProbe();
    if (!self)
        co_return false;
    if (!connected) {
        refreshStatus();
        if (m_status == Status::RequiresApproval)
            openLoginItems();
    }
    co_return connected;
}

// ---------------------------------------------------------------------------------------------
// The daemon's calls

QCoro::Task<std::optional<SMCChargingState>> HelperClient::readChargingState()
{
    const std::optional<QByteArray> data =
        co_await callData(HelperProtocol::readChargingState, {}, m_config.callTimeout);
    if (!data)
        co_return std::nullopt;
    co_return SMCChargingState::fromJson(*data);
}

QCoro::Task<std::optional<PowerMetricsReport>> HelperClient::samplePowerMetrics(int seconds)
{
    const QVariantList arguments{QVariant::fromValue(qlonglong(seconds))};
    const std::optional<QByteArray> data =
        co_await callData(HelperProtocol::samplePowerMetrics, arguments, m_config.powerMetricsTimeout);
    if (!data)
        co_return std::nullopt;
    co_return PowerMetricsReport::fromJson(*data);
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setChargingEnabled(bool enabled)
{
    return command(HelperProtocol::setChargingEnabled, {enabled});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setForceDischarge(bool on)
{
    return command(HelperProtocol::setForceDischarge, {on});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setAppleLimit80(bool on)
{
    return command(HelperProtocol::setAppleLimit80, {on});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::resetChargingDefaults()
{
    return command(HelperProtocol::resetChargingDefaults, {});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setLowPowerMode(bool on)
{
    return command(HelperProtocol::setLowPowerMode, {on});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setProcessThrottled(qint64 pid, bool throttled)
{
    return command(HelperProtocol::setProcessThrottled, {QVariant::fromValue(qlonglong(pid)), throttled});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setSpotlightPaused(bool paused)
{
    return command(HelperProtocol::setSpotlightPaused, {paused});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::setTimeMachinePaused(bool paused)
{
    return command(HelperProtocol::setTimeMachinePaused, {paused});
}

QCoro::Task<std::optional<HelperCommandResult>> HelperClient::restoreAllPowerSaving()
{
    return command(HelperProtocol::restoreAllPowerSaving, {});
}

void HelperClient::synchronousResetChargingDefaults()
{
    // Each call is bounded, so that quitting never hangs on a daemon that does not answer.
    for (const QLatin1StringView method : {HelperProtocol::resetChargingDefaults, HelperProtocol::restoreAllPowerSaving}) {
        const QDBusMessage message = QDBusMessage::createMethodCall(HelperProtocol::label, HelperProtocol::objectPath,
                                                                    HelperProtocol::label, method);
        m_bus.call(message, QDBus::Block, int(m_config.quitCallTimeout.count()));
    }
}

// ---------------------------------------------------------------------------------------------
// Observable fields

void HelperClient::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    emit statusChanged(status);
}

void HelperClient::setCapabilities(const std::optional<ChargingCapabilities>& capabilities)
{
    if (m_capabilities == capabilities)
        return;
    m_capabilities = capabilities;
    emit capabilitiesChanged();
}

void HelperClient::setHelperVersion(std::optional<qint64> version)
{
    if (m_helperVersion == version)
        return;
    m_helperVersion = version;
    emit helperVersionChanged();
}

void HelperClient::setLastError(const std::optional<QString>& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void HelperClient::setIsConnected(bool connected)
{
    if (m_isConnected == connected)
        return;
    m_isConnected = connected;
    emit isConnectedChanged(connected);
}

} // namespace kestrune
