#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <optional>

class QTcpSocket;

namespace kestrune {

// A stand-in for Kestrune's backend: HTTP/1.1 on 127.0.0.1, serving the route table the
// application uses (health, registration with the application secret, the three model
// routes, sync, state and card upload) with device tokens and storage per device.
//
// The three model routes answer in the language their payload asks for ("lang": "ja", else
// English) until a strategy or a text of the test's own is set.
//
// Every request is logged as it arrived. Each route can be scripted, for its next call or
// for good, to answer anything, hold its answer, drop the connection, stream a huge body,
// trickle a body or redirect elsewhere.
class FakeBackend : public QObject {
    Q_OBJECT

public:
    static constexpr auto appSecret = "7c41d9e02b86f35a1e94c07bd2a6385f19e0c47a2db8e613";

    struct Options {
        // Bearer routes refuse a request without a token.
        bool authRequired = false;
        // A registration without "device_id", from a machine whose name and hardware model
        // a device already has, gets that device's identifier back (a reinstalled machine).
        bool recognizeReinstalls = false;
    };

    // One request as it arrived.
    struct Request {
        QByteArray method;
        QByteArray target; // path and query as sent, still percent-encoded
        QStringList segments; // the path's segments, each decoded
        QMap<QString, QString> query; // decoded
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;

        QString route() const;
        // The body as a JSON object; empty when it is not one.
        QJsonObject json() const;
        QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    };

    // How to answer a request.
    struct Answer {
        enum class Kind { Serve, Respond, Hold, Close, Stream };
        Kind kind = Kind::Respond;
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        qint64 streamBytes = 0;
        int delayMs = 0;
        int msPerByte = 0;

        // The route's own answer, as without a script (to script a later call).
        static Answer serve();
        static Answer json(int status, const QJsonObject& body);
        static Answer raw(int status, QByteArray body);
        // No answer at all: the client's time-out ends the exchange.
        static Answer hold();
        // The connection is closed without an answer.
        static Answer close();
        // A 200 whose body of `bytes` bytes is streamed, never held in memory.
        static Answer huge(qint64 bytes);
        static Answer redirect(const QUrl& to);
        // The same answer, sent `ms` milliseconds after the request arrived.
        Answer after(int ms) const;
        // The same answer, its body sent one byte every `ms` milliseconds.
        Answer trickled(int ms) const;
    };

    explicit FakeBackend(QObject* parent = nullptr);
    explicit FakeBackend(Options options, QObject* parent = nullptr);
    ~FakeBackend() override;

    // Listens on 127.0.0.1; port 0 lets the system pick one.
    bool listen(quint16 port = 0);
    QUrl url() const;

    // Routes are named by their path ("/v1/sync"); state requests are "/v1/state".
    // The next call of `route` gets `answer` (several queue up in order).
    void answerNext(const QString& route, const Answer& answer);
    // Every call of `route` gets `answer` from now on, until cleared.
    void answerAlways(const QString& route, const Answer& answer);
    void clearScripts();
    // The next registration that passes the secret check hands out `id`; a device that
    // named itself keeps its storage under the new identifier.
    void issueIdentifierAtNextRegistration(const QString& id);

    void setAuthRequired(bool required) { m_options.authRequired = required; }
    void setStrategy(const QJsonObject& strategy) { m_strategy = strategy; }
    void setText(const QString& text) { m_text = text; }
    void setUsage(qint64 inputTokens, qint64 outputTokens);

    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(const QString& route) const;
    // Streamed answers whose connection closed before the whole body went out.
    int answersCutShort() const { return m_answersCutShort; }

    // Devices and their storage.
    QString tokenOf(const QString& deviceID) const;
    // The device's token stops working; its next registration is told a new one.
    void revokeToken(const QString& deviceID);
    // Records of one list ("samples", "plug_events", ...) in the order first received.
    QList<QJsonObject> stored(const QString& deviceID, const QString& list) const;
    // Every record of that list as received, repeats included.
    QList<QJsonObject> received(const QString& deviceID, const QString& list) const;
    std::optional<QJsonObject> learnedState(const QString& deviceID) const;
    void setLearnedState(const QString& deviceID, const QJsonObject& state);

private:
    struct Device {
        QString token;
        QString name;
        QString hardwareModel;
        QMap<QString, QList<QJsonObject>> stored;
        QMap<QString, QSet<QByteArray>> storedKeys;
        QMap<QString, QList<QJsonObject>> received;
        std::optional<QJsonObject> learned;
    };
    struct Connection {
        QByteArray buffer;
        qint64 streamLeft = 0;
    };

    void accept();
    void readFrom(QTcpSocket* socket);
    std::optional<Request> takeRequest(QByteArray& buffer, bool* malformed) const;
    void answer(QTcpSocket* socket, const Request& request);
    void send(QTcpSocket* socket, const Answer& answer);
    void continueStream(QTcpSocket* socket);
    std::optional<Answer> scripted(const QString& route);
    Answer serve(const Request& request);

    Answer health() const;
    Answer registration(const Request& request);
    // A refusal when the request's token or device is not acceptable.
    std::optional<Answer> refusal(const Request& request, const QString& deviceID) const;
    Answer model(const Request& request, const QString& kind);
    Answer sync(const Request& request);
    Answer state(const Request& request);
    Answer card(const Request& request);
    QString newToken();

    Options m_options;
    QTcpServer m_server;
    QHash<QTcpSocket*, Connection> m_connections;
    QList<Request> m_requests;
    QMap<QString, QList<Answer>> m_next;
    QMap<QString, Answer> m_always;
    std::optional<QString> m_nextIdentifier;
    QMap<QString, Device> m_devices;
    int m_deviceCount = 0;
    int m_tokenCount = 0;
    int m_cardCount = 0;
    int m_answersCutShort = 0;
    std::optional<QJsonObject> m_strategy;
    std::optional<QString> m_text;
    qint64 m_inputTokens = 120;
    qint64 m_outputTokens = 30;
};

} // namespace kestrune
