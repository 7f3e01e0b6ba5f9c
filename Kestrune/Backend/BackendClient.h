#pragma once

#include "Foundation/Clock.h"
#include "Kestrune/Backend/AIUsage.h"
#include "Kestrune/Backend/BackendError.h"
#include "Kestrune/Backend/BackendResult.h"
#include "Kestrune/Backend/HealthInfo.h"
#include "Platform/Network/NetworkPathMonitor.h"
#include "Platform/SystemInfo/SystemInfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

namespace kestrune {

class ChargingSettings;
class UserDefaults;

// How long each kind of request may take, up to its answer's last byte, how large an answer
// may be, and where the registration's description of the machine comes from. The defaults
// are the production values; tests pass short time-outs and a machine of their own.
struct BackendClientConfig {
    using ms = std::chrono::milliseconds;

    ms healthTimeout { 5000 };
    ms registrationTimeout { 20000 };
    ms syncTimeout { 20000 }; // the sync upload and the state download
    ms modelTimeout { 150000 };
    ms cardTimeout { 30000 };
    // An answer larger than this is abandoned: a broken or hostile server must not be able
    // to fill the application's memory. Each route takes at most what its answers need, and
    // never more than this.
    qint64 maxAnswerBytes = 16 * 1024 * 1024;
    SystemInfo systemInfo;
};

// The application's only HTTP client: it talks to the backend that registers devices,
// proxies the language models, keeps synced history and hosts shared cards.
//
// Health is public, registration is authenticated by the application secret and every other
// route by the device token. A bearer route answered with 401 or 404 forgets the token,
// registers once more and repeats the request once. Failures are returned, never thrown;
// this class writes `lastError` only for the health check and registration.
//
// Everything here belongs to the main thread.
class BackendClient : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool networkAvailable READ networkAvailable NOTIFY networkAvailableChanged)
    Q_PROPERTY(bool serverReachable READ serverReachable NOTIFY serverReachableChanged)
    Q_PROPERTY(std::optional<kestrune::HealthInfo> lastHealth READ lastHealth NOTIFY lastHealthChanged)
    Q_PROPERTY(std::optional<QDateTime> lastHealthAt READ lastHealthAt NOTIFY lastHealthAtChanged)
    Q_PROPERTY(std::optional<QString> lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(std::optional<QString> deviceID READ deviceID NOTIFY deviceIDChanged)

public:
    struct StrategyAnswer {
        QByteArray strategyJSON; // the "strategy" object, written back as compact JSON
        AIUsage usage;
    };
    struct TextAnswer {
        QString text;
        AIUsage usage;
    };
    using AcceptedCounts = QMap<QString, qint64>;

    // Built into the application; sent only with a registration.
    static constexpr auto appSecret = "7c41d9e02b86f35a1e94c07bd2a6385f19e0c47a2db8e613";
    static constexpr auto deviceIDKey = "backend.deviceID";
    static constexpr auto deviceTokenKey = "backend.deviceToken";
    // Unforced health checks are at least this far apart.
    static constexpr qint64 healthSpacingSeconds = 60;

    // Restores the identity from `defaults` and starts following `pathMonitor`, whose first
    // report is handled like every later one.
    BackendClient(ChargingSettings& settings, UserDefaults& defaults,
        std::unique_ptr<NetworkPathMonitor> pathMonitor, const Clock& clock = Clock::system(),
        BackendClientConfig config = BackendClientConfig(), QObject* parent = nullptr);
    ~BackendClient() override;

    bool networkAvailable() const { return m_networkAvailable; }
    bool serverReachable() const { return m_serverReachable; }
    std::optional<HealthInfo> lastHealth() const { return m_lastHealth; }
    std::optional<QDateTime> lastHealthAt() const { return m_lastHealthAt; }
    std::optional<QString> lastError() const { return m_lastError; }
    std::optional<QString> deviceID() const { return m_deviceID; }

    // Enabled, a network path, a healthy server and a device identifier.
    bool isReady() const;

    // Asks the server whether it is up (at most once a minute unless forced), and registers
    // the device when it has no identity yet or the server insists on a token it lacks.
    QCoro::Task<> checkHealth(bool force);
    // Registers the device (again), unless a registration is already running.
    QCoro::Task<> registerIfNeeded();
    // Returns once no registration is running.
    QCoro::Task<> waitForRegistration();

    // The model routes: the payload goes to the provider's model under the device's identity.
    QCoro::Task<BackendResult<StrategyAnswer>> aiStrategy(
        QJsonObject payload, QString provider, QString model);
    QCoro::Task<BackendResult<TextAnswer>> aiReport(QJsonObject payload, QString provider, QString model);
    QCoro::Task<BackendResult<TextAnswer>> aiDiagnose(QJsonObject payload, QString provider, QString model);
    // Uploads one sync batch; the answer counts what the server accepted per list.
    QCoro::Task<BackendResult<AcceptedCounts>> sync(QJsonObject payload);
    // The state of one kind the server keeps for this device; nothing when it keeps none.
    QCoro::Task<BackendResult<std::optional<QJsonObject>>> fetchState(QString kind);
    // Hosts a rendered card; answers the address of its page.
    QCoro::Task<BackendResult<QUrl>> uploadShareCard(
        QByteArray pngData, qint64 minutes, QString period, QString lang);

    // An absolute http or https address with a host: the only kind the client sends to.
    static bool isWebAddress(const QUrl& url);

signals:
    void networkAvailableChanged(bool available);
    void serverReachableChanged(bool reachable);
    void lastHealthChanged();
    void lastHealthAtChanged();
    void lastErrorChanged();
    void deviceIDChanged();
    void registrationFinished();

private:
    using Headers = QList<std::pair<QByteArray, QByteArray>>;
    // What one exchange of a route may take: the time to its answer's last byte, and the
    // largest answer.
    struct Limits {
        std::chrono::milliseconds timeout;
        qint64 maxAnswerBytes;
    };

    // One exchange: the body of a 2xx answer.
    QCoro::Task<BackendResult<QByteArray>> rawRequest(QString path, QByteArray method,
        std::optional<QByteArray> body, Limits limits, Headers headers, QByteArray contentType);
    // A bearer exchange with the one re-registration and retry after 401 or 404.
    QCoro::Task<BackendResult<QByteArray>> bearerRequest(QString path, QByteArray method,
        std::optional<QByteArray> body, Limits limits, QByteArray contentType);
    QCoro::Task<BackendResult<QByteArray>> authorizedPost(QString path, QJsonObject json, Limits limits);
    QCoro::Task<BackendResult<TextAnswer>> textRoute(
        QString path, QJsonObject payload, QString provider, QString model);
    QCoro::Task<BackendResult<QByteArray>> modelRoute(
        QString path, QJsonObject payload, QString provider, QString model);

    Limits routeLimits(std::chrono::milliseconds timeout, qint64 largestAnswer) const;
    std::optional<QUrl> routeURL(const QString& path) const;
    Headers bearerHeaders() const;
    QJsonObject registrationRequest(const QString& name) const;
    void handlePath(bool satisfied);
    void forgetToken();
    static QString shortError(const BackendFailure& failure);

    void setNetworkAvailable(bool available);
    void setServerReachable(bool reachable);
    void setLastHealth(const HealthInfo& health);
    void setLastHealthAt(const QDateTime& at);
    void setLastError(const std::optional<QString>& error);
    void setDeviceID(const QString& id);

    ChargingSettings& m_settings;
    UserDefaults& m_defaults;
    std::unique_ptr<NetworkPathMonitor> m_pathMonitor;
    const Clock& m_clock;
    BackendClientConfig m_config;
    QNetworkAccessManager m_network;

    bool m_networkAvailable = true;
    bool m_serverReachable = false;
    std::optional<HealthInfo> m_lastHealth;
    std::optional<QDateTime> m_lastHealthAt;
    std::optional<QString> m_lastError;
    std::optional<QString> m_deviceID;
    QDateTime m_lastHealthCheckAt; // invalid: never
    bool m_registering = false;
    std::optional<QString> m_deviceToken;
};

} // namespace kestrune
