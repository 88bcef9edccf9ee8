#include "meter_service.h"

#include "pdu_handler.h"
#include "register_addresses.h"

#include <algorithm>

namespace metersim {

MeterService::MeterService(std::vector<MeterModel *> meters, FaultRules &rules, WriteLog &log, int baud)
    : rules_(rules), log_(log)
{
    for (MeterModel *model : meters)
        meters_.push_back({model, 0, baud});
}

qint64 MeterService::byteTimeNs(int baud)
{
    return baud > 0 ? 10'000'000'000LL / baud : 0;
}

std::optional<Answer> MeterService::handle(quint8 unit, QByteArrayView pdu)
{
    if (pdu.isEmpty())
        return std::nullopt;
    const auto found = std::find_if(meters_.begin(), meters_.end(),
                                    [unit](const Meter &m) { return m.model->unitAddress() == unit; });
    if (found == meters_.end())
        return std::nullopt;
    Meter &meter = *found;

    ++meter.requests;
    const auto function = static_cast<quint8>(pdu[0]);
    Answer answer;
    answer.unit = unit;
    answer.faults = rules_.match(unit, meter.requests, function, requestStart(pdu));
    // The answer goes out at the rate in force when the request came in.
    answer.byteTimeNs = byteTimeNs(meter.baud);
    if (answer.faults.wrongAddress)
        answer.unit = static_cast<quint8>(unit + 1);

    if (answer.faults.drop || answer.faults.close)
        return answer;
    if (answer.faults.exceptionCode) {
        answer.pdu = exceptionAnswer(function, *answer.faults.exceptionCode);
        return answer;
    }

    PduResult result = executeRequest(*meter.model, pdu);
    answer.pdu = result.answer;
    if (result.accepted) {
        const WriteRecord &w = *result.accepted;
        log_.record(w, meters_.size() > 1 ? std::optional<quint8>(unit) : std::nullopt);
        const bool baudWritten = w.start <= reg::kBaudCode && reg::kBaudCode < w.start + w.values.size();
        if (meter.baud > 0 && baudWritten)
            meter.baud = meter.model->baudCode() == 1 ? 9600 : 19200;
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
