#include "Kestrune/Backend/BackendClient.h"

#include "Foundation/Graphemes.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Backend/BackendJson.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Platform/Network/ReplyDeadline.h"

#include <QJsonDocument>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QScopeGuard>
#include <QStringDecoder>

#include <QCoro/QCoroNetworkReply>
#include <QCoro/QCoroSignal>

#include <algorithm>
#include <memory>

namespace kestrune {

namespace {

constexpr auto healthPath = "/v1/health";
constexpr auto registerPath = "/v1/devices/register";
const QByteArray jsonType = QByteArrayLiteral("application/json");

// Proxies as the desktop configures them, for this client only.
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return systemProxyForQuery(query);
    }
};

// The largest answers the routes take: health, registration, sync and the card answer a few
// fields; a model route a strategy or a text with its usage. The learned state takes what the
// client allows any answer.
constexpr qint64 fieldsAnswerBytes = 64 * 1024;
constexpr qint64 modelAnswerBytes = 1024 * 1024;

// A device token travels as a header value: visible ASCII only, so that no line break can end
// the header and start another, and no longer than a token gets.
constexpr qsizetype longestToken = 4096;
// The identifier travels in paths, queries and every upload; longer than this, it is none.
constexpr qsizetype longestDeviceID = 256;

bool isHeaderToken(const QString& token)
{
    return !token.isEmpty() && token.size() <= longestToken
        && std::all_of(token.begin(), token.end(), [](QChar c) { return c > u' ' && c < u'\x7f'; });
}

bool isDeviceID(const QString& id)
{
    return !id.isEmpty() && id.size() <= longestDeviceID;
}

// The user types the address; blanks at its ends are not part of it (line breaks are).
QString trimmedBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// One path segment or query value as it must travel: identifiers come from the server, and
// an unencoded "/", "?", "#" or "&" in one would send the token to another route or add
// parameters. "." and ".." stay dot segments even when encoded, so they cannot be sent.
std::optional<QString> encodedComponent(const QString& text)
{
    if (text == QLatin1String(".") || text == QLatin1String(".."))
        return std::nullopt;
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// The body as UTF-8 text, or nothing when it is not valid UTF-8 (QString::fromUtf8 would
// replace the bad bytes instead).
QString strictUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    return decoder.hasError() ? QString() : text;
}

// A failure of the transfer itself, as opposed to an HTTP answer or a malformed one.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error >= QNetworkReply::ConnectionRefusedError && error < QNetworkReply::ContentAccessDenied;
}

// The body of an answer as far as it was read, or the fact that it outgrew the limit.
struct AnswerBody {
    QByteArray data;
    bool tooLarge = false;
};

// Reads the body as it arrives, so that an answer larger than `limit` (declared or real) is
// abandoned before it sits whole in memory.
void readBounded(QNetworkReply* reply, qint64 limit, const std::shared_ptr<AnswerBody>& body)
{
    auto take = [reply, limit, body] {
        if (body->tooLarge || !reply->isOpen())
            return;
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > limit || body->data.size() + reply->bytesAvailable() > limit) {
            body->tooLarge = true;
            reply->abort();
            return;
        }
        body->data += reply->readAll();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, take);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, take);
    QObject::connect(reply, &QNetworkReply::finished, reply, take);
}

// The answer of a route as a JSON object; a failed exchange passes its failure on.
BackendResult<QJsonObject> answerObject(const BackendResult<QByteArray>& answer)
{
    if (!answer)
        return answer.failure();
    BackendResult<QJsonDocument> document = BackendJson::parse(answer.value());
    if (!document)
        return document.failure();
    if (!document->isObject())
        return BackendError::invalidResponse();
    return document->object();
}

} // namespace

