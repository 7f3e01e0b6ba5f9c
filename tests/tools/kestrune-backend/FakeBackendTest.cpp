#include "tests/support/BackendTestbed.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QJsonDocument>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

TEST(FakeBackendTest, ARequestWithALengthThatIsNoCountIsDroppedAndTheServerGoesOn)
{
    FakeBackend server;
    ASSERT_TRUE(server.listen());
    const auto exchange = [&](const QByteArray& request) {
        QTcpSocket socket;
        socket.connectToHost(server.url().host(), quint16(server.url().port()));
        EXPECT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
        socket.write(request);
        QByteArray answer;
        waitUntil([&] {
            answer += socket.readAll();
            return answer.contains("\r\n\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
        });
        return answer;
    };

    // A negative length as long as the request itself took the buffer back to the
    // request's start, which was then read again and again.
    const QByteArray head = "GET /v1/health HTTP/1.1\r\nHost: x\r\nContent-Length: -";
    const QByteArray looping = head + QByteArray::number(head.size() + 2 + 4) + "\r\n\r\n";
    ASSERT_EQ(looping.size(), head.size() + 2 + 4);
    EXPECT_TRUE(exchange(looping).isEmpty());
    EXPECT_TRUE(exchange("GET /v1/health HTTP/1.1\r\nContent-Length: lots\r\n\r\n").isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());

    EXPECT_TRUE(exchange("GET /v1/health HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(FakeBackendTest, TheModelRoutesAnswerInTheLanguageTheRequestAsksFor)
{
    BackendTestbed bed;
    bed.registerDevice();
    const auto reasoning = [&](const char* lang) {
        const auto answer = await(bed.client->aiStrategy(QJsonObject{{"lang", lang}}, "openai", "m"));
        return answer ? QJsonDocument::fromJson(answer->strategyJSON)["reasoning"].toString() : QString();
    };
    EXPECT_EQ(reasoning("en"), "Few heavy processes are running.");
    EXPECT_EQ(reasoning("ja"), "負荷の高い処理は少なめです。");
    const auto report = await(bed.client->aiReport(QJsonObject{{"lang", "en"}}, "openai", "m"));
    EXPECT_EQ(report ? report->text : QString(), "Dimming the display saved the most this session.");
}
