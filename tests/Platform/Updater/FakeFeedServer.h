#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>
#include <QUrl>

namespace kestrune::test {

// A web server on 127.0.0.1 that answers each path with a fixed status and body, or never
// answers at all. It counts the requests it gets.
class FakeFeedServer : public QObject {
    Q_OBJECT

public:
    struct Answer {
        int status = 200;
        QByteArray body;
        bool silent = false; // accept the request, answer nothing
    };

    FakeFeedServer();
    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path) const;
    void answer(const QString& path, Answer answer) { m_answers.insert(path, std::move(answer)); }
    int requests() const { return m_requests; }

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    int m_requests = 0;
};

} // namespace kestrune::test