BackendClient::BackendClient(ChargingSettings& settings, UserDefaults& defaults,
    std::unique_ptr<NetworkPathMonitor> pathMonitor, const Clock& clock, BackendClientConfig config,
    QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_defaults(defaults)
    , m_pathMonitor(std::move(pathMonitor))
    , m_clock(clock)
    , m_config(std::move(config))
{
    // Nothing is cached, a redirect never leaves the server's origin (the token would follow
    // it), and proxies are the desktop's.
    m_network.setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
    m_network.setProxyFactory(new SystemProxyFactory);

    // An identity no registration would keep now is no identity: the device registers again.
    if (const std::optional<QString> id = m_defaults.string(QString::fromLatin1(deviceIDKey));
        id && isDeviceID(*id))
        m_deviceID = *id;
    if (const std::optional<QString> token = m_defaults.string(QString::fromLatin1(deviceTokenKey));
        token && isHeaderToken(*token))
        m_deviceToken = *token;

    // Path reports reach the client through the event loop, never inside the monitor's call;
    // the first one is the state at start.
    connect(m_pathMonitor.get(), &NetworkPathMonitor::pathChanged, this, &BackendClient::handlePath,
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this, [this] { handlePath(m_pathMonitor->isSatisfied()); }, Qt::QueuedConnection);
}

BackendClient::~BackendClient()
{
    // Requests still waiting end now, as failures, rather than leave their callers suspended.
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>())
        reply->abort();
}

bool BackendClient::isReady() const
{
    return m_settings.backendEnabled() && m_networkAvailable && m_serverReachable && m_deviceID.has_value();
}

bool BackendClient::isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.isRelative()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

std::optional<QUrl> BackendClient::routeURL(const QString& path) const
{
    const QUrl base(trimmedBlanks(m_settings.backendURL()), QUrl::StrictMode);
    if (!isWebAddress(base))
        return std::nullopt;
    const QUrl route(path, QUrl::StrictMode);
    if (!route.isValid())
        return std::nullopt;
    QUrl url = base.resolved(route);
    if (!isWebAddress(url))
        return std::nullopt;
    return url;
}

BackendClient::Limits BackendClient::routeLimits(
    std::chrono::milliseconds timeout, qint64 largestAnswer) const
{
    return Limits { timeout, std::min(largestAnswer, m_config.maxAnswerBytes) };
}

QCoro::Task<BackendResult<QByteArray>> BackendClient::rawRequest(QString path, QByteArray method,
    std::optional<QByteArray> body, Limits limits, Headers headers, QByteArray contentType)
{
    if (!m_settings.backendEnabled())
        co_return BackendError::disabled();
    if (!m_networkAvailable)
        co_return BackendError::offline();
    const std::optional<QUrl> url = routeURL(path);
    if (!url)
        co_return BackendError::invalidURL();

    QNetworkRequest request(*url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    if (body)
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);

    QPointer<BackendClient> self(this);
    QPointer<QNetworkReply> reply = body ? m_network.sendCustomRequest(request, method, *body)
                                         : m_network.sendCustomRequest(request, method);
    // The time-out is a deadline for the whole answer, however slowly it comes.
    ReplyDeadline::arm(reply, limits.timeout);
    auto answer = std::make_shared<AnswerBody>();
    readBounded(reply, limits.maxAnswerBytes, answer);
    co_await reply.data();
    if (!self || !reply)
        co_return BackendError::offline();
    reply->deleteLater();

    if (answer->tooLarge)
        co_return BackendError::invalidResponse();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // A redirect to another origin is not followed; its own answer is the outcome.
    const bool refusedRedirect = reply->error() == QNetworkReply::InsecureRedirectError && status.isValid();
    if (isTransportError(reply->error()) && !refusedRedirect) {
        setServerReachable(false);
        co_return BackendError::offline();
    }
    if (!status.isValid())
        co_return BackendError::invalidResponse();
    const int code = status.toInt();
    if (code < 200 || code > 299)
        co_return BackendError::httpError(code, strictUtf8(answer->data));
    setServerReachable(true);
    co_return answer->data;
}

BackendClient::Headers BackendClient::bearerHeaders() const
{
    Headers headers;
    if (m_deviceToken)
        headers.append(
            { QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + m_deviceToken->toUtf8() });
    return headers;
}

QCoro::Task<BackendResult<QByteArray>> BackendClient::bearerRequest(
    QString path, QByteArray method, std::optional<QByteArray> body, Limits limits, QByteArray contentType)
{
    QPointer<BackendClient> self(this);
    BackendResult<QByteArray> first
        = co_await rawRequest(path, method, body, limits, bearerHeaders(), contentType);
    if (!self || first.ok())
        co_return first;
    const std::optional<BackendError>& error = first.failure().backendError();
    if (!error || !(error->isHttpStatus(401) || error->isHttpStatus(404)))
        co_return first;

    forgetToken();
    co_await registerIfNeeded();
    if (!self)
        co_return BackendError::offline();
    if (!m_deviceToken && m_lastHealth && m_lastHealth->authRequired == true)
        co_return BackendError::httpError(401, QStringLiteral("再登録に失敗"));
    // The same path and bytes once more, with whatever token is held now.
    co_return co_await rawRequest(path, method, body, limits, bearerHeaders(), contentType);
}

