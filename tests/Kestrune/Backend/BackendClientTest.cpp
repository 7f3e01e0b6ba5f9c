#include "Kestrune/Backend/BackendClient.h"

#include "tests/support/BackendTestbed.h"
#include "tests/support/EventLoop.h"

#include <QJsonArray>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrune;
using Answer = FakeBackend::Answer;

namespace {

using test::await;

QJsonObject payload()
{
    QJsonObject object;
    object.insert("session_minutes", 42);
    return object;
}

QString description(const BackendFailure& failure)
{
    return failure.description();
}

class BackendClientTest : public ::testing::Test {
protected:
    test::BackendTestbed bed;
    FakeBackend& server = bed.server;
    BackendClient& client() { return *bed.client; }

    BackendResult<BackendClient::TextAnswer> report()
    {
        return await(client().aiReport(payload(), "openai", "m"));
    }
    qsizetype sent() const { return server.requests().size(); }
};

} // namespace

TEST_F(BackendClientTest, OnlyAWebAddressIsABaseAndRoutesReplaceItsPath)
{
    bed.settings->setBackendURL(" \t" + server.url().toString() + "/api/v2/ \t");
    bed.registerDevice();
    ASSERT_EQ(sent(), 2);
    const auto health = server.requests()[0];
    EXPECT_EQ(health.method, "GET");
    EXPECT_EQ(health.target, "/v1/health") << "the route replaces the base's own path";
    EXPECT_TRUE(health.header("Content-Type").isEmpty()) << "a request without a body has no content type";
    EXPECT_TRUE(health.header("Authorization").isEmpty());
    const auto registration = server.requests()[1];
    EXPECT_EQ(registration.target, "/v1/devices/register");
    EXPECT_EQ(registration.header("Content-Type"), "application/json");
    EXPECT_EQ(registration.header("X-App-Secret"), FakeBackend::appSecret);

    const QString port = QString::number(server.url().port());
    for (const QString& bad :
        { QString(), QString(" \t "), QString("file:///etc/passwd"), "ftp://127.0.0.1:" + port,
            "127.0.0.1:" + port, server.url().toString() + "\n", QString("http://") }) {
        bed.settings->setBackendURL(bad);
        await(client().checkHealth(true));
        EXPECT_EQ(client().lastError(), "サーバーURLが不正です") << bad.toStdString();
        const auto answer = report();
        ASSERT_FALSE(answer.ok());
        EXPECT_EQ(answer.failure(), BackendFailure(BackendError::invalidURL()));
    }
    EXPECT_EQ(sent(), 2) << "nothing is sent to an address that is not a web server's";
}

TEST_F(BackendClientTest, ErrorAnswersTransportFailuresAndBodiesEachFailTheirOwnWay)
{
    bed.registerDevice();

    // An error answer shows its status and the start of its body; the body is UTF-8 or nothing.
    QString longBody;
    for (int i = 0; i < 100; ++i)
        longBody += QString("エラー%1;").arg(i % 10, 6, 10, QChar('0'));
    ASSERT_EQ(longBody.size(), 1000);
    server.answerNext("/v1/ai/report", Answer::raw(500, longBody.toUtf8()));
    EXPECT_EQ(description(report().failure()), "HTTP 500: " + longBody.left(200));
    server.answerNext("/v1/ai/report", Answer::raw(500, QByteArray("caf\xe9 \xff\xfe", 7)));
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::httpError(500, "")));
    EXPECT_TRUE(client().serverReachable()) << "an error answer still came from the server";

    // A held answer is a transport failure once the client stops waiting.
    server.answerNext("/v1/ai/report", Answer::hold());
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::offline()));
    EXPECT_FALSE(client().serverReachable());
    EXPECT_FALSE(client().isReady());

    // A body larger than the limit is abandoned part way; the server learns nothing from it.
    server.answerNext("/v1/ai/report", Answer::huge(64 * 1024 * 1024));
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::invalidResponse()));
    EXPECT_TRUE(test::waitUntil([&] { return server.answersCutShort() == 1; }))
        << "the connection must close before the whole body arrived";
    EXPECT_FALSE(client().serverReachable());

    // A 2xx answer makes it reachable again, even one that is not JSON.
    server.answerNext("/v1/ai/report", Answer::raw(200, "<html>maintenance</html>"));
    const auto notJson = report();
    ASSERT_FALSE(notJson.ok());
    EXPECT_FALSE(notJson.failure().backendError());
    EXPECT_TRUE(description(notJson.failure()).startsWith("JSON: "))
        << description(notJson.failure()).toStdString();
    EXPECT_TRUE(client().serverReachable());
    server.answerNext("/v1/ai/report", Answer::raw(200, R"({"text": 5})"));
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::invalidResponse()));

    // A payload holding a number JSON cannot carry is refused before anything is sent.
    const qsizetype before = sent();
    QJsonObject bad = payload();
    bad.insert("drain_w", std::nan(""));
    const auto refused = await(client().aiDiagnose(bad, "openai", "m"));
    ASSERT_FALSE(refused.ok());
    EXPECT_FALSE(refused.failure().backendError());
    EXPECT_EQ(sent(), before);

    // A server that refuses connections.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    bed.settings->setBackendURL(QString("http://127.0.0.1:%1").arg(port));
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::offline()));
    EXPECT_FALSE(client().serverReachable());
}

