#include "tools/kestrune-backend/FakeBackend.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace kestrune {

namespace {

// How much of a streamed answer waits in the socket at once.
constexpr qint64 streamChunk = 256 * 1024;
// A request head larger than this is not HTTP from our client.
constexpr qsizetype maxHead = 64 * 1024;

const QStringList syncedLists { QStringLiteral("samples"), QStringLiteral("plug_events"),
    QStringLiteral("power_actions"), QStringLiteral("action_outcomes"), QStringLiteral("savings_daily") };

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

FakeBackend::Answer error(int status, const QString& text)
{
    QJsonObject body;
    body.insert(QStringLiteral("error"), text);
    return FakeBackend::Answer::json(status, body);
}

QString decoded(const QByteArray& component)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(component));
}

} // namespace

// Requests and answers.

QString FakeBackend::Request::route() const
{
    if (segments.size() >= 2 && segments[0] == QLatin1String("v1") && segments[1] == QLatin1String("state"))
        return QStringLiteral("/v1/state");
    return QLatin1Char('/') + segments.join(QLatin1Char('/'));
}

QJsonObject FakeBackend::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

FakeBackend::Answer FakeBackend::Answer::serve()
{
    Answer answer;
    answer.kind = Kind::Serve;
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::json(int status, const QJsonObject& body)
{
    return raw(status, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

FakeBackend::Answer FakeBackend::Answer::raw(int status, QByteArray body)
{
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.headers.append({ QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json") });
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::hold()
{
    Answer answer;
    answer.kind = Kind::Hold;
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::close()
{
    Answer answer;
    answer.kind = Kind::Close;
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::huge(qint64 bytes)
{
    Answer answer;
    answer.kind = Kind::Stream;
    answer.streamBytes = bytes;
    answer.headers.append({ QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json") });
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::redirect(const QUrl& to)
{
    Answer answer = raw(302, QByteArray());
    answer.headers.append({ QByteArrayLiteral("Location"), to.toEncoded() });
    return answer;
}

FakeBackend::Answer FakeBackend::Answer::after(int ms) const
{
    Answer delayed = *this;
    delayed.delayMs = ms;
    return delayed;
}

FakeBackend::Answer FakeBackend::Answer::trickled(int ms) const
{
    Answer slow = *this;
    slow.msPerByte = ms;
    return slow;
}

// The server.

FakeBackend::FakeBackend(QObject* parent)
    : FakeBackend(Options(), parent)
{
}

FakeBackend::FakeBackend(Options options, QObject* parent)
    : QObject(parent)
    , m_options(options)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeBackend::accept);
}

FakeBackend::~FakeBackend()
{
    for (QTcpSocket* socket : m_connections.keys())
        socket->abort();
}

bool FakeBackend::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

QUrl FakeBackend::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

void FakeBackend::answerNext(const QString& route, const Answer& answer)
{
    m_next[route].append(answer);
}

void FakeBackend::answerAlways(const QString& route, const Answer& answer)
{
    m_always.insert(route, answer);
}

void FakeBackend::clearScripts()
{
    m_next.clear();
    m_always.clear();
}

void FakeBackend::issueIdentifierAtNextRegistration(const QString& id)
{
    m_nextIdentifier = id;
}

void FakeBackend::setUsage(qint64 inputTokens, qint64 outputTokens)
{
    m_inputTokens = inputTokens;
    m_outputTokens = outputTokens;
}

QList<FakeBackend::Request> FakeBackend::requests(const QString& route) const
{
    QList<Request> matching;
    for (const Request& request : m_requests) {
        if (request.route() == route)
            matching.append(request);
    }
    return matching;
}

void FakeBackend::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, Connection());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { continueStream(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_connections.value(socket).streamLeft > 0)
                ++m_answersCutShort;
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeBackend::readFrom(QTcpSocket* socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->buffer += socket->readAll();
    for (;;) {
        bool malformed = false;
        const std::optional<Request> request = takeRequest(it->buffer, &malformed);
        if (malformed) {
            socket->abort();
            return;
        }
        if (!request)
            return;
        m_requests.append(*request);
        answer(socket, *request);
        // The answer may have closed the connection.
        it = m_connections.find(socket);
        if (it == m_connections.end() || socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

std::optional<FakeBackend::Request> FakeBackend::takeRequest(QByteArray& buffer, bool* malformed) const
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        *malformed = buffer.size() > maxHead;
        return std::nullopt;
    }
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    if (start.size() != 3) {
        *malformed = true;
        return std::nullopt;
    }
    Request request;
    request.method = start[0];
    request.target = start[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(
                lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    bool counted = false;
    const qint64 length = request.headers.value("content-length", "0").toLongLong(&counted);
    // A length that is no count would cut the buffer wrongly: a negative one takes back
    // bytes already read, and the same request would be read again for ever.
    if (!counted || length < 0) {
        *malformed = true;
        return std::nullopt;
    }
    if (buffer.size() < headEnd + 4 + length)
        return std::nullopt;
    request.body = buffer.mid(headEnd + 4, length);
    buffer.remove(0, headEnd + 4 + length);

    const qsizetype mark = request.target.indexOf('?');
    const QByteArray path = mark < 0 ? request.target : request.target.left(mark);
    for (const QByteArray& segment : path.split('/')) {
        if (!segment.isEmpty())
            request.segments << decoded(segment);
    }
    if (mark >= 0) {
        for (const QByteArray& pair : request.target.mid(mark + 1).split('&')) {
            const qsizetype equals = pair.indexOf('=');
            request.query.insert(
                decoded(pair.left(equals)), equals < 0 ? QString() : decoded(pair.mid(equals + 1)));
        }
    }
    return request;
}

std::optional<FakeBackend::Answer> FakeBackend::scripted(const QString& route)
{
    auto next = m_next.find(route);
    if (next != m_next.end() && !next->isEmpty())
        return next->takeFirst();
    if (m_always.contains(route))
        return m_always.value(route);
    return std::nullopt;
}

void FakeBackend::answer(QTcpSocket* socket, const Request& request)
{
    const std::optional<Answer> script = scripted(request.route());
    // A served answer reflects the state when the request arrived, also when it is late.
    const Answer reply = script && script->kind != Answer::Kind::Serve ? *script : serve(request);
    const int delay = script ? script->delayMs : 0;
    if (delay <= 0) {
        send(socket, reply);
        return;
    }
    QTimer::singleShot(delay, socket, [this, socket, reply] {
        if (m_connections.contains(socket))
            send(socket, reply);
    });
}

void FakeBackend::send(QTcpSocket* socket, const Answer& answer)
{
    switch (answer.kind) {
    case Answer::Kind::Hold:
        return;
    case Answer::Kind::Close:
        socket->abort();
        return;
    case Answer::Kind::Serve:
    case Answer::Kind::Respond:
    case Answer::Kind::Stream:
        break;
    }
    const qint64 length = answer.kind == Answer::Kind::Stream ? answer.streamBytes : answer.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reason(answer.status) + "\r\n";
    for (const auto& [name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
    socket->write(head);
    if (answer.kind == Answer::Kind::Respond && answer.msPerByte > 0) {
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket,
            [socket, drip, body = answer.body, sent = qsizetype(0)]() mutable {
                if (sent == body.size())
                    drip->stop();
                else
                    socket->write(body.mid(sent++, 1));
            });
        drip->start(answer.msPerByte);
        return;
    }
    if (answer.kind == Answer::Kind::Respond) {
        socket->write(answer.body);
        return;
    }
    m_connections[socket].streamLeft = length;
    continueStream(socket);
}

void FakeBackend::continueStream(QTcpSocket* socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->streamLeft <= 0 || socket->bytesToWrite() > streamChunk)
        return;
    const qint64 chunk = std::min(streamChunk, it->streamLeft);
    it->streamLeft -= chunk;
    socket->write(QByteArray(chunk, 'x'));
}

// The route table.

FakeBackend::Answer FakeBackend::serve(const Request& request)
{
    const QString route = request.route();
    const bool post = request.method == "POST";
    if (route == QLatin1String("/v1/health") && request.method == "GET")
        return health();
    if (route == QLatin1String("/v1/devices/register") && post)
        return registration(request);
    if (route == QLatin1String("/v1/ai/strategy") && post)
        return model(request, QStringLiteral("strategy"));
    if (route == QLatin1String("/v1/ai/report") && post)
        return model(request, QStringLiteral("report"));
    if (route == QLatin1String("/v1/ai/diagnose") && post)
        return model(request, QStringLiteral("diagnose"));
    if (route == QLatin1String("/v1/sync") && post)
        return sync(request);
    if (route == QLatin1String("/v1/state") && request.method == "GET" && request.segments.size() == 4)
        return state(request);
    if (route == QLatin1String("/v1/share/card") && post)
        return card(request);
    return error(404, QStringLiteral("no such route"));
}

FakeBackend::Answer FakeBackend::health() const
{
    QJsonObject providers;
    providers.insert(QStringLiteral("openai"), true);
    providers.insert(QStringLiteral("claude"), true);
    QJsonObject models;
    models.insert(QStringLiteral("openai"), QStringLiteral("gpt-5.6-sol"));
    models.insert(QStringLiteral("claude"), QStringLiteral("claude-opus-4-8"));
    QJsonObject body;
    body.insert(QStringLiteral("ok"), true);
    body.insert(QStringLiteral("providers"), providers);
    body.insert(QStringLiteral("models"), models);
    body.insert(QStringLiteral("auth_required"), m_options.authRequired);
    return Answer::json(200, body);
}

QString FakeBackend::newToken()
{
    return QStringLiteral("tok-%1").arg(++m_tokenCount);
}

FakeBackend::Answer FakeBackend::registration(const Request& request)
{
    if (request.header("X-App-Secret") != appSecret)
        return error(403, QStringLiteral("bad application secret"));
    const QJsonObject body = request.json();
    const QString name = body.value(QStringLiteral("name")).toString();
    const QString hardwareModel = body.value(QStringLiteral("hw_model")).toString();

    QString id = body.value(QStringLiteral("device_id")).toString();
    if (id.isEmpty() && m_options.recognizeReinstalls) {
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if (it->name == name && it->hardwareModel == hardwareModel)
                id = it.key();
        }
    }
    Device device;
    if (!id.isEmpty() && m_devices.contains(id))
        device = m_devices.take(id);
    else
        id = QStringLiteral("dev-%1").arg(++m_deviceCount);
    if (m_nextIdentifier)
        id = *std::exchange(m_nextIdentifier, std::nullopt);
    if (device.token.isEmpty())
        device.token = newToken();
    device.name = name;
    device.hardwareModel = hardwareModel;
    m_devices.insert(id, device);

    QJsonObject answer;
    answer.insert(QStringLiteral("device_id"), id);
    answer.insert(QStringLiteral("device_token"), device.token);
    return Answer::json(200, answer);
}

std::optional<FakeBackend::Answer> FakeBackend::refusal(const Request& request, const QString& deviceID) const
{
    const QByteArray authorization = request.header("Authorization");
    std::optional<QString> tokenDevice;
    if (!authorization.isEmpty()) {
        const QByteArray scheme = QByteArrayLiteral("Bearer ");
        const QString token = authorization.startsWith(scheme)
            ? QString::fromUtf8(authorization.mid(scheme.size()))
            : QString();
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if (!token.isEmpty() && it->token == token)
                tokenDevice = it.key();
        }
        if (!tokenDevice)
            return error(401, QStringLiteral("unknown token"));
    } else if (m_options.authRequired) {
        return error(401, QStringLiteral("token required"));
    }
    if (!m_devices.contains(deviceID))
        return error(404, QStringLiteral("unknown device"));
    if (tokenDevice && *tokenDevice != deviceID)
        return error(401, QStringLiteral("token of another device"));
    return std::nullopt;
}

FakeBackend::Answer FakeBackend::model(const Request& request, const QString& kind)
{
    const QJsonObject body = request.json();
    if (const std::optional<Answer> refused
        = refusal(request, body.value(QStringLiteral("device_id")).toString()))
        return *refused;
    QJsonObject usage;
    usage.insert(QStringLiteral("input_tokens"), m_inputTokens);
    usage.insert(QStringLiteral("output_tokens"), m_outputTokens);
    const bool japanese = body.value(QStringLiteral("payload")).toObject().value(QStringLiteral("lang"))
        == QLatin1String("ja");
    QJsonObject answer;
    if (kind == QLatin1String("strategy")) {
        QJsonObject strategy;
        strategy.insert(QStringLiteral("target_drain_watts"), 8.0);
        strategy.insert(QStringLiteral("brightness_cap"), 0.7);
        strategy.insert(QStringLiteral("escalate_soc_threshold"), 40);
        strategy.insert(QStringLiteral("reasoning"), japanese ? QStringLiteral("負荷の高い処理は少なめです。")
                                                              : QStringLiteral("Few heavy processes are running."));
        answer.insert(QStringLiteral("strategy"), m_strategy.value_or(strategy));
    } else if (kind == QLatin1String("report")) {
        answer.insert(QStringLiteral("text"),
                      m_text.value_or(japanese ? QStringLiteral("今回のセッションでは画面の減光が最も効果的でした。")
                                               : QStringLiteral("Dimming the display saved the most this session.")));
    } else {
        answer.insert(QStringLiteral("text"),
                      m_text.value_or(japanese ? QStringLiteral("バックグラウンドの処理がいつもより多くの電力を使っています。")
                                               : QStringLiteral("Background processes draw more power than usual.")));
    }
    answer.insert(QStringLiteral("usage"), usage);
    return Answer::json(200, answer);
}

FakeBackend::Answer FakeBackend::sync(const Request& request)
{
    const QJsonObject body = request.json();
    const QString id = body.value(QStringLiteral("device_id")).toString();
    if (const std::optional<Answer> refused = refusal(request, id))
        return *refused;
    Device& device = m_devices[id];
    QJsonObject accepted;
    for (const QString& list : syncedLists) {
        int fresh = 0;
        const QJsonArray records = body.value(list).toArray();
        for (const QJsonValue& record : records) {
            const QJsonObject object = record.toObject();
            device.received[list].append(object);
            const QByteArray identity = QJsonDocument(object).toJson(QJsonDocument::Compact);
            if (device.storedKeys[list].contains(identity))
                continue;
            device.storedKeys[list].insert(identity);
            device.stored[list].append(object);
            ++fresh;
        }
        accepted.insert(list, fresh);
    }
    // The restorable state: the latest learned model with the latest process averages.
    if (body.value(QStringLiteral("learned")).isObject()) {
        QJsonObject learned = body.value(QStringLiteral("learned")).toObject();
        learned.insert(QStringLiteral("impact_ema"), body.value(QStringLiteral("impact_ema")).toObject());
        device.learned = learned;
    }
    QJsonObject answer;
    answer.insert(QStringLiteral("accepted"), accepted);
    return Answer::json(200, answer);
}

FakeBackend::Answer FakeBackend::state(const Request& request)
{
    const QString id = request.segments[2];
    if (const std::optional<Answer> refused = refusal(request, id))
        return *refused;
    QJsonObject answer;
    const std::optional<QJsonObject>& learned = m_devices.value(id).learned;
    if (request.segments[3] == QLatin1String("learned") && learned)
        answer.insert(QStringLiteral("payload"), *learned);
    return Answer::json(200, answer);
}

FakeBackend::Answer FakeBackend::card(const Request& request)
{
    if (const std::optional<Answer> refused
        = refusal(request, request.query.value(QStringLiteral("device_id"))))
        return *refused;
    QJsonObject answer;
    answer.insert(QStringLiteral("url"), url().toString() + QStringLiteral("/c/%1").arg(++m_cardCount));
    return Answer::json(200, answer);
}

// Devices.

QString FakeBackend::tokenOf(const QString& deviceID) const
{
    return m_devices.value(deviceID).token;
}

void FakeBackend::revokeToken(const QString& deviceID)
{
    if (m_devices.contains(deviceID))
        m_devices[deviceID].token = newToken();
}

QList<QJsonObject> FakeBackend::stored(const QString& deviceID, const QString& list) const
{
    return m_devices.value(deviceID).stored.value(list);
}

QList<QJsonObject> FakeBackend::received(const QString& deviceID, const QString& list) const
{
    return m_devices.value(deviceID).received.value(list);
}

std::optional<QJsonObject> FakeBackend::learnedState(const QString& deviceID) const
{
    return m_devices.value(deviceID).learned;
}

void FakeBackend::setLearnedState(const QString& deviceID, const QJsonObject& state)
{
    if (m_devices.contains(deviceID))
        m_devices[deviceID].learned = state;
}

} // namespace kestrune
