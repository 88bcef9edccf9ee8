#pragma once

#include "modbus/link_io.h"

#include <QObject>
#include <QString>
#include <QTcpSocket>

namespace links {

// A link's TCP socket: remote host and port, connect, close,
// state, send and non-blocking reads. Arriving data are only announced
// (dataArrival with the total of unread bytes); the transactions read them.
class TcpLink : public QObject, public modbus::TcpIo {
    Q_OBJECT
public:
    // The most unread bytes the link keeps. A Modbus TCP answer has at most
    // 260 bytes; a peer that sends more than this without being asked has
    // its further bytes left in the system's socket buffer, which makes it
    // wait, until the transactions have read and dropped what is kept.
    static constexpr qint64 kReadBufferBytes = 1024;

    explicit TcpLink(QObject *parent = nullptr);

    void setRemoteHost(const QString &host) { remoteHost_ = host; }
    QString remoteHost() const { return remoteHost_; }
    // Fails for a port outside 1..65535.
    bool setRemotePort(int port);
    int remotePort() const { return remotePort_; }

    // Starts connecting; the connection completes later. A socket left in a
    // failed or half-open state is reset first.
    void connectToMeter();
    void close();
    QAbstractSocket::SocketState state() const { return socket_.state(); }

    bool isConnected() const override;
    std::vector<std::uint8_t> getData(int maxBytes) override;
    std::vector<std::uint8_t> peekData(int maxBytes) override;
    void sendData(std::span<const std::uint8_t> bytes) override;

signals:
    // A connection started by connectToMeter has been established.
    void connected();
    // Total number of unread bytes after new data arrived.
    void dataArrival(qint64 totalBytes);
    // The connection ended (the peer closed it, or it was aborted).
    void disconnected();
    void socketError(int number, const QString &description);

private:
    QTcpSocket socket_;
    QString remoteHost_;
    int remotePort_ = 502;
};

} // namespace links
