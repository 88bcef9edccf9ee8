#include "links/serial_link.h"

#include "links/port_map.h"

#include <QFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <limits>

namespace links {

namespace {

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

bool parseSettings(const QString &text, LineSettings &out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    out.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || out.baud <= 0)
        return false;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        out.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        out.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        out.parity = QSerialPort::OddParity;
    else
        return false;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    out.dataBits = static_cast<QSerialPort::DataBits>(bits);

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        out.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("2"))
        out.stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

// A port that another program holds open reports the same error as one the
// user may not open; only the device's own permissions tell them apart.
bool SerialLink::deviceRefusesUser() const
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(deviceName());
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    return false; // no group to join elsewhere
#endif
}

SerialLink::SerialLink(QObject *parent) : QObject(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::inputReady);
    port_.setReadBufferSize(kReadBufferBytes);
    // A device that has gone away wakes the port's notifiers again and again
    // (a read that ends at once, a write that fails, each an error) for as
    // long as the port stays open. Queued: the port is not closed inside its
    // own notification.
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::checkDeviceAfterError,
            Qt::QueuedConnection);
}

void SerialLink::checkDeviceAfterError()
{
    if (!port_.isOpen())
        return;
#ifdef Q_OS_UNIX
    // The kind of error Qt reports follows whatever errno a failed call left
    // behind, so the driver is asked instead: a device that went away
    // refuses every request.
    int count = 0;
    if (::ioctl(port_.handle(), FIONREAD, &count) == 0)
        return;
#else
    if (port_.error() != QSerialPort::ResourceError)
        return;
#endif
    port_.close();
    emit portLost();
}

void SerialLink::inputReady()
{
    // Only part of the answer is in (more than a wake count can hold, or a
    // driver that wakes on every byte): wake again for the rest only. A
    // complete answer is taken at once and needs nothing more.
    // The port object has just read what the driver held.
    if (expected_ > int(held_.size() + port_.bytesAvailable()))
        armWake();
    emit inputArrived();
}

void SerialLink::expectInput(int totalBytes, int firstLook)
{
    expected_ = std::max(totalBytes, 0);
    firstLook_ = std::clamp(firstLook, 0, expected_);
    armWake();
}

void SerialLink::armWake()
{
#ifdef Q_OS_UNIX
    if (!port_.isOpen())
        return;
    // With no read timer, a terminal in raw mode reports itself readable
    // once its minimum read count of bytes is in (Linux; other systems may
    // report every byte, which is merely more wakes). The count is one byte
    // wide: a longer answer wakes at 255 bytes and then for the rest.
    constexpr qint64 kMostWakeBytes = 255;
    const qint64 have = qint64(held_.size()) + port_.bytesAvailable();
    const qint64 target = have < firstLook_ ? firstLook_ : expected_;
    const int count = static_cast<int>(std::clamp<qint64>(target - have, 1, kMostWakeBytes));
    if (count == wakeCount_)
        return;
    // The terminal's settings are read once after the port applied its own;
    // later wakes change the one field.
    if (wakeCount_ < 0 && ::tcgetattr(port_.handle(), &terminal_) != 0)
        return;
    terminal_.c_cc[VMIN] = static_cast<cc_t>(count);
    terminal_.c_cc[VTIME] = 0;
#ifdef Q_OS_LINUX
    // One call: the C library's tcsetattr reads the settings back around it.
    const int set = ::ioctl(port_.handle(), TCSETS, &terminal_);
#else
    const int set = ::tcsetattr(port_.handle(), TCSANOW, &terminal_);
#endif
    if (set == 0)
        wakeCount_ = count;
#endif
}

bool SerialLink::setPortNumber(int number, QString *error)
{
    if (port_.isOpen()) {
        setError(error, tr("The port number cannot change while the port is open"));
        return false;
    }
    if (links::deviceForPort(number).isEmpty()) {
        setError(error, tr("No serial port has the number %1").arg(number));
        return false;
    }
    portNumber_ = number;
    return true;
}

QString SerialLink::deviceName() const { return links::deviceForPort(portNumber_); }

