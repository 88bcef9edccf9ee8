#pragma once

#include "fault_rules.h"
#include "meter_model.h"
#include "write_log.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace metersim {

// The answer to one request, before it is framed for its transport.
struct Answer {
    quint8 unit = 0;     // the unit the answer comes from
    QByteArray pdu;      // empty when nothing is to be sent
    AnswerFaults faults;
    qint64 byteTimeNs = 0; // wire time of one byte; 0 = no wire-time emulation
};

// What every transport shares: the meter, its fault rules, its write log and
// the emulated line speed. Requests are counted per meter, over all
// transports, for the nth= and every= selectors.
class MeterService {
public:
    // baud 0 turns wire-time emulation off.
    MeterService(MeterModel &model, FaultRules &rules, WriteLog &log, int baud);

    // std::nullopt when the request is for another unit: a meter on a shared
    // line stays silent then.
    std::optional<Answer> handle(quint8 unit, QByteArrayView pdu);

    // Wire time of one byte at the emulated rate (10 bit times), 0 when off.
    qint64 byteTimeNs() const;

private:
    MeterModel &model_;
    FaultRules &rules_;
    WriteLog &log_;
    int baud_;
    quint64 requests_ = 0;
};

// Garbage and truncation, applied to a framed answer.
QByteArray applyFrameFaults(QByteArray frame, const AnswerFaults &faults);

} // namespace metersim
