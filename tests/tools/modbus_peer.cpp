#include "modbus_peer.h"

#include <modbus.h>

#include <cerrno>

ModbusPeer::~ModbusPeer()
{
    if (ctx_) {
        modbus_close(ctx_);
        modbus_free(ctx_);
    }
}

bool ModbusPeer::connectContext()
{
    if (!ctx_) {
        error_ = errno;
        return false;
    }
    modbus_set_slave(ctx_, 15);
    setTimeoutMs(1000);
    if (modbus_connect(ctx_) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool ModbusPeer::connectTcp(const QString &host, quint16 port)
{
    ctx_ = modbus_new_tcp(qPrintable(host), port);
    return connectContext();
}

bool ModbusPeer::connectRtu(const QString &device, int baud)
{
    ctx_ = modbus_new_rtu(qPrintable(device), baud, 'N', 8, 1);
    return connectContext();
}

void ModbusPeer::setUnit(int unit)
{
    modbus_set_slave(ctx_, unit);
}

void ModbusPeer::setTimeoutMs(int ms)
{
    modbus_set_response_timeout(ctx_, static_cast<uint32_t>(ms / 1000),
                                static_cast<uint32_t>((ms % 1000) * 1000));
}

std::optional<QList<quint16>> ModbusPeer::readHolding(int start, int count)
{
    modbus_flush(ctx_);
    QList<quint16> values(count);
    if (modbus_read_registers(ctx_, start, count, values.data()) != count) {
        error_ = errno;
        return std::nullopt;
    }
    return values;
}

std::optional<QList<quint16>> ModbusPeer::readInput(int start, int count)
{
    modbus_flush(ctx_);
    QList<quint16> values(count);
    if (modbus_read_input_registers(ctx_, start, count, values.data()) != count) {
        error_ = errno;
        return std::nullopt;
    }
    return values;
}

bool ModbusPeer::write(int start, const QList<quint16> &values)
{
    modbus_flush(ctx_);
    if (modbus_write_registers(ctx_, start, static_cast<int>(values.size()), values.data())
        != values.size()) {
        error_ = errno;
        return false;
    }
    return true;
}

std::optional<QByteArray> ModbusPeer::raw(const QByteArray &pdu)
{
    modbus_flush(ctx_);
    QByteArray request;
    request.append(static_cast<char>(modbus_get_slave(ctx_)));
    request.append(pdu);
    if (modbus_send_raw_request(ctx_, reinterpret_cast<const uint8_t *>(request.constData()),
                                static_cast<int>(request.size()))
        < 0) {
        error_ = errno;
        return std::nullopt;
    }
    uint8_t answer[MODBUS_MAX_ADU_LENGTH];
    const int n = modbus_receive_confirmation(ctx_, answer);
    if (n < 0) {
        error_ = errno;
        return std::nullopt;
    }
    // libmodbus has checked the CRC of an RTU answer; keep only the PDU.
    const int header = modbus_get_header_length(ctx_);
    const int trailer = header == 1 ? 2 : 0;
    if (n < header + trailer)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(answer) + header, n - header - trailer);
}

int ModbusPeer::exceptionCode() const
{
    return error_ > MODBUS_ENOBASE && error_ <= EMBXGTAR ? error_ - MODBUS_ENOBASE : 0;
}

bool ModbusPeer::timedOut() const
{
    return error_ == ETIMEDOUT;
}

QString ModbusPeer::errorText() const
{
    return QString::fromLocal8Bit(modbus_strerror(error_));
}

float floatFromRegisters(const QList<quint16> &registers, int index)
{
    return modbus_get_float_cdab(registers.constData() + index);
}
