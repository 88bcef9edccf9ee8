#pragma once

#include "meter_model.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace metersim {

namespace fc {
inline constexpr quint8 kReadHolding = 3;
inline constexpr quint8 kReadInput = 4;
inline constexpr quint8 kWriteMultiple = 16;
} // namespace fc

namespace exception {
inline constexpr quint8 kIllegalFunction = 1;
inline constexpr quint8 kIllegalDataAddress = 2;
inline constexpr quint8 kIllegalDataValue = 3;
} // namespace exception

inline constexpr int kMaxReadCount = 125;
inline constexpr int kMaxWriteCount = 123;

struct WriteRecord {
    quint16 start = 0;
    QList<quint16> values;
};

struct PduResult {
    QByteArray answer;                   // the answer PDU (function code first)
    std::optional<WriteRecord> accepted; // a write the meter carried out
};

// Carries out one request PDU on the meter: functions 3, 4 and 16; anything
// else is answered with exception 01, a bad count or byte count with 03 and
// registers outside the map with 02.
PduResult executeRequest(MeterModel &model, QByteArrayView pdu);

QByteArray exceptionAnswer(quint8 function, quint8 code);

// Start register of a request PDU that carries one (bytes 1 and 2).
std::optional<quint16> requestStart(QByteArrayView pdu);

// Whether a PDU is as long as its function code says: 5 bytes for a read,
// 6 plus the byte count for a write. Other functions carry no length rule here.
bool pduLengthConsistent(QByteArrayView pdu);

} // namespace metersim
