#include "link/serial_link.h"

#include "link/port_map.h"

#include <QStringList>

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

SerialLink::SerialLink(QObject *parent) : QObject(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::inputArrived);
}

bool SerialLink::setPortNumber(int number, QString *error)
{
    if (port_.isOpen()) {
        setError(error, tr("The port number cannot change while the port is open"));
        return false;
    }
    if (portmap::deviceForPort(number).isEmpty()) {
        setError(error, tr("No serial port has the number %1").arg(number));
        return false;
    }
    portNumber_ = number;
    return true;
}

QString SerialLink::deviceName() const { return portmap::deviceForPort(portNumber_); }

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
    return ok;
}

bool SerialLink::open(QString *error)
{
    if (port_.isOpen()) {
        setError(error, tr("The port is already open"));
        return false;
    }
    port_.setPortName(deviceName());
    if (!port_.open(QIODevice::ReadWrite)) {
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
    if (port_.isOpen())
        port_.close();
}

bool SerialLink::isOpen() const { return port_.isOpen(); }

int SerialLink::inBufferCount()
{
    if (!port_.isOpen())
        return 0;
    const qint64 available = port_.bytesAvailable();
    return available > INT32_MAX ? INT32_MAX : static_cast<int>(available);
}

std::vector<std::uint8_t> SerialLink::takeInput()
{
    if (!port_.isOpen())
        return {};
    const QByteArray data = port_.readAll();
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

void SerialLink::output(std::span<const std::uint8_t> bytes)
{
    if (!port_.isOpen())
        return;
    port_.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
}
