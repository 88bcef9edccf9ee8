#include "raw_clients.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

bool RawTcpClient::connectTo(const QString &host, quint16 port)
{
    socket_.connectToHost(host, port);
    if (!socket_.waitForConnected(5000))
        return false;
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

void RawTcpClient::send(const QByteArray &bytes)
{
    socket_.write(bytes);
    socket_.flush();
}

Arrival RawTcpClient::receive(qsizetype expected, int timeoutMs)
{
    Arrival arrival;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto take = [&] {
        const QByteArray chunk = socket_.readAll();
        if (!chunk.isEmpty()) {
            arrival.bytes += chunk;
            arrival.chunkMs << clock.elapsed();
        }
        if (arrival.bytes.size() >= expected)
            loop.quit();
    };
    const auto c1 = QObject::connect(&socket_, &QTcpSocket::readyRead, &loop, take);
    const auto c2 = QObject::connect(&socket_, &QTcpSocket::disconnected, &loop, [&] {
        arrival.closed = true;
        loop.quit();
    });
    take();
    if (arrival.bytes.size() < expected && socket_.state() == QAbstractSocket::ConnectedState) {
        timer.start(timeoutMs);
        loop.exec();
    }
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    arrival.closed = arrival.closed || socket_.state() != QAbstractSocket::ConnectedState;
    return arrival;
}

RawPtyClient::~RawPtyClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool RawPtyClient::open(const QString &device)
{
    fd_ = ::open(qPrintable(device), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
    return true;
}

void RawPtyClient::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
}

Arrival RawPtyClient::receive(qsizetype expected, int timeoutMs)
{
    Arrival arrival;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QSocketNotifier notifier(fd_, QSocketNotifier::Read);
    const auto take = [&] {
        char chunk[512];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            arrival.bytes.append(chunk, n);
            arrival.chunkMs << clock.elapsed();
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            arrival.closed = true;
            loop.quit();
        }
        if (arrival.bytes.size() >= expected)
            loop.quit();
    };
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, take);
    timer.start(timeoutMs);
    loop.exec();
    return arrival;
}