TEST_F(BackendClientTest, ARedirectToAnotherOriginIsNotFollowed)
{
    bed.registerDevice();
    FakeBackend elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    server.answerNext("/v1/ai/report", Answer::redirect(elsewhere.url().resolved(QUrl("/v1/ai/report"))));
    const auto answer = report();
    ASSERT_FALSE(answer.ok());
    ASSERT_TRUE(answer.failure().backendError());
    EXPECT_EQ(answer.failure().backendError()->status(), 302);
    test::spin(50);
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the token must never reach another host";
}

TEST_F(BackendClientTest, ABearerRouteReRegistersOnceAfter401Or404)
{
    bed.registerDevice();
    const QString id = *client().deviceID();
    const QString oldToken = server.tokenOf(id);

    // A revoked token: 401, registration, and the same request again with the new token.
    server.revokeToken(id);
    qsizetype mark = sent();
    ASSERT_TRUE(report().ok());
    auto log = server.requests().mid(mark);
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0].route(), "/v1/ai/report");
    EXPECT_EQ(log[0].header("Authorization"), "Bearer " + oldToken.toUtf8());
    EXPECT_EQ(log[1].route(), "/v1/devices/register");
    EXPECT_EQ(log[1].json().value("device_id").toString(), id);
    EXPECT_TRUE(log[1].header("Authorization").isEmpty()) << "registration sends the secret, not the token";
    EXPECT_EQ(log[2].header("Authorization"), "Bearer " + server.tokenOf(id).toUtf8());
    EXPECT_EQ(log[2].body, log[0].body);
    EXPECT_EQ(bed.defaults->string("backend.deviceToken"), server.tokenOf(id));

    // 404 twice: one registration, one retry, and the second 404 is the answer.
    server.answerNext("/v1/ai/report", Answer::json(404, {}));
    server.answerNext("/v1/ai/report", Answer::json(404, {}));
    mark = sent();
    EXPECT_TRUE(report().failure().backendError()->isHttpStatus(404));
    log = server.requests().mid(mark);
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[1].route(), "/v1/devices/register");

    // 403 is final at once.
    server.answerNext("/v1/ai/report", Answer::json(403, {}));
    mark = sent();
    EXPECT_TRUE(report().failure().backendError()->isHttpStatus(403));
    EXPECT_EQ(sent(), mark + 1);

    // Without a token after registering, the retry goes out without one...
    server.answerNext("/v1/ai/report", Answer::json(401, {}));
    QJsonObject noToken;
    noToken.insert("device_id", id);
    server.answerNext("/v1/devices/register", Answer::json(200, noToken));
    mark = sent();
    EXPECT_TRUE(report().ok());
    log = server.requests().mid(mark);
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[2].header("Authorization").isEmpty());
    EXPECT_FALSE(bed.defaults->contains("backend.deviceToken")) << "the rejected token is forgotten for good";

    // ...unless the server requires one: then the call fails as a failed re-registration.
    server.setAuthRequired(true);
    await(client().checkHealth(true)); // learns auth_required and registers for a token
    ASSERT_TRUE(bed.defaults->contains("backend.deviceToken"));
    server.answerNext("/v1/ai/report", Answer::json(401, {}));
    server.answerNext("/v1/devices/register", Answer::json(500, {}));
    mark = sent();
    EXPECT_EQ(description(report().failure()), "HTTP 401: 再登録に失敗");
    EXPECT_EQ(sent(), mark + 2) << "no retry without the token the server requires";
}

