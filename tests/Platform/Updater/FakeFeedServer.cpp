#include "tests/Platform/Updater/FakeFeedServer.h"

#include <QTcpSocket>

namespace kestrune::test {

FakeFeedServer::FakeFeedServer()
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QUrl FakeFeedServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void FakeFeedServer::serve(QTcpSocket* socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    ++m_requests;
    const QString path = QString::fromLatin1(request.split(' ').value(1));
    const Answer answer = m_answers.value(path, Answer{404, "not here", false});
    if (answer.silent)
        return;
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\nContent-Type: application/rss+xml\r\n"
                  + "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n"
                  + answer.body);
    socket->disconnectFromHost();
}

} // namespace kestrune::test
