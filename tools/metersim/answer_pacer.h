#pragma once

#include "fault_rules.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace metersim {

// When the line is free again: shared by the transports of one line of
// several meters, whose answers must not overlap on it.
struct LineSchedule {
    qint64 busyUntilNs = 0;
};

// Sends answers on one connection in order, each byte at its due time: after
// the request would have arrived on the wire, after an injected delay, one
// byte time apart at the emulated rate and with pauses between split chunks.
// With a line schedule, also not before the line is free. Timers do the
// waiting.
class AnswerPacer : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray &)>;
    using Closer = std::function<void()>;

    AnswerPacer(Writer writer, Closer closer, LineSchedule *line = nullptr, QObject *parent = nullptr);

    // notBeforeNs: monotonic time before which the answer may not start.
    void send(const QByteArray &frame, qint64 notBeforeNs, const AnswerFaults &faults,
              qint64 byteTimeNs);
    // Closes the connection at the time an answer would have started.
    void close(qint64 notBeforeNs, const AnswerFaults &faults);

private:
    struct Pending {
        qint64 dueNs;
        char byte;
        bool close;
    };
    qint64 startTime(qint64 notBeforeNs, int delayMs) const;
    void flushDue();
    void schedule();
    void occupyLine();

    Writer writer_;
    Closer closer_;
    std::deque<Pending> queue_;
    QTimer timer_;
    qint64 lastDueNs_ = 0;
    LineSchedule *line_;
};

} // namespace metersim
