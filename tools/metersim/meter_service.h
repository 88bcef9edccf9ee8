#pragma once

#include "answer_pacer.h"
#include "fault_rules.h"
#include "meter_model.h"
#include "write_log.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace metersim {

// The answer to one request, before it is framed for its transport.
struct Answer {
    quint8 unit = 0;     // the unit the answer comes from
    QByteArray pdu;      // empty when nothing is to be sent
    AnswerFaults faults;
    qint64 byteTimeNs = 0; // wire time of one byte; 0 = no wire-time emulation
};

// What every transport shares: the meters of the line, their fault rules,
// the write log and the emulated line speed. Requests are counted per meter,
// over all transports, for the nth= and every= selectors. Each meter keeps
// its own rate: a baud-rate write changes that meter's alone.
class MeterService {
public:
    // baud 0 turns wire-time emulation off. The meters are not owned.
    MeterService(std::vector<MeterModel *> meters, FaultRules &rules, WriteLog &log, int baud);

    // std::nullopt when no meter of the line has that unit address: they
    // stay silent then. With two at one address, the first listed answers.
    std::optional<Answer> handle(quint8 unit, QByteArrayView pdu);

    // The schedule every transport's answers share when several meters are on
    // the line, so that their answers never overlap; nullptr for a single
    // meter, whose connections keep their own schedules.
    LineSchedule *sharedLine() { return meters_.size() > 1 ? &line_ : nullptr; }

private:
    struct Meter {
        MeterModel *model;
        quint64 requests = 0;
        int baud = 0;
    };
    static qint64 byteTimeNs(int baud);

    std::vector<Meter> meters_;
    FaultRules &rules_;
    WriteLog &log_;
    LineSchedule line_;
};

// Garbage and truncation, applied to a framed answer.
QByteArray applyFrameFaults(QByteArray frame, const AnswerFaults &faults);

} // namespace metersim