QCoro::Task<BackendResult<QByteArray>> BackendClient::authorizedPost(
    QString path, QJsonObject json, Limits limits)
{
    BackendResult<QByteArray> body = BackendJson::encode(json);
    if (!body)
        co_return body.failure();
    co_return co_await bearerRequest(path, QByteArrayLiteral("POST"), body.value(), limits, jsonType);
}

void BackendClient::forgetToken()
{
    m_deviceToken.reset();
    m_defaults.remove(QString::fromLatin1(deviceTokenKey));
}

QString BackendClient::shortError(const BackendFailure& failure)
{
    if (failure.backendError())
        return failure.description();
    return Graphemes::prefix(failure.description(), 120);
}

// Health and registration.

QCoro::Task<> BackendClient::checkHealth(bool force)
{
    if (!m_settings.backendEnabled() || !m_networkAvailable) {
        setServerReachable(false);
        co_return;
    }
    const QDateTime now = m_clock.now();
    if (!force && m_lastHealthCheckAt.isValid()
        && m_lastHealthCheckAt.msecsTo(now) < healthSpacingSeconds * 1000)
        co_return;
    // Stamped before asking, so that a failed check also holds the next one back.
    m_lastHealthCheckAt = now;

    QPointer<BackendClient> self(this);
    BackendResult<QByteArray> answer
        = co_await rawRequest(QString::fromLatin1(healthPath), QByteArrayLiteral("GET"), std::nullopt,
            routeLimits(m_config.healthTimeout, fieldsAnswerBytes), Headers(), jsonType);
    if (!self)
        co_return;
    if (!answer) {
        setServerReachable(false);
        setLastError(shortError(answer.failure()));
        co_return;
    }
    BackendResult<HealthInfo> health = HealthInfo::decode(answer.value());
    if (!health) {
        setServerReachable(false);
        setLastError(shortError(health.failure()));
        co_return;
    }
    setLastHealth(health.value());
    setServerReachable(health->ok);
    setLastHealthAt(m_clock.now());
    setLastError(std::nullopt);

    const bool tokenMissing = health->authRequired == true && !m_deviceToken;
    if (m_serverReachable && (!m_deviceID || tokenMissing))
        co_await registerIfNeeded();
}

QJsonObject BackendClient::registrationRequest(const QString& name) const
{
    QJsonObject request;
    request.insert(QStringLiteral("name"), name);
    request.insert(QStringLiteral("os_version"), SystemInfo::osVersion());
    request.insert(QStringLiteral("app_version"), SystemInfo::applicationVersion());
    request.insert(QStringLiteral("hw_model"), m_config.systemInfo.hardwareModel());
    if (m_deviceID)
        request.insert(QStringLiteral("device_id"), *m_deviceID);
    return request;
}

