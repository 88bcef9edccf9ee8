#include "links/tcp_link.h"

namespace links {

TcpLink::TcpLink(QObject *parent) : QObject(parent)
{
    socket_.setReadBufferSize(kReadBufferBytes);
    connect(&socket_, &QTcpSocket::connected, this, &TcpLink::connected);
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpLink::disconnected);
    connect(&socket_, &QTcpSocket::readyRead, this,
            [this] { emit dataArrival(socket_.bytesAvailable()); });
    connect(&socket_, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                // A peer that closes the connection is not an error here: the
                // transactions find the socket unconnected and stop asking.
                if (error != QAbstractSocket::RemoteHostClosedError)
                    emit socketError(static_cast<int>(error), socket_.errorString());
            });
}

bool TcpLink::setRemotePort(int port)
{
    if (port < 1 || port > 65535)
        return false;
    remotePort_ = port;
    return true;
}

void TcpLink::connectToMeter()
{
    if (socket_.state() == QAbstractSocket::ConnectedState)
        return;
    if (socket_.state() != QAbstractSocket::UnconnectedState)
        socket_.abort();
    socket_.connectToHost(remoteHost_, static_cast<quint16>(remotePort_));
}

void TcpLink::close()
{
    socket_.abort();
}

bool TcpLink::isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

std::vector<std::uint8_t> TcpLink::getData(int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    const QByteArray data = socket_.read(maxBytes);
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

std::vector<std::uint8_t> TcpLink::peekData(int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    const QByteArray data = socket_.peek(maxBytes);
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

void TcpLink::sendData(std::span<const std::uint8_t> bytes)
{
    if (!isConnected())
        return;
    socket_.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
}

} // namespace links