TEST_F(BackendClientTest, IdentifiersTravelAsOneSegmentOrOneValue)
{
    bed.registerDevice();
    const QStringList identifiers { "../../x", "a/b", "..", "q?x=1", "h#frag", "a&b=c", "100%", "with space",
        "端末-é", "%2E%2E" };
    for (const QString& id : identifiers) {
        server.issueIdentifierAtNextRegistration(id);
        await(bed.client->registerIfNeeded());
        ASSERT_EQ(client().deviceID(), id);
        server.setLearnedState(id, QJsonObject { { "effects", QJsonObject() } });

        const qsizetype mark = sent();
        const auto state = await(client().fetchState("learned"));
        const auto card = await(client().uploadShareCard("png", 95, "week", "ja"));
        if (id == "..") {
            // A dot segment cannot be one segment at all: nothing goes out.
            EXPECT_EQ(state.failure(), BackendFailure(BackendError::invalidURL()));
            EXPECT_EQ(sent(), mark);
            continue;
        }
        ASSERT_TRUE(state.ok()) << id.toStdString() << ": " << description(state.failure()).toStdString();
        EXPECT_TRUE(state.value().has_value()) << id.toStdString();
        ASSERT_TRUE(card.ok()) << id.toStdString() << ": " << description(card.failure()).toStdString();

        const auto log = server.requests().mid(mark);
        ASSERT_EQ(log.size(), 2) << id.toStdString();
        EXPECT_EQ(log[0].segments, (QStringList { "v1", "state", id, "learned" }))
            << log[0].target.toStdString();
        EXPECT_EQ(log[1].segments, (QStringList { "v1", "share", "card" })) << log[1].target.toStdString();
        EXPECT_EQ(log[1].query.keys(), (QStringList { "device_id", "lang", "m", "p" }))
            << log[1].target.toStdString();
        EXPECT_EQ(log[1].query.value("device_id"), id);
        EXPECT_EQ(log[1].query.value("m"), "95");
        EXPECT_EQ(log[1].query.value("p"), "week");
        EXPECT_EQ(log[1].header("Content-Type"), "image/png");
        EXPECT_EQ(log[1].body, "png");
    }
}

TEST_F(BackendClientTest, HealthChecksAreSpacedAndRegisterWhatIsMissing)
{
    // A fresh installation: the first healthy answer registers, without a "device_id".
    await(client().checkHealth(false));
    ASSERT_EQ(sent(), 2);
    EXPECT_FALSE(server.requests()[1].json().contains("device_id"));
    const QJsonObject machine = server.requests()[1].json();
    EXPECT_FALSE(machine.value("name").toString().isEmpty());
    EXPECT_TRUE(machine.value("os_version").toString().contains("kernel"));
    EXPECT_EQ(machine.value("app_version").toString(), "0.1.0");
    EXPECT_EQ(machine.value("hw_model").toString(), "") << "no DMI product name in the test's tree";
    EXPECT_EQ(client().lastHealthAt(), bed.clock.now());
    ASSERT_TRUE(client().isReady());

    // Unforced checks keep 60 s apart; a forced one goes at once.
    bed.clock.advance(30);
    await(client().checkHealth(false));
    EXPECT_EQ(sent(), 2);
    await(client().checkHealth(true));
    EXPECT_EQ(sent(), 3);
    bed.clock.advance(59.999);
    await(client().checkHealth(false));
    EXPECT_EQ(sent(), 3);
    bed.clock.advance(0.001);
    await(client().checkHealth(false));
    EXPECT_EQ(sent(), 4);

    // "ok" false: recorded, no error, not reachable, no registration.
    server.answerNext("/v1/health", Answer::raw(200, R"({"ok": false, "providers": {}, "models": {}})"));
    await(client().checkHealth(true));
    EXPECT_EQ(sent(), 5);
    EXPECT_FALSE(client().serverReachable());
    EXPECT_EQ(client().lastError(), std::nullopt);
    ASSERT_TRUE(client().lastHealth());
    EXPECT_FALSE(client().lastHealth()->ok);

    // A health answer of the wrong shape is a failed check.
    server.answerNext("/v1/health", Answer::raw(200, R"({"ok": true, "models": {}})"));
    await(client().checkHealth(true));
    EXPECT_FALSE(client().serverReachable());
    EXPECT_TRUE(client().lastError().value_or("").contains("providers"));
    EXPECT_TRUE(client().lastHealth()) << "the last good answer stays";
}

