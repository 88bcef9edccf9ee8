#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpSocket>

// One HTTP/1.0 request on a plain socket, its answer read until the server
// closes: for the tests of the gateway's HTTP server and its API.
namespace testsupport {

struct HttpAnswer {
    int status = 0; // 0: no answer
    QByteArray head; // status line and headers
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

// requestLine: "GET /path" as it goes on the wire; extra: header lines, each
// ended by CR LF; waitMs: the longest silence before the answer is whole.
inline HttpAnswer httpRequest(quint16 port, const QByteArray &requestLine, const QByteArray &extra = {},
                              int waitMs = 10000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write(requestLine + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
    QByteArray response;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(waitMs))
        response += socket.readAll();
    response += socket.readAll();
    HttpAnswer answer;
    const qsizetype split = response.indexOf("\r\n\r\n");
    if (split < 0)
        return answer;
    answer.head = response.left(split);
    answer.body = response.mid(split + 4);
    answer.status = answer.head.split(' ').value(1).toInt();
    return answer;
}

inline QByteArray basicAuthorization(const QByteArray &user, const QByteArray &password)
{
    return "Authorization: Basic " + (user + ':' + password).toBase64() + "\r\n";
}

} // namespace testsupport