QCoro::Task<> BackendClient::registerIfNeeded()
{
    if (!m_settings.backendEnabled() || !m_networkAvailable || m_registering)
        co_return;
    QPointer<BackendClient> self(this);
    m_registering = true;
    const auto done = qScopeGuard([self] {
        if (!self)
            return;
        self->m_registering = false;
        emit self->registrationFinished();
    });

    const QString name = co_await m_config.systemInfo.computerName();
    if (!self)
        co_return;
    BackendResult<QByteArray> body = BackendJson::encode(registrationRequest(name));
    if (!body) {
        setLastError(shortError(body.failure()));
        co_return;
    }
    Headers headers;
    headers.append(std::make_pair(QByteArrayLiteral("X-App-Secret"), QByteArray(appSecret)));
    BackendResult<QByteArray> answer
        = co_await rawRequest(QString::fromLatin1(registerPath), QByteArrayLiteral("POST"), body.value(),
            routeLimits(m_config.registrationTimeout, fieldsAnswerBytes), headers, jsonType);
    if (!self)
        co_return;
    if (!answer) {
        setLastError(shortError(answer.failure()));
        co_return;
    }
    BackendResult<QJsonDocument> document = BackendJson::parse(answer.value());
    if (!document) {
        setLastError(shortError(document.failure()));
        co_return;
    }
    // An answer without a usable identifier changes nothing; an empty one would name no device.
    const QJsonObject root = document->object();
    const QString id = root.value(QStringLiteral("device_id")).toString();
    if (!document->isObject() || id.isEmpty())
        co_return;
    // An identity that could not travel back as it came fails the registration whole.
    const QString token = root.value(QStringLiteral("device_token")).toString();
    if (!isDeviceID(id) || (!token.isEmpty() && !isHeaderToken(token))) {
        setLastError(shortError(BackendError::invalidResponse()));
        co_return;
    }
    setDeviceID(id);
    m_defaults.set(QString::fromLatin1(deviceIDKey), id);
    if (!token.isEmpty()) {
        m_deviceToken = token;
        m_defaults.set(QString::fromLatin1(deviceTokenKey), token);
    }
    setServerReachable(true);
}

QCoro::Task<> BackendClient::waitForRegistration()
{
    if (m_registering)
        co_await qCoro(this, &BackendClient::registrationFinished);
}

void BackendClient::handlePath(bool satisfied)
{
    if (satisfied == m_networkAvailable)
        return;
    setNetworkAvailable(satisfied);
    if (satisfied)
        checkHealth(true);
    else
        setServerReachable(false);
}

// Routes.

QCoro::Task<BackendResult<QByteArray>> BackendClient::modelRoute(
    QString path, QJsonObject payload, QString provider, QString model)
{
    if (!m_deviceID)
        co_return BackendError::offline();
    QJsonObject request;
    request.insert(QStringLiteral("device_id"), *m_deviceID);
    request.insert(QStringLiteral("provider"), provider);
    request.insert(QStringLiteral("model"), model);
    request.insert(QStringLiteral("payload"), payload);
    co_return co_await authorizedPost(path, request, routeLimits(m_config.modelTimeout, modelAnswerBytes));
}

QCoro::Task<BackendResult<BackendClient::StrategyAnswer>> BackendClient::aiStrategy(
    QJsonObject payload, QString provider, QString model)
{
    const BackendResult<QByteArray> answer
        = co_await modelRoute(QStringLiteral("/v1/ai/strategy"), payload, provider, model);
    const BackendResult<QJsonObject> root = answerObject(answer);
    if (!root)
        co_return root.failure();
    const QJsonValue strategy = root->value(QStringLiteral("strategy"));
    if (!strategy.isObject())
        co_return BackendError::invalidResponse();
    co_return StrategyAnswer { QJsonDocument(strategy.toObject()).toJson(QJsonDocument::Compact),
        AIUsage::fromAnswer(root.value()) };
}

QCoro::Task<BackendResult<BackendClient::TextAnswer>> BackendClient::textRoute(
    QString path, QJsonObject payload, QString provider, QString model)
{
    const BackendResult<QByteArray> answer = co_await modelRoute(path, payload, provider, model);
    const BackendResult<QJsonObject> root = answerObject(answer);
    if (!root)
        co_return root.failure();
    const QJsonValue text = root->value(QStringLiteral("text"));
    if (!text.isString())
        co_return BackendError::invalidResponse();
    co_return TextAnswer { text.toString(), AIUsage::fromAnswer(root.value()) };
}

QCoro::Task<BackendResult<BackendClient::TextAnswer>> BackendClient::aiReport(
    QJsonObject payload, QString provider, QString model)
{
    return textRoute(
        QStringLiteral("/v1/ai/report"), std::move(payload), std::move(provider), std::move(model));
}

QCoro::Task<BackendResult<BackendClient::TextAnswer>> BackendClient::aiDiagnose(
    QJsonObject payload, QString provider, QString model)
{
    return textRoute(
        QStringLiteral("/v1/ai/diagnose"), std::move(payload), std::move(provider), std::move(model));
}

