#pragma once

#include "answer_pacer.h"
#include "meter_service.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

namespace metersim {

// Modbus TCP: any number of connections, each with its own answer queue.
class TcpServer : public QObject {
    Q_OBJECT
public:
    TcpServer(MeterService &service, QObject *parent = nullptr);

    // Port 0 picks a free port.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    QHostAddress address() const { return server_.serverAddress(); }
    quint16 port() const { return server_.serverPort(); }

private:
    void acceptConnections();

    MeterService &service_;
    QTcpServer server_;
};

// One client connection: MBAP framing in, answers out.
class TcpSession : public QObject {
    Q_OBJECT
public:
    TcpSession(QTcpSocket *socket, MeterService &service, QObject *parent);

private:
    static constexpr int kHeader = 7; // transaction, protocol, length, unit
    void readRequests();
    // Returns false when the connection was dropped for a malformed header.
    bool handleFrame(const QByteArray &frame, qint64 firstByteNs);
    void drop();

    QTcpSocket *socket_;
    MeterService &service_;
    AnswerPacer pacer_;
    QByteArray buffer_;
    qint64 bufferStartNs_ = 0;
};

} // namespace metersim
