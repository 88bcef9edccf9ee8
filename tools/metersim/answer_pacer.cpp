#include "answer_pacer.h"

#include "monotonic_clock.h"

namespace metersim {

AnswerPacer::AnswerPacer(Writer writer, Closer closer, LineSchedule *line, QObject *parent)
    : QObject(parent), writer_(std::move(writer)), closer_(std::move(closer)), line_(line)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &AnswerPacer::flushDue);
}

qint64 AnswerPacer::startTime(qint64 notBeforeNs, int delayMs) const
{
    const qint64 earliest = qMax(monotonicNs(), notBeforeNs) + qint64(delayMs) * 1'000'000;
    return qMax(qMax(earliest, lastDueNs_), line_ ? line_->busyUntilNs : 0);
}

void AnswerPacer::occupyLine()
{
    if (line_)
        line_->busyUntilNs = qMax(line_->busyUntilNs, lastDueNs_);
}

void AnswerPacer::send(const QByteArray &frame, qint64 notBeforeNs, const AnswerFaults &faults,
                       qint64 byteTimeNs)
{
    if (frame.isEmpty())
        return;
    const qint64 start = startTime(notBeforeNs, faults.delayMs);
    for (qsizetype k = 0; k < frame.size(); ++k) {
        const qint64 chunk = faults.splitBytes > 0 ? k / faults.splitBytes : 0;
        const qint64 due = start + (k + 1) * byteTimeNs + chunk * faults.splitPauseMs * 1'000'000LL;
        queue_.push_back({due, frame[k], false});
        lastDueNs_ = due;
    }
    occupyLine();
    flushDue();
}

void AnswerPacer::close(qint64 notBeforeNs, const AnswerFaults &faults)
{
    const qint64 due = startTime(notBeforeNs, faults.delayMs);
    queue_.push_back({due, 0, true});
    lastDueNs_ = due;
    occupyLine();
    flushDue();
}

void AnswerPacer::flushDue()
{
    const qint64 now = monotonicNs();
    QByteArray bytes;
    bool closeNow = false;
    while (!queue_.empty() && queue_.front().dueNs <= now) {
        const Pending p = queue_.front();
        queue_.pop_front();
        if (p.close) {
            closeNow = true;
            break;
        }
        bytes.append(p.byte);
    }
    if (!bytes.isEmpty())
        writer_(bytes);
    if (closeNow) {
        queue_.clear();
        timer_.stop();
        closer_(); // may delete the connection and this pacer with it
        return;
    }
    schedule();
}

void AnswerPacer::schedule()
{
    if (queue_.empty()) {
        timer_.stop();
        return;
    }
    const qint64 waitNs = queue_.front().dueNs - monotonicNs();
    const qint64 waitMs = qMax<qint64>(1, (waitNs + 999'999) / 1'000'000);
    timer_.start(static_cast<int>(qMin<qint64>(waitMs, 3'600'000)));
}

} // namespace metersim
