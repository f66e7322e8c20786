#pragma once
// A plain HTTP/1.0 client for loopback endpoints in tests: one request, the whole answer.
#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace qos::test {

// The answer to one request, headers and body; empty when nothing answered within timeoutMs.
inline QByteArray HttpGet(int port, const QByteArray &path, const QByteArray &method = "GET",
                          int timeoutMs = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(method + ' ' + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer + socket.readAll();
}

// The body of an answer (after its blank line).
inline QByteArray HttpBody(const QByteArray &answer)
{
    const qsizetype split = answer.indexOf("\r\n\r\n");
    return split < 0 ? QByteArray() : answer.mid(split + 4);
}

// A loopback port nobody listens on right now (in the network namespace of the calling thread).
inline int FreePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

} // namespace qos::test
