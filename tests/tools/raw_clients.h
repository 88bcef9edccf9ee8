#pragma once

// Byte-level clients for what a Modbus library will not do on purpose:
// requests in pieces, noise, lying headers, and watching how an answer
// arrives. Waiting runs the event loop with a time-out.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTcpSocket>

class QSocketNotifier;

struct Arrival {
    QByteArray bytes;
    QList<qint64> chunkMs; // arrival time of each chunk, from the start of the wait
    bool closed = false;   // the peer closed the connection
};

class RawTcpClient {
public:
    bool connectTo(const QString &host, quint16 port);
    void send(const QByteArray &bytes);
    // Collects bytes until `expected` have come, the connection closes or timeoutMs pass.
    Arrival receive(qsizetype expected, int timeoutMs);

private:
    QTcpSocket socket_;
};

class RawPtyClient {
public:
    ~RawPtyClient();
    bool open(const QString &device);
    void send(const QByteArray &bytes);
    Arrival receive(qsizetype expected, int timeoutMs);

private:
    int fd_ = -1;
};

// hex("0F 03 10 21") -> bytes
QByteArray hexBytes(const char *text);
