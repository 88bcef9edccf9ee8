#pragma once

// A Modbus client on libmodbus, the third-party implementation the simulated
// meter is checked against. Its calls block in select() with libmodbus's
// response time-out, which is fine here: the meter runs in its own process.

#include <QList>
#include <QString>

#include <optional>

struct _modbus;

class ModbusPeer {
public:
    ModbusPeer() = default;
    ~ModbusPeer();
    ModbusPeer(const ModbusPeer &) = delete;
    ModbusPeer &operator=(const ModbusPeer &) = delete;

    bool connectTcp(const QString &host, quint16 port);
    bool connectRtu(const QString &device, int baud = 19200);
    void setUnit(int unit);
    void setTimeoutMs(int ms);

    // On failure these return std::nullopt / false and leave the reason in
    // lastError() (libmodbus's errno: a Modbus exception is 112345678 + code
    // through exceptionCode(), a time-out is ETIMEDOUT).
    std::optional<QList<quint16>> readHolding(int start, int count);
    std::optional<QList<quint16>> readInput(int start, int count);
    bool write(int start, const QList<quint16> &values);
    // A request PDU as given (libmodbus adds the unit and the framing), for
    // requests libmodbus would refuse to build; returns the answer's PDU.
    std::optional<QByteArray> raw(const QByteArray &pdu);

    int lastError() const { return error_; }
    // The Modbus exception code of the last failure, 0 for any other failure.
    int exceptionCode() const;
    bool timedOut() const;
    QString errorText() const;

private:
    bool connectContext();
    _modbus *ctx_ = nullptr;
    int error_ = 0;
};

// The values read, or an empty list when the read failed (for QCOMPARE).
inline QList<quint16> valuesOr(const std::optional<QList<quint16>> &values)
{
    return values.value_or(QList<quint16>{});
}

// The float held by two registers, low-order word first, as libmodbus reads it.
float floatFromRegisters(const QList<quint16> &registers, int index);
