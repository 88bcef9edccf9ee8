#include "meter_service.h"

#include "pdu_handler.h"
#include "register_addresses.h"

namespace metersim {

MeterService::MeterService(MeterModel &model, FaultRules &rules, WriteLog &log, int baud)
    : model_(model), rules_(rules), log_(log), baud_(baud)
{
}

qint64 MeterService::byteTimeNs() const
{
    return baud_ > 0 ? 10'000'000'000LL / baud_ : 0;
}

std::optional<Answer> MeterService::handle(quint8 unit, QByteArrayView pdu)
{
    if (unit != model_.unitAddress() || pdu.isEmpty())
        return std::nullopt;

    ++requests_;
    const auto function = static_cast<quint8>(pdu[0]);
    Answer answer;
    answer.unit = unit;
    answer.faults = rules_.match(requests_, function, requestStart(pdu));
    // The answer goes out at the rate in force when the request came in.
    answer.byteTimeNs = byteTimeNs();
    if (answer.faults.wrongAddress)
        answer.unit = static_cast<quint8>(unit + 1);

    if (answer.faults.drop || answer.faults.close)
        return answer;
    if (answer.faults.exceptionCode) {
        answer.pdu = exceptionAnswer(function, *answer.faults.exceptionCode);
        return answer;
    }

    PduResult result = executeRequest(model_, pdu);
    answer.pdu = result.answer;
    if (result.accepted) {
        log_.record(*result.accepted);
        const WriteRecord &w = *result.accepted;
        const bool baudWritten = w.start <= reg::kBaudCode && reg::kBaudCode < w.start + w.values.size();
        if (baud_ > 0 && baudWritten)
            baud_ = model_.baudCode() == 1 ? 9600 : 19200;
    }
    return answer;
}

QByteArray applyFrameFaults(QByteArray frame, const AnswerFaults &faults)
{
    for (int i = 0; i < faults.garbageBytes; ++i)
        frame.append(static_cast<char>((0x5A + 37 * i) & 0xFF));
    if (faults.shortBytes && *faults.shortBytes < frame.size())
        frame.truncate(*faults.shortBytes);
    return frame;
}

} // namespace metersim