bool SerialLink::setSettings(const QString &settings, QString *error)
{
    LineSettings parsed;
    if (!parseSettings(settings, parsed)) {
        setError(error, tr("Invalid serial settings: %1").arg(settings));
        return false;
    }
    settings_ = settings;
    return !port_.isOpen() || applySettings(error);
}

bool SerialLink::applySettings(QString *error)
{
    LineSettings parsed;
    parseSettings(settings_, parsed);
    const bool ok = port_.setBaudRate(parsed.baud) && port_.setParity(parsed.parity)
                    && port_.setDataBits(parsed.dataBits) && port_.setStopBits(parsed.stopBits)
                    && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        setError(error, port_.errorString());
    wakeCount_ = -1; // the port may have written its own terminal settings
    return ok;
}

bool SerialLink::open(QString *error)
{
    if (port_.isOpen()) {
        setError(error, tr("The port is already open"));
        return false;
    }
    port_.setPortName(deviceName());
    openDenied_ = false;
    held_.clear();
    expected_ = 0;
    firstLook_ = 0;
    wakeCount_ = -1;
    if (!port_.open(QIODevice::ReadWrite)) {
        openDenied_ = port_.error() == QSerialPort::PermissionError && deviceRefusesUser();
        setError(error, port_.errorString());
        return false;
    }
    if (!applySettings(error)) {
        port_.close();
        return false;
    }
    port_.clear();
    return true;
}

void SerialLink::close()
{
    held_.clear();
    if (port_.isOpen())
        port_.close();
}

bool SerialLink::isOpen() const { return port_.isOpen(); }

int SerialLink::driverCount() const
{
#ifdef Q_OS_UNIX
    int count = 0;
    if (port_.isOpen() && ::ioctl(port_.handle(), FIONREAD, &count) == 0)
        return std::max(count, 0);
#endif
    return 0;
}

int SerialLink::inBufferCount()
{
    if (!port_.isOpen())
        return 0;
    const qint64 available = qint64(held_.size()) + port_.bytesAvailable() + driverCount();
    return static_cast<int>(std::min<qint64>(available, std::numeric_limits<int>::max()));
}

std::vector<std::uint8_t> SerialLink::peekInput(int maxBytes)
{
    holdInput();
    const std::size_t n = std::min(held_.size(), std::size_t(std::max(maxBytes, 0)));
    return std::vector<std::uint8_t>(held_.begin(), held_.begin() + std::ptrdiff_t(n));
}

void SerialLink::holdInput()
{
    std::vector<std::uint8_t> fresh = takeInput();
    held_.insert(held_.end(), fresh.begin(), fresh.end());
}

std::vector<std::uint8_t> SerialLink::takeInput()
{
    if (!port_.isOpen()) {
        held_.clear();
        return {};
    }
    // What was held for a look came first, then what the port object holds;
    // then what the driver holds, up to the count it reports now (a peer
    // that keeps sending cannot hold us here).
    std::vector<std::uint8_t> data = std::exchange(held_, {});
    const QByteArray buffered = port_.readAll();
    data.insert(data.end(), buffered.begin(), buffered.end());
#ifdef Q_OS_UNIX
    std::size_t pending = static_cast<std::size_t>(driverCount());
    data.reserve(data.size() + pending);
    std::uint8_t chunk[4096];
    while (pending > 0) {
        const ssize_t n = ::read(port_.handle(), chunk, std::min(pending, sizeof chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.insert(data.end(), chunk, chunk + n);
        pending -= static_cast<std::size_t>(n);
    }
#endif
    return data;
}

void SerialLink::output(std::span<const std::uint8_t> bytes)
{
    if (!port_.isOpen())
        return;
#ifdef Q_OS_UNIX
    // A request fits the driver's output buffer: written at once it costs no
    // round through the event loop (a write notification, then its
    // switching off). What the driver does not take, or a failed write,
    // goes the port's way, which also reports a device that went away.
    if (port_.bytesToWrite() == 0) {
        ssize_t n = -1;
        do
            n = ::write(port_.handle(), bytes.data(), bytes.size());
        while (n < 0 && errno == EINTR);
        if (n > 0)
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        if (bytes.empty())
            return;
    }
#endif
    port_.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
}

} // namespace links