TEST_F(BackendClientTest, RegistrationKeepsWhatAnAnswerDoesNotReplace)
{
    bed.registerDevice();
    const QString id = *client().deviceID();
    const QString token = server.tokenOf(id);

    // An empty token keeps the old one; an empty identifier names no device.
    QJsonObject emptyToken;
    emptyToken.insert("device_id", "renamed");
    emptyToken.insert("device_token", "");
    server.answerNext("/v1/devices/register", Answer::json(200, emptyToken));
    await(client().registerIfNeeded());
    EXPECT_EQ(client().deviceID(), "renamed");
    EXPECT_EQ(bed.defaults->string("backend.deviceID"), "renamed");
    EXPECT_EQ(bed.defaults->string("backend.deviceToken"), token);

    QJsonObject emptyID;
    emptyID.insert("device_id", "");
    emptyID.insert("device_token", "stolen");
    server.answerNext("/v1/devices/register", Answer::json(200, emptyID));
    await(client().registerIfNeeded());
    EXPECT_EQ(client().deviceID(), "renamed");
    EXPECT_EQ(bed.defaults->string("backend.deviceToken"), token);

    // A rejected secret: the identity stays and the error is shown.
    server.answerNext("/v1/devices/register", Answer::raw(403, "bad secret"));
    await(client().registerIfNeeded());
    EXPECT_EQ(client().lastError(), "HTTP 403: bad secret");
    EXPECT_EQ(client().deviceID(), "renamed");

    // A token that is no header value, or an identifier longer than any, fails the
    // registration whole; neither reaches a request or the defaults.
    for (const auto& [badID, badToken] :
        { std::pair { QString("injected"), QString("tok\r\nX-Injected: yes") },
            std::pair { QString("spaced"), QString("tok en") },
            std::pair { QString(1000, 'x'), QString("fine") } }) {
        server.answerNext("/v1/devices/register",
            Answer::json(200, { { "device_id", badID }, { "device_token", badToken } }));
        await(client().registerIfNeeded());
        EXPECT_EQ(client().lastError(), "不正なレスポンス");
        EXPECT_TRUE(
            client().deviceID() == "renamed" && bed.defaults->string("backend.deviceID") == "renamed");
        EXPECT_EQ(bed.defaults->string("backend.deviceToken"), token);
    }
    // One stored before, by a version that took it, is not sent either.
    bed.defaults->set("backend.deviceToken", "tok\r\nX-Injected: yes");
    bed.defaults->set("backend.deviceID", QString(4 * 1024 * 1024, 'x'));
    bed.open();
    EXPECT_FALSE(client().deviceID()) << "an identifier no registration keeps is none";
    bed.registerDevice();
    report();
    for (const FakeBackend::Request& request : server.requests())
        EXPECT_TRUE(request.header("X-Injected").isEmpty()) << request.target.constData();

    // After a restart with an identity but no token, a server that requires tokens gets a
    // registration at every healthy check until one is stored.
    bed.defaults->remove("backend.deviceToken");
    bed.defaults->set("backend.deviceID", id);
    bed.open();
    server.setAuthRequired(true);
    QJsonObject stillNoToken;
    stillNoToken.insert("device_id", id);
    server.answerNext("/v1/devices/register", Answer::json(200, stillNoToken));
    qsizetype mark = sent();
    await(client().checkHealth(true));
    EXPECT_EQ(sent(), mark + 2);
    mark = sent();
    await(client().checkHealth(true));
    EXPECT_EQ(sent(), mark + 2);
    EXPECT_EQ(bed.defaults->string("backend.deviceToken"), server.tokenOf(id));
    mark = sent();
    await(client().checkHealth(true));
    EXPECT_EQ(sent(), mark + 1) << "with a token, a health check is just a health check";
}

TEST_F(BackendClientTest, TheNetworkPathGatesEveryRequest)
{
    bed.registerDevice();
    const qsizetype mark = sent();

    // The start-up report repeats what the client assumed: nothing happens.
    bed.path->report(true);
    test::spin(20);
    EXPECT_EQ(sent(), mark);

    QList<bool> reachable;
    QObject::connect(
        bed.client.get(), &BackendClient::serverReachableChanged, [&](bool r) { reachable << r; });
    bed.path->report(false);
    EXPECT_TRUE(client().networkAvailable()) << "the report reaches the client through the event loop";
    ASSERT_TRUE(test::waitUntil([&] { return !client().networkAvailable(); }));
    EXPECT_FALSE(client().serverReachable()) << "both drop in the same step";
    EXPECT_EQ(report().failure(), BackendFailure(BackendError::offline()));
    await(client().checkHealth(true));
    await(client().registerIfNeeded());
    EXPECT_EQ(sent(), mark) << "no request without a network";

    // Back: one forced check, although the last one was moments ago.
    bed.path->report(true);
    ASSERT_TRUE(test::waitUntil([&] { return client().serverReachable(); }));
    EXPECT_EQ(sent(), mark + 1);
    EXPECT_EQ(server.requests().last().route(), "/v1/health");
    EXPECT_EQ(reachable, (QList<bool> { false, true }));
}