QCoro::Task<BackendResult<BackendClient::AcceptedCounts>> BackendClient::sync(QJsonObject payload)
{
    if (!m_deviceID)
        co_return BackendError::offline();
    payload.insert(QStringLiteral("device_id"), *m_deviceID);
    const BackendResult<QByteArray> answer = co_await authorizedPost(
        QStringLiteral("/v1/sync"), payload, routeLimits(m_config.syncTimeout, fieldsAnswerBytes));
    const BackendResult<QJsonObject> root = answerObject(answer);
    if (!root)
        co_return root.failure();
    const QJsonValue accepted = root->value(QStringLiteral("accepted"));
    if (!accepted.isObject())
        co_return BackendError::invalidResponse();
    AcceptedCounts counts;
    const QJsonObject map = accepted.toObject();
    for (auto it = map.begin(); it != map.end(); ++it) {
        const std::optional<qint64> count = BackendJson::integer(it.value());
        if (!count)
            co_return BackendError::invalidResponse();
        counts.insert(it.key(), *count);
    }
    co_return counts;
}

QCoro::Task<BackendResult<std::optional<QJsonObject>>> BackendClient::fetchState(QString kind)
{
    if (!m_deviceID)
        co_return BackendError::offline();
    const std::optional<QString> device = encodedComponent(*m_deviceID);
    const std::optional<QString> kindSegment = encodedComponent(kind);
    if (!device || !kindSegment)
        co_return BackendError::invalidURL();
    const QString path = QStringLiteral("/v1/state/%1/%2").arg(*device, *kindSegment);
    const BackendResult<QByteArray> answer = co_await bearerRequest(path, QByteArrayLiteral("GET"),
        std::nullopt, routeLimits(m_config.syncTimeout, m_config.maxAnswerBytes), jsonType);
    const BackendResult<QJsonObject> root = answerObject(answer);
    if (!root)
        co_return root.failure();
    const QJsonValue payload = root->value(QStringLiteral("payload"));
    if (!payload.isObject())
        co_return std::optional<QJsonObject>();
    co_return std::optional<QJsonObject>(payload.toObject());
}

QCoro::Task<BackendResult<QUrl>> BackendClient::uploadShareCard(
    QByteArray pngData, qint64 minutes, QString period, QString lang)
{
    if (!m_deviceID)
        co_return BackendError::offline();
    const std::optional<QString> device = encodedComponent(*m_deviceID);
    const std::optional<QString> periodValue = encodedComponent(period);
    const std::optional<QString> langValue = encodedComponent(lang);
    if (!device || !periodValue || !langValue)
        co_return BackendError::invalidURL();
    const QString path = QStringLiteral("/v1/share/card?device_id=%1&m=%2&p=%3&lang=%4")
                             .arg(*device, QString::number(minutes), *periodValue, *langValue);
    const BackendResult<QByteArray> answer = co_await bearerRequest(path, QByteArrayLiteral("POST"), pngData,
        routeLimits(m_config.cardTimeout, fieldsAnswerBytes), QByteArrayLiteral("image/png"));
    const BackendResult<QJsonObject> root = answerObject(answer);
    if (!root)
        co_return root.failure();
    const QJsonValue link = root->value(QStringLiteral("url"));
    const QUrl url(link.toString(), QUrl::StrictMode);
    if (!link.isString() || !isWebAddress(url))
        co_return BackendError::invalidResponse();
    co_return url;
}

// Observable fields: observers hear only of real changes.

void BackendClient::setNetworkAvailable(bool available)
{
    if (m_networkAvailable == available)
        return;
    m_networkAvailable = available;
    emit networkAvailableChanged(available);
}

void BackendClient::setServerReachable(bool reachable)
{
    if (m_serverReachable == reachable)
        return;
    m_serverReachable = reachable;
    emit serverReachableChanged(reachable);
}

void BackendClient::setLastHealth(const HealthInfo& health)
{
    if (m_lastHealth == health)
        return;
    m_lastHealth = health;
    emit lastHealthChanged();
}

void BackendClient::setLastHealthAt(const QDateTime& at)
{
    if (m_lastHealthAt == at)
        return;
    m_lastHealthAt = at;
    emit lastHealthAtChanged();
}

void BackendClient::setLastError(const std::optional<QString>& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void BackendClient::setDeviceID(const QString& id)
{
    if (m_deviceID == id)
        return;
    m_deviceID = id;
    emit deviceIDChanged();
}

} // namespace kestrune
