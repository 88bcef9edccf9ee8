#include "tcp_server.h"

#include "monotonic_clock.h"
#include "pdu_handler.h"
#include "wire_codec.h"

#include <QTcpSocket>

namespace metersim {

namespace {
constexpr int kMaxMbapLength = 254; // unit + PDU of at most 253 bytes
}

TcpServer::TcpServer(MeterService &service, QObject *parent)
    : QObject(parent), service_(service)
{
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::acceptConnections);
}

bool TcpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!server_.listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(server_.errorString());
        return false;
    }
    return true;
}

void TcpServer::acceptConnections()
{
    while (QTcpSocket *socket = server_.nextPendingConnection())
        new TcpSession(socket, service_, this);
}

TcpSession::TcpSession(QTcpSocket *socket, MeterService &service, QObject *parent)
    : QObject(parent),
      socket_(socket),
      service_(service),
      pacer_([this](const QByteArray &bytes) { socket_->write(bytes); },
             [this] { socket_->disconnectFromHost(); }, service.sharedLine(), this)
{
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &TcpSession::readRequests);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    readRequests();
}

void TcpSession::drop()
{
    disconnect(socket_, nullptr, this, nullptr);
    socket_->abort();
    buffer_.clear();
    deleteLater();
}

void TcpSession::readRequests()
{
    const qint64 now = monotonicNs();
    if (buffer_.isEmpty())
        bufferStartNs_ = now;
    buffer_.append(socket_->readAll());

    while (buffer_.size() >= kHeader) {
        const quint16 protocol = u16At(buffer_, 2);
        const quint16 length = u16At(buffer_, 4);
        // A header that cannot be right: the stream cannot be trusted any more.
        if (protocol != 0 || length < 2 || length > kMaxMbapLength) {
            drop();
            return;
        }
        const qsizetype frameSize = 6 + length;
        if (buffer_.size() < frameSize)
            return;
        const QByteArray frame = buffer_.left(frameSize);
        buffer_.remove(0, frameSize);
        const qint64 firstByteNs = bufferStartNs_;
        bufferStartNs_ = now;
        if (!handleFrame(frame, firstByteNs))
            return;
    }
}

bool TcpSession::handleFrame(const QByteArray &frame, qint64 firstByteNs)
{
    const auto unit = static_cast<quint8>(frame[6]);
    const QByteArrayView pdu = QByteArrayView(frame).sliced(kHeader);
    // The length field and the request it frames must agree.
    if (!pduLengthConsistent(pdu)) {
        drop();
        return false;
    }
    // A client that sends and never reads is cut off before its answers pile up.
    constexpr qint64 kMaxUnsent = 1024 * 1024;
    if (socket_->bytesToWrite() > kMaxUnsent) {
        drop();
        return false;
    }
    const auto answer = service_.handle(unit, pdu);
    if (!answer || answer->faults.drop)
        return true;
    // On a line of several meters the gateway puts the request on the line
    // once the line is free.
    LineSchedule *line = service_.sharedLine();
    const qint64 requestStart = line ? qMax(firstByteNs, line->busyUntilNs) : firstByteNs;
    const qint64 wireEnd = requestStart + frame.size() * answer->byteTimeNs;
    if (line)
        line->busyUntilNs = qMax(line->busyUntilNs, wireEnd);
    if (answer->faults.close) {
        pacer_.close(wireEnd, answer->faults);
        return true;
    }
    QByteArray bytes = frame.left(2); // transaction identifier, echoed
    appendU16(bytes, 0);
    appendU16(bytes, static_cast<quint16>(1 + answer->pdu.size()));
    bytes.append(static_cast<char>(answer->unit));
    bytes.append(answer->pdu);
    pacer_.send(applyFrameFaults(bytes, answer->faults), wireEnd, answer->faults,
                answer->byteTimeNs);
    return true;
}

} // namespace metersim
