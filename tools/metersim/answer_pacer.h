#pragma once

#include "fault_rules.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace metersim {

// Sends answers on one connection in order, each byte at its due time: after
// the request would have arrived on the wire, after an injected delay, one
// byte time apart at the emulated rate and with pauses between split chunks.
// Timers do the waiting.
class AnswerPacer : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray &)>;
    using Closer = std::function<void()>;

    AnswerPacer(Writer writer, Closer closer, QObject *parent = nullptr);

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

    Writer writer_;
    Closer closer_;
    std::deque<Pending> queue_;
    QTimer timer_;
    qint64 lastDueNs_ = 0;
};

} // namespace metersim
