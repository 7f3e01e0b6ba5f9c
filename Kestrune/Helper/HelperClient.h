#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperConnection.h"
#include "Platform/ServiceManagement/ServiceManagement.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/SMCChargingState.h"

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <chrono>
#include <memory>
#include <optional>

namespace kestrune {

class ConnectionAttempt;

// The build the client registers for and how long it waits. The defaults are the production
// values; tests pass short ones.
struct HelperClientConfig {
    using ms = std::chrono::milliseconds;

    // The build number the build system stamped into the application.
    static QString applicationBuild();

    // The application's build; the daemon is registered afresh once per build.
    QString build = applicationBuild();

    ms versionTimeout{8000};        // the version request
    ms callTimeout{15000};          // every other call, the capability probe included
    ms powerMetricsTimeout{30000};  // a power-metrics sampling (the daemon samples up to 15 s)
    ms quitCallTimeout{5000};       // each of the two calls of the reset at quit
    ms registerWait{1000};          // after registering again inside ensureConnected()
    ms reregisterWait{2000};        // each of the two waits of reregister()
};

// The application's one client of the privileged daemon: its registration with the system
// (through ServiceManagement), the link to it on the daemon's bus, and every call to it.
//
// Calls end exactly once, with the daemon's answer, an error or their timeout, and never throw:
// "no value" stands for all of no answer in time, a bus error (the daemon refusing the caller
// included), an empty answer and an answer that does not decode. A command the daemon carried
// out but that failed comes back as a HelperCommandResult with success false and its text.
//
// Everything here belongs to the main thread.
class HelperClient : public QObject {
    Q_OBJECT
    Q_PROPERTY(kestrune::HelperClient::Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(std::optional<kestrune::ChargingCapabilities> capabilities READ capabilities NOTIFY capabilitiesChanged)
    Q_PROPERTY(std::optional<qint64> helperVersion READ helperVersion NOTIFY helperVersionChanged)
    Q_PROPERTY(std::optional<QString> lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(kestrune::HelperConnection* connection READ connection NOTIFY connectionChanged)

public:
    // The daemon's registration as the application last read it.
    enum class Status { Unknown, NotRegistered, RequiresApproval, Enabled, NotFound };
    Q_ENUM(Status)

    // What the views show for a status.
    static QString label(Status status);

    // The user-defaults key holding the build for which the daemon was last registered.
    static constexpr const char* buildKey = "helper.lwcrBuild";

    HelperClient(QDBusConnection bus, ServiceManagement& services, UserDefaults& defaults,
                 HelperClientConfig config = HelperClientConfig(), QObject* parent = nullptr);
    ~HelperClient() override;

    Status status() const { return m_status; }
    std::optional<ChargingCapabilities> capabilities() const { return m_capabilities; }
    std::optional<qint64> helperVersion() const { return m_helperVersion; }
    std::optional<QString> lastError() const { return m_lastError; }
    bool isConnected() const { return m_isConnected; }
    // The cached link to the daemon; none until a call needs one.
    HelperConnection* connection() const { return m_connection; }

    // Registration.
    void refreshStatus();
    // Registers the daemon; with openSettingsIfNeeded, shows the user where to allow it when
    // the system waits for their approval.
    void registerDaemon(bool openSettingsIfNeeded);
    void unregister();
    // Drops the link, unregisters, waits, registers again, waits, and records this build.
    QCoro::Task<> reregister(bool openSettingsIfNeeded);

    // Connection.
    // Connects (climbing the repairs as far as this build and the status allow); callers that
    // arrive while an attempt runs share it. True when the daemon answered the version request.
    QCoro::Task<bool> ensureConnected();
    // Waits for the attempt of ensureConnected() that is running, if there is one.
    QCoro::Task<> waitForInFlightEnsure();
    // Asks the version, then the capabilities. True when the version request was answered.
    QCoro::Task<bool> tryConnectAndProbe();

    // The daemon's calls.
    QCoro::Task<std::optional<SMCChargingState>> readChargingState();
    // `seconds` goes to the daemon unchanged; it clamps the sampling time itself.
    QCoro::Task<std::optional<PowerMetricsReport>> samplePowerMetrics(int seconds);
    QCoro::Task<std::optional<HelperCommandResult>> setChargingEnabled(bool enabled);
    QCoro::Task<std::optional<HelperCommandResult>> setForceDischarge(bool on);
    QCoro::Task<std::optional<HelperCommandResult>> setAppleLimit80(bool on);
    QCoro::Task<std::optional<HelperCommandResult>> resetChargingDefaults();
    QCoro::Task<std::optional<HelperCommandResult>> setLowPowerMode(bool on);
    QCoro::Task<std::optional<HelperCommandResult>> setProcessThrottled(qint64 pid, bool throttled);
    QCoro::Task<std::optional<HelperCommandResult>> setSpotlightPaused(bool paused);
    QCoro::Task<std::optional<HelperCommandResult>> setTimeMachinePaused(bool paused);
    QCoro::Task<std::optional<HelperCommandResult>> restoreAllPowerSaving();

    // At quit: charging allowed again and all power saving undone, blocking the calling thread
    // for at most two call timeouts. Leaves the client's state alone.
    void synchronousResetChargingDefaults();

signals:
    void statusChanged(kestrune::HelperClient::Status status);
    void capabilitiesChanged();
    void helperVersionChanged();
    void lastErrorChanged();
    void isConnectedChanged(bool isConnected);
    void connectionChanged();

private:
    HelperConnection* activeConnection();
    void dropConnection();
    QCoro::Task<std::optional<QDBusMessage>> call(QString method, QVariantList arguments,
                                                  std::chrono::milliseconds timeout);
    QCoro::Task<std::optional<QByteArray>> callData(QString method, QVariantList arguments,
                                                    std::chrono::milliseconds timeout);
    QCoro::Task<std::optional<HelperCommandResult>> command(QString method, QVariantList arguments);
    QCoro::Task<> runEnsure(std::shared_ptr<ConnectionAttempt> attempt);
    QCoro::Task<bool> ensureConnectedBody();
    void openLoginItems();

    bool alreadyReregisteredThisBuild() const;
    void recordBuild();

    void setStatus(Status status);
    void setCapabilities(const std::optional<ChargingCapabilities>& capabilities);
    void setHelperVersion(std::optional<qint64> version);
    void setLastError(const std::optional<QString>& error);
    void setIsConnected(bool connected);

    QDBusConnection m_bus;
    ServiceManagement& m_services;
    UserDefaults& m_defaults;
    HelperClientConfig m_config;

    Status m_status = Status::Unknown;
    std::optional<ChargingCapabilities> m_capabilities;
    std::optional<qint64> m_helperVersion;
    std::optional<QString> m_lastError;
    bool m_isConnected = false;
    QPointer<HelperConnection> m_connection;
    std::shared_ptr<ConnectionAttempt> m_inFlightEnsure;
};

} // namespace kestrune
