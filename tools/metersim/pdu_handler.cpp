#include "pdu_handler.h"

#include "wire_codec.h"

namespace metersim {

namespace {

PduResult fail(quint8 function, quint8 code)
{
    return {exceptionAnswer(function, code), std::nullopt};
}

quint8 exceptionFor(MeterModel::Outcome outcome)
{
    return outcome == MeterModel::Outcome::IllegalAddress ? exception::kIllegalDataAddress
                                                          : exception::kIllegalDataValue;
}

PduResult executeRead(MeterModel &model, quint8 function, QByteArrayView pdu)
{
    if (pdu.size() != 5)
        return fail(function, exception::kIllegalDataValue);
    const quint16 start = u16At(pdu, 1);
    const quint16 count = u16At(pdu, 3);
    if (count < 1 || count > kMaxReadCount)
        return fail(function, exception::kIllegalDataValue);
    QList<quint16> values;
    const auto kind = function == fc::kReadHolding ? RegisterKind::Holding : RegisterKind::Input;
    const auto outcome = model.read(kind, start, count, values);
    if (outcome != MeterModel::Outcome::Ok)
        return fail(function, exceptionFor(outcome));
    QByteArray answer;
    answer.append(static_cast<char>(function));
    answer.append(static_cast<char>(2 * count));
    for (const quint16 v : values)
        appendU16(answer, v);
    return {answer, std::nullopt};
}

PduResult executeWrite(MeterModel &model, QByteArrayView pdu)
{
    constexpr quint8 function = fc::kWriteMultiple;
    if (pdu.size() < 6)
        return fail(function, exception::kIllegalDataValue);
    const quint16 start = u16At(pdu, 1);
    const quint16 count = u16At(pdu, 3);
    const int byteCount = static_cast<quint8>(pdu[5]);
    if (count < 1 || count > kMaxWriteCount || byteCount != 2 * count
        || pdu.size() != 6 + byteCount)
        return fail(function, exception::kIllegalDataValue);
    QList<quint16> values;
    for (int i = 0; i < count; ++i)
        values.append(u16At(pdu, 6 + 2 * i));
    const auto outcome = model.write(start, values);
    if (outcome != MeterModel::Outcome::Ok)
        return fail(function, exceptionFor(outcome));
    QByteArray answer;
    answer.append(static_cast<char>(function));
    appendU16(answer, start);
    appendU16(answer, count);
    return {answer, WriteRecord{start, values}};
}

} // namespace

QByteArray exceptionAnswer(quint8 function, quint8 code)
{
    QByteArray answer;
    answer.append(static_cast<char>(function | 0x80));
    answer.append(static_cast<char>(code));
    return answer;
}

PduResult executeRequest(MeterModel &model, QByteArrayView pdu)
{
    if (pdu.isEmpty())
        return fail(0, exception::kIllegalFunction);
    const auto function = static_cast<quint8>(pdu[0]);
    switch (function) {
    case fc::kReadHolding:
    case fc::kReadInput:
        return executeRead(model, function, pdu);
    case fc::kWriteMultiple:
        return executeWrite(model, pdu);
    default:
        return fail(function, exception::kIllegalFunction);
    }
}

std::optional<quint16> requestStart(QByteArrayView pdu)
{
    if (pdu.size() < 3)
        return std::nullopt;
    return u16At(pdu, 1);
}

bool pduLengthConsistent(QByteArrayView pdu)
{
    if (pdu.isEmpty())
        return false;
    switch (static_cast<quint8>(pdu[0])) {
    case fc::kReadHolding:
    case fc::kReadInput:
        return pdu.size() == 5;
    case fc::kWriteMultiple:
        return pdu.size() >= 6 && pdu.size() == 6 + static_cast<quint8>(pdu[5]);
    default:
        return true;
    }
}

} // namespace metersim
