#include "gateway/meter_schedule.h"

#include <algorithm>
#include <limits>

namespace gateway {

MeterSchedule::MeterSchedule(int meters, qint64 periodMs, qint64 nowMs)
    : meters_(std::size_t(std::max(0, meters)), Meter{nowMs, 0, false}), periodMs_(std::max<qint64>(1, periodMs))
{
}

std::optional<int> MeterSchedule::next(qint64 nowMs)
{
    const int count = int(meters_.size());
    for (int step = 1; step <= count; ++step) {
        const int meter = (last_ + step) % count;
        if (meters_[std::size_t(meter)].dueMs <= nowMs) {
            last_ = meter;
            return meter;
        }
    }
    return std::nullopt;
}

qint64 MeterSchedule::nextDueMs() const
{
    qint64 due = std::numeric_limits<qint64>::max();
    for (const Meter &m : meters_)
        due = std::min(due, m.dueMs);
    return due;
}

void MeterSchedule::polled(int meter, bool answered, qint64 startedMs)
{
    if (meter < 0 || meter >= int(meters_.size()))
        return;
    Meter &m = meters_[std::size_t(meter)];
    if (answered) {
        m.failures = 0;
        m.answered = true;
        m.dueMs = startedMs + periodMs_;
    } else {
        ++m.failures;
        m.dueMs = startedMs + retryDelayMs(m.failures, periodMs_);
    }
}

bool MeterSchedule::online(int meter) const
{
    const Meter &m = meters_[std::size_t(meter)];
    return m.answered && m.failures < kFailuresOffline;
}

qint64 MeterSchedule::retryDelayMs(int failures, qint64 periodMs)
{
    qint64 delay = std::max<qint64>(1, periodMs);
    for (int k = 1; k < failures && delay < kLongestBackoffMs; ++k)
        delay *= 2;
    // A period longer than the longest back-off stays the period.
    return std::max(std::min(delay, kLongestBackoffMs), periodMs);
}

} // namespace gateway
